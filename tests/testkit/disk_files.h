#pragma once

// Plain file helpers for tests, independent of the code under test.

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace ferry::testkit {

// Writes `content` to `path`, creating missing folders.
void writeDiskFile(const std::string& path, const std::string& content);
// The whole file, or "" when it cannot be read.
std::string readDiskFile(const std::string& path);
// True when the name exists (a link counts, wherever it leads).
bool diskFileExists(const std::string& path);
// Leaves a Unix socket file at `path` (bound, then closed: the name stays); false when
// the name is too long or binding fails.
bool makeSocketFile(const std::string& path);
void setDiskFileTime(const std::string& path, FileTime time);
FileTime diskFileTime(const std::string& path);

// A file time from UTC calendar fields.
FileTime utcFileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                     int milliseconds = 0);

// Every entry under `root` (not following links) with its kind, permission bits,
// last-write time to the nanosecond and content, one per line in name order: equal
// snapshots mean nothing under `root` was changed, created, removed or re-timed.
std::string diskTreeSnapshot(const std::string& root);

}  // namespace ferry::testkit
