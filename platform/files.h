#pragma once

// Existence tests, folder creation and file times, over the platform they are given.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ferry {

// True for an existing name that is not a folder (links followed).
bool fileExists(Platform& system, std::string_view name);
// True for an existing folder (links followed).
bool folderExists(Platform& system, std::string_view name);
// Creates the folder and its missing parents. Succeeds when the folder exists afterwards;
// fails for an empty path or at the first folder that cannot be made (those made before
// it stay).
SystemResult<> forceFolders(Platform& system, std::string_view path);

// The first name on the way from `folder` (ending in a separator) to the folder of
// `path`, a path inside it, that is a symbolic link; "" when none is. A file written
// there would land wherever the link leads.
std::string linkOnTheWay(Platform& system, std::string_view folder, std::string_view path);

// Opens an existing file for reading and writing just long enough to set its last-write
// time.
SystemResult<> setFileTime(Platform& system, const std::string& path, FileTime time);

// -1, 0 or 1 as a is earlier than, within the same millisecond as, or later than b.
std::int32_t compareFileTimes(FileTime a, FileTime b);

}  // namespace ferry
