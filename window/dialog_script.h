#pragma once

// Test hooks: a test scripts the answers of the next dialogs, which then take them
// without showing anything, so every window can be driven without a human. Every
// message, question and folder dialog is recorded, scripted or shown.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferry::dialog_script {

struct Question {
    std::string text;
    std::string answers;
};

// The next showMessage returns at once, as if OK had been pressed.
void answerNextMessage();
// The next askChoice returns `answer` (1 for the first answer, -1 closed, 0 quit).
void answerNextChoice(std::int32_t answer);
// The next folder dialog's execute picks `path`, or is cancelled.
void answerNextFolder(std::string_view path);
void cancelNextFolder();

const std::vector<std::string>& shownMessages();
const std::vector<Question>& askedQuestions();
// The initial path each executed folder dialog opened with ("" for none).
const std::vector<std::string>& folderStarts();
// Forgets the records and any answer not taken yet.
void clear();

// Used by the dialogs: record what is shown and take the scripted answer, if any.
bool takeMessageAnswer(std::string_view text);
std::optional<std::int32_t> takeChoice(std::string_view text, std::string_view answers);
// Outer empty: no script; inner empty: cancelled.
std::optional<std::optional<std::string>> takeFolder(std::string_view initialPath);

}  // namespace ferry::dialog_script
