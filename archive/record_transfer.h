#pragma once

// Moving one record's content between the disk, the old payload and the new payload,
// a chunk at a time so that progress is shown and a stop request is heard.

#include <cstdint>
#include <string>

#include "archive/media_archive.h"
#include "archive/outcome.h"
#include "archive/project_progress.h"
#include "compress/stream.h"

namespace ferry {

// A disk file open for reading, and its last-write time.
struct DiskFile {
    StreamPtr stream;
    FileTime time;
};

// Opens the file at `path` for reading and reads its last-write time; fails as the system
// said (not found for a file that went meanwhile).
Made<DiskFile> openDiskFile(Platform& system, const std::string& path);

// Reads the open disk file at `path` whole, into memory at position 0. The bytes actually
// read make the content, so a file that shrinks or grows meanwhile is carried as it was
// read; a read error is no end. Fails as too large at 4 GiB or more (a record's size field
// cannot hold it).
Made<StreamPtr> readDiskContent(Platform& system, Stream& file, const std::string& path,
                                ProjectProgress& progress);

// Reads the current record's content from the old payload into memory at position 0.
// Fails as damage when the payload ends early.
Made<StreamPtr> readRecordBytes(Stream& reader, std::uint32_t size, ProjectProgress& progress);

// Whether two contents read into memory above hold the same bytes.
bool sameContent(Stream& first, Stream& second);

// Passes over the current record's content.
bool skipRecordBytes(Stream& reader, std::uint32_t size);

// Writes the head and `head.size` bytes of `content` (memory, or the old payload's
// reader) to the new payload. Fails as too large when the payload takes no more.
Outcome sendRecord(Stream& writer, const RecordHead& head, Stream& content,
                   ProjectProgress& progress);

}  // namespace ferry
