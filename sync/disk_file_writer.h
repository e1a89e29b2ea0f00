#pragma once

// Putting a file from the medium on disk so that the disk never loses what it had: the
// content goes to a temporary file beside the target first, and only a complete
// temporary file takes the target's place.

#include <string>

#include "compress/stream.h"
#include "platform/file_time.h"
#include "archive/project_progress.h"

namespace ferry {

struct DiskWrite {
    bool written = false;
    bool stopped = false;  // the user asked to stop; nothing changed
    std::string message;   // why the file could not be written; the disk is as it was
};

// Replaces the file at `localPath` with `size` bytes of `content`, whose last-write time
// becomes `time`. The previous version becomes localPath + ".old" (an older one goes)
// and its permission bits pass to the new file.
DiskWrite replaceFileFromMedium(const std::string& localPath, Stream& content, std::uint32_t size,
                                FileTime time, ProjectProgress& progress);

// Creates the file at `localPath`, and its folders, with `size` bytes of `content` and
// the last-write time `time`. Anything already at that path (a folder, a pipe, a dead
// link) is left alone and stops the writing.
DiskWrite createFileFromMedium(const std::string& localPath, Stream& content, std::uint32_t size,
                               FileTime time, ProjectProgress& progress);

// The suffix of the temporary file beside a target.
inline constexpr std::string_view DiskTemporarySuffix = ".ferry-new";

}  // namespace ferry
