#include "cli/terminal_prompt.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/output_texts.h"
#include "platform/terminal.h"
#include "support/text.h"

namespace ferry::cli {

namespace {

constexpr std::size_t BarWidth = 20;

void printTo(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

std::vector<std::string> answersOf(std::string answers) {
    std::vector<std::string> list;
    while (!answers.empty()) list.push_back(takeToken(answers, "/"));
    return list;
}

// The number of the answer typed (its number or its name, letter case aside); 0 for
// none.
std::int32_t answerTyped(const std::string& typed, const std::vector<std::string>& answers) {
    const std::string text = lowerText(trimBlanks(typed));
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (text == std::to_string(i + 1) || text == lowerText(answers[i])) {
            return static_cast<std::int32_t>(i + 1);
        }
    }
    return 0;
}

std::string progressText(const SyncProgress& progress, std::size_t columns) {
    const std::uint64_t expected = std::max(progress.expected, progress.done);
    const std::uint64_t percent = expected == 0 ? 0 : progress.done * 100 / expected;
    const std::size_t filled = static_cast<std::size_t>(percent * BarWidth / 100);
    char number[8];
    std::snprintf(number, sizeof number, "%3u%% ", static_cast<unsigned>(percent));
    // The file names its project too; between files the project alone.
    std::string text(1, '[');
    text.append(filled, '#').append(BarWidth - filled, '.').append("] ").append(number);
    text += progress.file.empty() ? progress.project : progress.file;
    // Too long for one line: the end of the file's path tells most.
    if (text.size() > columns && columns > BarWidth + 12) {
        const std::size_t head = BarWidth + 8;
        text = text.substr(0, head) + "..." + text.substr(text.size() - (columns - head - 3));
    }
    return text;
}

}  // namespace

TerminalPrompt::TerminalPrompt(std::optional<ConflictAnswer> answer, bool listDecisions)
    : answer_(answer),
      canAsk_(inputIsTerminal() && errorIsTerminal()),
      drawsProgress_(errorIsTerminal()),
      listDecisions_(listDecisions) {}

void TerminalPrompt::showMessage(const std::string& text) {
    endProgress();
    printTo(stderr, withUnixLineEnds(text) + "\n");
}

std::int32_t TerminalPrompt::askChoice(const std::string& text, const std::string& answers) {
    endProgress();
    // ConflictAnswer numbers its answers from 1 in the order of the buttons.
    if (answer_) return static_cast<std::int32_t>(*answer_);
    if (canAsk_) return askOnTerminal(text, answers);
    // Nobody to ask: nothing may be decided silently, so the run stops here.
    printTo(stderr, "conflict left undecided: " + conflictPathOf(text) + "\n");
    return static_cast<std::int32_t>(ConflictAnswer::Cancel);
}

std::int32_t TerminalPrompt::askOnTerminal(const std::string& text, const std::string& answers) {
    const std::vector<std::string> choices = answersOf(answers);
    std::string offer;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        offer += (i == 0 ? "" : ", ") + std::to_string(i + 1) + " " + choices[i];
    }
    printTo(stderr, withUnixLineEnds(text) + "\n");
    for (;;) {
        printTo(stderr, offer + "? ");
        std::string typed;
        switch (readInputLine(typed)) {
            case LineRead::Interrupted: printTo(stderr, "\n"); return 0;
            case LineRead::End: printTo(stderr, "\n"); return -1;
            case LineRead::Line: break;
        }
        if (const std::int32_t chosen = answerTyped(typed, choices); chosen > 0) return chosen;
    }
}

void TerminalPrompt::showProgress(const SyncProgress& progress) {
    if (!drawsProgress_) return;
    const int columns = terminalColumns();
    const std::string text =
        progressText(progress, static_cast<std::size_t>(std::max(columns - 1, 1)));
    if (text == progressLine_) return;
    progressLine_ = text;
    printTo(stderr, "\r" + text + "\x1b[K");
}

bool TerminalPrompt::stopRequested() {
    return interruptRequested();
}

void TerminalPrompt::noteDecision(const FileDecisionNote& note) {
    if (!listDecisions_) return;
    if (const std::string line = decisionLine(note, !answer_ && canAsk_); !line.empty()) {
        endProgress();
        printTo(stdout, line + "\n");
    }
    if (note.decision == FileDecision::Question && note.answer == ConflictAnswer::Cancel &&
        undecided()) {
        printTo(stderr, "conflict left undecided: " + note.localPath + "\n");
    }
}

ConflictAnswer TerminalPrompt::previewAnswer() const {
    if (answer_) return *answer_;
    return canAsk_ ? ConflictAnswer::No : ConflictAnswer::Cancel;
}

void TerminalPrompt::endProgress() {
    if (progressLine_.empty()) return;
    progressLine_.clear();
    printTo(stderr, "\r\x1b[K");
}

}  // namespace ferry::cli
