#pragma once

// Existence tests, folder creation, opening by a packed flag word, and file-time
// comparison. Deleting, renaming and file times of open files go straight to platform().

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ferry {

// The open-flags word: bits 0-7 share mode (ignored here), bits 8-15 creation
// disposition, the high bits the access rights.
namespace OpenFlags {
inline constexpr std::uint32_t GenericRead = 0x80000000;
inline constexpr std::uint32_t GenericWrite = 0x40000000;
inline constexpr std::uint32_t ShareRead = 0x01;
inline constexpr std::uint32_t CreateNew = 1 << 8;
inline constexpr std::uint32_t CreateAlways = 2 << 8;
inline constexpr std::uint32_t OpenExisting = 3 << 8;
inline constexpr std::uint32_t OpenAlways = 4 << 8;
inline constexpr std::uint32_t TruncateExisting = 5 << 8;
}  // namespace OpenFlags

// True for an existing name that is not a folder (links followed).
bool fileExists(std::string_view name);
// True for an existing folder (links followed).
bool folderExists(std::string_view name);
// Creates the folder and its missing parents. True when the folder exists afterwards;
// false for an empty path or at the first folder that cannot be made (those made before
// it stay).
bool forceFolders(std::string_view path);

// Opens by flag word; InvalidFileHandle on failure (lastError() tells why).
FileHandle openFileHandle(std::string_view name, std::uint32_t flags);
// True when the handle was closed.
bool closeFileHandle(FileHandle handle);

// -1, 0 or 1 as a is earlier than, within the same millisecond as, or later than b.
std::int32_t compareFileTimes(FileTime a, FileTime b);

}  // namespace ferry
