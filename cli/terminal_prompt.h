#pragma once

// The engine's user on the command line: messages and questions on standard error,
// progress there when it is a terminal, decisions of a dry run on standard output.

#include <optional>
#include <string>

#include "sync/user_prompt.h"

namespace ferry::cli {

class TerminalPrompt final : public UserPrompt {
  public:
    // `answer` answers every conflict question; without it a question is asked when
    // standard input and standard error are a terminal, and answered Cancel otherwise.
    // `listDecisions` prints each file's decision on standard output (a dry run).
    TerminalPrompt(std::optional<ConflictAnswer> answer, bool listDecisions);

    void showMessage(const std::string& text) override;
    std::int32_t askChoice(const std::string& text, const std::string& answers) override;
    void showProgress(const SyncProgress& progress) override;
    bool stopRequested() override;
    void noteDecision(const FileDecisionNote& note) override;

    // The answer a preview gives its questions, which it never asks: the given answer;
    // else No where a real run would ask; else Cancel, as the real run would answer.
    ConflictAnswer previewAnswer() const;
    // Takes the progress line off the terminal, if one is shown.
    void endProgress();

  private:
    bool undecided() const { return !answer_ && !canAsk_; }
    std::int32_t askOnTerminal(const std::string& text, const std::string& answers);

    std::optional<ConflictAnswer> answer_;
    bool canAsk_;
    bool drawsProgress_;
    bool listDecisions_;
    std::string progressLine_;  // what the terminal shows now; "" for nothing
};

}  // namespace ferry::cli
