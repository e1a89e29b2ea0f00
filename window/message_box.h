#pragma once

#include <string_view>

namespace ferry {

// Shows the text in a message box titled with the application window's caption, with
// one OK button and no icon, in front of the other windows. Returns when it is closed.
void showMessage(std::string_view text);

}  // namespace ferry
