#pragma once

// Paths of this machine's own folders as its system writes them: what makes one
// absolute, and the separator a folder path ends in ("/" on POSIX, "\" on Windows).
// Inside the program "/" separates on every system; the platform takes both.

#include <string>
#include <string_view>

namespace ferry {

// True for a path that names the same place whatever the current folder is: "/..." on
// POSIX; "C:\...", "C:/..." or "\\server\share\..." on Windows.
bool isAbsoluteLocalPath(std::string_view path);

// The folder path ending in a separator, this system's own when it ends in none.
std::string asLocalFolder(std::string_view path);

}  // namespace ferry
