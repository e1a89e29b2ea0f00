#pragma once

// Cutting paths into folder and name. The separator is "/"; nothing else separates.

#include <string>
#include <string_view>

namespace ferry {

inline constexpr char PathSeparator = '/';

// The part after the last separator; the whole path when it has none.
std::string fileNameOf(std::string_view path);
// The part up to and including the last separator; "" when it has none.
std::string folderOf(std::string_view path);
// The path ending in one separator; "" gives "/".
std::string withTrailingSeparator(std::string_view path);
// The path with one final separator removed, if it has one.
std::string withoutTrailingSeparator(std::string_view path);

}  // namespace ferry
