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

// False for a path this system cannot create: a name between separators longer than a
// file system takes (255 bytes on POSIX, 255 UTF-16 units on Windows), or a path longer
// than the system opens (4096 bytes on POSIX, 32767 UTF-16 units on Windows).
bool localPathFits(std::string_view path);

}  // namespace ferry
