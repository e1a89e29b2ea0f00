#include "ui/qt_user_prompt.h"

#include "window/message_box.h"
#include "window/question_dialog.h"

namespace ferry {

void QtUserPrompt::showMessage(const std::string& text) {
    ferry::showMessage(text);
}

std::int32_t QtUserPrompt::askChoice(const std::string& text, const std::string& answers) {
    return ferry::askChoice(text, answers);
}

}  // namespace ferry
