#pragma once

// Putting files from the medium on disk so that the disk never loses what it had: the
// content goes to a temporary file beside the target first, and only a complete
// temporary file, flushed to the device, takes the target's place. After a power cut a
// file at its name with its record's time holds its record's bytes (a later run would
// count it as equal to its record and keep it).

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "archive/outcome.h"
#include "archive/project_progress.h"
#include "compress/stream.h"
#include "platform/file_time.h"

namespace ferry {

// The files one project puts on disk. The write-back of each temporary file starts as
// soon as it is written; new files then wait in a batch that is flushed and named
// together, and the folders that took names are flushed once at the end, so that a first
// carry of thousands of small files does not wait for the device once per file.
class DiskWrites {
  public:
    explicit DiskWrites(Platform& system) : system_(system) {}
    // New files still waiting are not placed: their temporary files go.
    ~DiskWrites();
    DiskWrites(const DiskWrites&) = delete;
    DiskWrites& operator=(const DiskWrites&) = delete;

    // Replaces the file at `localPath` with `size` bytes of `content`, whose last-write
    // time becomes `time`, before it returns (the waiting new files first). The previous
    // version becomes localPath + ".old" (an older one goes) and its permission bits pass
    // to the new file. Stopped or failed (the failure names the file): the disk is as it
    // was, but for the waiting new files placed first.
    Outcome replace(const std::string& localPath, Stream& content, std::uint32_t size,
                    FileTime time, ProjectProgress& progress);

    // Creates the file at `localPath`, and its folders, with `size` bytes of `content`
    // and the last-write time `time`; a script ("#!") or ELF program may be run by whoever
    // may read it. The file takes its name with its batch, at the latest in place(); a
    // failure may name an earlier new file of the batch. Anything already at that path (a
    // folder, a pipe, a dead link) is left alone and fails the naming as an existing name.
    Outcome create(const std::string& localPath, Stream& content, std::uint32_t size, FileTime time,
                   ProjectProgress& progress);

    // Flushes the waiting new files and gives them their names, then flushes the folders
    // that took names since the last time. Nothing counts as done on disk before this.
    Outcome place();

  private:
    struct Waiting {
        std::string localPath;
        std::string temporary;
        StreamPtr file;  // open, so that it is flushed without being looked up again
    };

    Outcome nameWaitingFiles();
    void drop(Waiting& waiting);

    Platform& system_;
    std::vector<Waiting> waiting_;
    std::uint64_t waitingBytes_ = 0;
    std::set<std::string> changedFolders_;
};

// A batch of new files waits for at most this many files (or 64 MB): enough to share one
// flush of the device, few enough open files.
inline constexpr std::size_t DiskBatchFiles = 256;

// The suffix of the temporary file beside a target.
inline constexpr std::string_view DiskTemporarySuffix = ".ferry-new";

}  // namespace ferry
