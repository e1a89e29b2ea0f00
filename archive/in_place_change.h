#pragma once

// Writing a new archive that begins with the old one's leading blocks into the old file:
// only its stamp and what follows those blocks change, which on a USB stick is the
// difference between writing a block and writing the whole project. A redo file beside
// the archive, written and flushed before the archive is touched, lets the next run (or
// scan) finish a change that was cut off, so the medium always holds the old archive or
// the new one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/outcome.h"
#include "platform/date_time.h"
#include "platform/file_time.h"

namespace ferry {

struct InPlaceChange {
    std::string archivePath;
    std::uint32_t stampAt = 0;  // where the stamp lies: after the header text and its zero
    DateTime oldStamp = 0;
    DateTime newStamp = 0;
    std::uint32_t cut = 0;        // the old archive's bytes that stay: head and shared blocks
    std::vector<std::byte> tail;  // the new payload's bytes after them
};

// "<archive>.redo": not ending in ".move", it is never listed as a project.
std::string redoPath(std::string_view archivePath);

// Makes the change through its redo file; the archive's last-write time afterwards. When
// the redo file cannot be written whole (no room for it, say) the archive is untouched and
// the redo file gone: the caller writes the archive another way. A failure after that
// leaves the redo file for the next run to finish the change with.
Made<FileTime> changeArchiveInPlace(Platform& system, const InPlaceChange& change);

// Finishes each change in `mediumFolder`'s "Ferry/" whose run was cut off, when its redo
// file is whole and the archive still carries its old or its new stamp (writing it twice
// gives the same archive); removes the redo file otherwise.
void finishCutChanges(Platform& system, std::string_view mediumFolder);

}  // namespace ferry
