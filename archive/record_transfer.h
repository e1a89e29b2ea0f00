#pragma once

// Moving one record's content between the disk, the old payload and the new payload,
// a chunk at a time so that progress is shown and a stop request is heard.

#include <cstdint>
#include <string>

#include "compress/stream.h"
#include "archive/media_archive.h"
#include "archive/project_progress.h"

namespace ferry {

enum class Transfer {
    Done,
    Stopped,   // the user asked to stop
    TooLarge,  // 4 GiB or more: a record's size field cannot hold it
    Failed     // a read or write failed; for a disk file `error` tells why
};

struct DiskContent {
    Transfer result = Transfer::Failed;
    int error = 0;
    StreamPtr bytes;  // the file's bytes as read, at position 0
};

// Reads an open disk file whole. The bytes actually read make the content, so a file
// that shrinks or grows meanwhile is carried as it was read; a read error is no end.
DiskContent readDiskContent(Stream& file, ProjectProgress& progress);

// Reads the current record's content from the old payload into memory.
Transfer readRecordBytes(Stream& reader, std::uint32_t size, StreamPtr& content,
                         ProjectProgress& progress);

// Passes over the current record's content.
bool skipRecordBytes(Stream& reader, std::uint32_t size);

// Writes the head and `head.size` bytes of `content` (memory, or the old payload's
// reader) to the new payload.
Transfer sendRecord(Stream& writer, const RecordHead& head, Stream& content,
                    ProjectProgress& progress);

}  // namespace ferry
