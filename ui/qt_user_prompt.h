#pragma once

#include "sync/user_prompt.h"

namespace ferry {

// Talks to the user through the message box and the question dialog.
class QtUserPrompt : public UserPrompt {
  public:
    void showMessage(const std::string& text) override;
    std::int32_t askChoice(const std::string& text, const std::string& answers) override;
};

}  // namespace ferry
