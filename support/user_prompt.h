#pragma once

// The only way the engine talks to the user. The window layer supplies the real one
// (message box and question dialog); tests supply one with scripted answers.

#include <cstdint>
#include <string>

namespace ferry {

class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    // Shows the text with one OK button and returns when the user has closed it.
    virtual void showMessage(const std::string& text) = 0;
    // Asks the text with one button per "/"-separated answer. The number of the chosen
    // answer (1 for the first), -1 when the user closes the question without an answer,
    // 0 when the program is told to quit meanwhile.
    virtual std::int32_t askChoice(const std::string& text, const std::string& answers) = 0;
};

}  // namespace ferry
