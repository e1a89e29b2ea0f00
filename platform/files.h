#pragma once

// Existence tests, folder creation and file-time comparison over the platform.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ferry {

// True for an existing name that is not a folder (links followed).
bool fileExists(std::string_view name);
// True for an existing folder (links followed).
bool folderExists(std::string_view name);
// Creates the folder and its missing parents. Succeeds when the folder exists afterwards;
// fails for an empty path or at the first folder that cannot be made (those made before
// it stay).
SystemResult<> forceFolders(std::string_view path);

// Opens an existing file for reading and writing just long enough to set its last-write
// time.
SystemResult<> setFileTime(const std::string& path, FileTime time);

// -1, 0 or 1 as a is earlier than, within the same millisecond as, or later than b.
std::int32_t compareFileTimes(FileTime a, FileTime b);

}  // namespace ferry
