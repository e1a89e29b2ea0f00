#pragma once

#include <string_view>

namespace ferry {

// Wildcard match of a file name: "*" any run (also none), "?" one character (one code
// point). Case is ignored as lowerText folds it. An empty name matches nothing, not even
// "*"; an empty mask matches no non-empty name.
bool matchesMask(std::string_view name, std::string_view mask);

}  // namespace ferry
