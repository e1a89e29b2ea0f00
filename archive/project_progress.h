#pragma once

// Progress of one project in bytes, reported to the prompt before each file and after
// every further mebibyte, with the stop request asked after each report.

#include <cstdint>
#include <string>
#include <string_view>

#include "compress/stream.h"
#include "sync/user_prompt.h"

namespace ferry {

class ProjectProgress {
  public:
    ProjectProgress(UserPrompt& prompt, std::string_view project);

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

    UserPrompt& prompt_;
    SyncProgress progress_;
    std::uint64_t reportedAt_ = 0;
    bool stopRequested_ = false;
};

// How much is copied or compressed between two reports.
inline constexpr std::uint32_t ProgressChunk = 1 << 20;

struct Copied {
    std::uint64_t bytes = 0;
    bool failed = false;   // a stream reported a failure (not merely a short count)
    bool stopped = false;  // the user asked to stop after a chunk
};

enum class StopRequests { End, Ignore };

// Copies up to `count` bytes a chunk at a time, counting each chunk as progress. Ends
// early at a short or failed copy, and at a stop request unless told to ignore it (a
// step that must not be left half done).
Copied copyWithProgress(Stream& destination, Stream& source, std::uint64_t count,
                        ProjectProgress& progress, StopRequests stops = StopRequests::End);
// Passes over up to `count` bytes of `source` as copyWithProgress would copy them: the
// same progress and the same stops, with nothing written.
Copied skipWithProgress(Stream& source, std::uint64_t count, ProjectProgress& progress);

}  // namespace ferry
