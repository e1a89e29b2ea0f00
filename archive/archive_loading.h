#pragma once

// Reading a project's archive from the medium into memory at the start of its
// synchronization.

#include <string>

#include "compress/stream.h"
#include "platform/date_time.h"
#include "platform/file_time.h"
#include "archive/project_progress.h"

namespace ferry {

enum class ArchiveLoad {
    Loaded,
    Missing,     // there is no archive (yet): no records
    Unreadable,  // it exists but could not be read whole; `error` tells why
    NoProject,   // its header or stamp is not whole
    Stopped      // the user asked to stop
};

struct LoadedArchive {
    ArchiveLoad result = ArchiveLoad::Missing;
    int error = 0;
    std::string headerText;
    DateTime stamp = 0;
    FileTime time;      // the archive's last-write time: when the medium was last synchronized
    StreamPtr payload;  // the compressed payload at position 0; empty without an archive
};

LoadedArchive loadArchive(const std::string& path, ProjectProgress& progress);

}  // namespace ferry
