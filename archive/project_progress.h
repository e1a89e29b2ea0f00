#pragma once

// Progress of one project in bytes, reported to the engine's caller before each file and
// after every further mebibyte, with the stop request asked after each report.

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/outcome.h"
#include "compress/stream.h"

namespace ferry {

// How far the synchronization of one project is, in bytes of that project: reading the
// old archive, phase 1, phase 2, writing and flushing the new archive. `expected` may
// grow while the project runs (the new archive's size is known only at its end).
struct SyncProgress {
    std::string project;  // the project path as listed
    std::string file;     // the local path of the file being handled; "" between files
    std::uint64_t done = 0;
    std::uint64_t expected = 0;
};

// Who hears of the progress: the engine's caller.
class ProgressReceiver {
  public:
    virtual ~ProgressReceiver() = default;
    // Reported before each file and in chunks during every long step, so that a window
    // can repaint and take a close request between two chunks.
    virtual void showProgress(const SyncProgress& progress) { (void)progress; }
    // Asked at every progress report: true ends the current project as "Cancel" would
    // (nothing is written to the medium for it) and ends the run.
    virtual bool stopRequested() { return false; }
};

class ProjectProgress {
  public:
    ProjectProgress(ProgressReceiver& receiver, std::string_view project);

    // More bytes to come than foreseen so far.
    void expect(std::uint64_t bytes);
    // Reports the file about to be handled. False once a stop was requested.
    bool startFile(std::string_view file);
    // Counts bytes handled, reporting whenever another mebibyte is done. False once a
    // stop was requested.
    bool advance(std::uint64_t bytes);
    bool stopRequested() const { return stopRequested_; }

  private:
    bool report();

    ProgressReceiver& receiver_;
    SyncProgress progress_;
    std::uint64_t reportedAt_ = 0;
    bool stopRequested_ = false;
};

// How much is copied or compressed between two reports.
inline constexpr std::uint32_t ProgressChunk = 1 << 20;

// The bytes moved: done also when fewer came than asked (the end of the data); failed
// when a stream reported a failure; stopped when the user asked to stop after a chunk.
using Moved = Made<std::uint64_t>;

enum class StopRequests { End, Ignore };

// Copies up to `count` bytes a chunk at a time, counting each chunk as progress. Ends
// early at a short or failed copy, and at a stop request unless told to ignore it (a
// step that must not be left half done).
Moved copyWithProgress(Stream& destination, Stream& source, std::uint64_t count,
                       ProjectProgress& progress, StopRequests stops = StopRequests::End);
// Passes over up to `count` bytes of `source` as copyWithProgress would copy them: the
// same progress and the same stops, with nothing written.
Moved skipWithProgress(Stream& source, std::uint64_t count, ProjectProgress& progress);

}  // namespace ferry
