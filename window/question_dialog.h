#pragma once

#include <cstdint>
#include <string_view>

namespace ferry {

// Asks the text modally with one button per "/"-separated answer (one "  OK  " button
// when there are none). Returns the number of the chosen answer (1 for the first), -1
// when the user presses Esc or closes the dialog, 0 when the program is told to quit
// meanwhile.
std::int32_t askChoice(std::string_view text, std::string_view answers);

}  // namespace ferry
