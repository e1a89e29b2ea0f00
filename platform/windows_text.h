#pragma once

// Texts at the Windows seam: the program keeps UTF-8 throughout and speaks UTF-16 only
// to the system's wide calls.

#include <string>
#include <string_view>

namespace ferry {

std::wstring toWide(std::string_view text);
std::string fromWide(std::wstring_view text);

// A path as the wide file calls take it: "/" turned into "\", made absolute, and in the
// "\\?\" form, so paths longer than 260 characters work and no name is reinterpreted.
// "" stays "" (the call then fails as for a missing name).
std::wstring widePath(std::string_view path);

}  // namespace ferry
