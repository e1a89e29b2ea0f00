#pragma once

// Reading a project's archive from the medium at the start of its synchronization: its
// head first, its payload into memory only when the run needs it.

#include <string>

#include "archive/outcome.h"
#include "archive/project_progress.h"
#include "compress/stream.h"
#include "platform/date_time.h"
#include "platform/file_time.h"
#include "platform/platform.h"

namespace ferry {

struct LoadedArchive {
    // Done also when there is no archive (yet): it then holds no records. A system failure
    // when it exists but could not be read whole, damage when its header or stamp is not
    // whole, stopped when the user asked.
    Outcome outcome;
    bool found = false;  // an archive exists at the path
    std::string headerText;
    DateTime stamp = 0;
    FileTime time;  // the archive's last-write time: when the medium was last synchronized
    // How the open file looks (size, times, identity); not `exists` when it could not be
    // told for the file that is open.
    PathInfo look;
    // The compressed payload at position 0, once loaded (or read from `file` where it is
    // used: verified_payload.h); empty before and without an archive.
    StreamPtr payload;
    // The open archive until the payload is loaded.
    StreamPtr file;
    std::uint32_t payloadStart = 0;  // where the payload begins in the file
    std::uint32_t payloadSize = 0;
};

// The archive's head: its header text, stamp, time and look.
LoadedArchive openArchive(Platform& system, const std::string& path);
// Reads the payload of an opened archive into memory, its bytes counting as progress.
Outcome loadPayload(LoadedArchive& archive, const std::string& path, ProjectProgress& progress);
// Both.
LoadedArchive loadArchive(Platform& system, const std::string& path, ProjectProgress& progress);

}  // namespace ferry
