#pragma once

// Reading a project's archive from the medium into memory at the start of its
// synchronization.

#include <string>

#include "archive/outcome.h"
#include "archive/project_progress.h"
#include "compress/stream.h"
#include "platform/date_time.h"
#include "platform/file_time.h"

namespace ferry {

struct LoadedArchive {
    // Done also when there is no archive (yet): it then holds no records. A system failure
    // when it exists but could not be read whole, damage when its header or stamp is not
    // whole, stopped when the user asked.
    Outcome outcome;
    bool found = false;  // an archive exists at the path
    std::string headerText;
    DateTime stamp = 0;
    FileTime time;      // the archive's last-write time: when the medium was last synchronized
    StreamPtr payload;  // the compressed payload at position 0; empty without an archive
};

LoadedArchive loadArchive(Platform& system, const std::string& path, ProjectProgress& progress);

}  // namespace ferry
