#pragma once

#include <string_view>

namespace ferry {

// Shows the text in a message box titled with the application window's caption, with
// one OK button and no icon, in front of the other windows. Returns when it is closed.
void showMessage(std::string_view text);
enum class DetailsShown { Folded, Unfolded };
// The same with a "Show Details..." button that unfolds `details` (one item a line)
// below the text; without details, as above.
void showMessage(std::string_view text, std::string_view details, DetailsShown shown);

}  // namespace ferry
