#include "archive/project_progress.h"

#include <algorithm>

namespace ferry {

ProjectProgress::ProjectProgress(UserPrompt& prompt, std::string_view project) : prompt_(prompt) {
    progress_.project = project;
}

void ProjectProgress::expect(std::uint64_t bytes) {
    progress_.expected += bytes;
}

bool ProjectProgress::startFile(std::string_view file) {
    progress_.file = file;
    return report();
}

bool ProjectProgress::advance(std::uint64_t bytes) {
    progress_.done += bytes;
    if (progress_.done - reportedAt_ < ProgressChunk) return !stopRequested_;
    return report();
}

bool ProjectProgress::report() {
    // Estimates may fall short (files grow, the new archive's size comes last); never
    // show more done than expected.
    progress_.expected = std::max(progress_.expected, progress_.done);
    reportedAt_ = progress_.done;
    prompt_.showProgress(progress_);
    if (prompt_.stopRequested()) stopRequested_ = true;
    return !stopRequested_;
}

namespace {

// Moves `count` bytes a chunk at a time with `move` (the bytes it moved, or StreamFailure),
// counting each chunk as progress.
template <class Move>
Copied moveWithProgress(std::uint64_t count, ProjectProgress& progress, StopRequests stops,
                        Move move) {
    Copied copied;
    while (copied.bytes < count) {
        const auto chunk = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(count - copied.bytes, ProgressChunk));
        const std::uint32_t moved = move(chunk);
        if (moved == StreamFailure) {
            copied.failed = true;
            break;
        }
        copied.bytes += moved;
        if (!progress.advance(moved) && stops == StopRequests::End) copied.stopped = true;
        if (moved != chunk || copied.stopped) break;
    }
    return copied;
}

}  // namespace

Copied copyWithProgress(Stream& destination, Stream& source, std::uint64_t count,
                        ProjectProgress& progress, StopRequests stops) {
    return moveWithProgress(count, progress, stops, [&](std::uint32_t chunk) {
        return copyStream(destination, source, chunk);
    });
}

Copied skipWithProgress(Stream& source, std::uint64_t count, ProjectProgress& progress) {
    return moveWithProgress(count, progress, StopRequests::End, [&](std::uint32_t chunk) {
        const std::uint32_t from = position(source);
        if (from == StreamFailure) return StreamFailure;
        const std::uint32_t to =
            seek(source, static_cast<std::int32_t>(chunk), SeekOrigin::fromCurrent);
        return to == StreamFailure ? StreamFailure : to - from;
    });
}

}  // namespace ferry
