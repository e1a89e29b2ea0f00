#include "window/dialog_script.h"

#include <deque>

namespace ferry::dialog_script {
namespace {

struct Script {
    std::deque<bool> messages;
    std::deque<std::int32_t> choices;
    std::deque<std::optional<std::string>> folders;
    std::vector<std::string> shownMessages;
    std::vector<Question> askedQuestions;
    std::vector<std::string> folderStarts;
};

Script& script() {
    static Script state;
    return state;
}

template <class Queue>
std::optional<typename Queue::value_type> takeFront(Queue& queue) {
    if (queue.empty()) return std::nullopt;
    auto answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

}  // namespace

void answerNextMessage() {
    script().messages.push_back(true);
}
void answerNextChoice(std::int32_t answer) {
    script().choices.push_back(answer);
}
void answerNextFolder(std::string_view path) {
    script().folders.emplace_back(std::string(path));
}
void cancelNextFolder() {
    script().folders.emplace_back(std::nullopt);
}

const std::vector<std::string>& shownMessages() {
    return script().shownMessages;
}
const std::vector<Question>& askedQuestions() {
    return script().askedQuestions;
}
const std::vector<std::string>& folderStarts() {
    return script().folderStarts;
}

void clear() {
    script() = Script{};
}

bool takeMessageAnswer(std::string_view text) {
    script().shownMessages.emplace_back(text);
    return takeFront(script().messages).has_value();
}

std::optional<std::int32_t> takeChoice(std::string_view text, std::string_view answers) {
    script().askedQuestions.push_back({std::string(text), std::string(answers)});
    return takeFront(script().choices);
}

std::optional<std::optional<std::string>> takeFolder(std::string_view initialPath) {
    script().folderStarts.emplace_back(initialPath);
    return takeFront(script().folders);
}

}  // namespace ferry::dialog_script
