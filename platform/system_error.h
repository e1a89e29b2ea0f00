#pragma once

#include <cstdint>
#include <string>

namespace ferry {

// The system's own text for an error code (an errno value here), with the line break and
// blanks it may end with removed. "" when the system has no text for the code; never fails.
std::string systemErrorText(std::uint32_t code);

}  // namespace ferry
