#pragma once

// The two time tests of a synchronization.

#include <cstdint>

#include "platform/date_time.h"
#include "platform/file_time.h"

namespace ferry {

// -1, 0 or 1 as the disk file's time is earlier than, equal to, or later than its
// record's, to the millisecond. A work directory on a coarse file system (FAT keeps 2
// seconds, exFAT 10 milliseconds, some shares whole seconds) cannot hold a record's time
// exactly: a disk time that is the record's time cut or rounded to such a step, and
// itself lies on that step, is what the file system kept of it and counts as equal.
std::int32_t compareDiskWithRecord(FileTime disk, FileTime record);

// True when the medium's archive was written more than 2 seconds after this machine last
// synchronized the project. lastSync is stored in whole seconds and a FAT medium keeps
// times to 2 seconds, so closer times are the same synchronization.
bool mediumWrittenSince(DateTime mediaSync, DateTime lastSync);

}  // namespace ferry
