#pragma once

// Putting a file from the medium on disk so that the disk never loses what it had: the
// content goes to a temporary file beside the target first, and only a complete
// temporary file takes the target's place.

#include <string>

#include "archive/outcome.h"
#include "archive/project_progress.h"
#include "compress/stream.h"
#include "platform/file_time.h"

namespace ferry {

// Replaces the file at `localPath` with `size` bytes of `content`, whose last-write time
// becomes `time`. The previous version becomes localPath + ".old" (an older one goes)
// and its permission bits pass to the new file. Stopped or failed (the failure tells of
// `localPath`): the disk is as it was.
Outcome replaceFileFromMedium(Platform& system, const std::string& localPath, Stream& content,
                              std::uint32_t size, FileTime time, ProjectProgress& progress);

// Creates the file at `localPath`, and its folders, with `size` bytes of `content` and
// the last-write time `time`; a script ("#!") or ELF program may be run by whoever may
// read it. Anything already at that path (a folder, a pipe, a dead
// link) is left alone and fails the writing as an existing name.
Outcome createFileFromMedium(Platform& system, const std::string& localPath, Stream& content,
                             std::uint32_t size, FileTime time, ProjectProgress& progress);

// The suffix of the temporary file beside a target.
inline constexpr std::string_view DiskTemporarySuffix = ".ferry-new";

}  // namespace ferry
