#include "archive/project_progress.h"

#include <algorithm>

namespace ferry {

ProjectProgress::ProjectProgress(ProgressReceiver& receiver, std::string_view project)
    : receiver_(receiver) {
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
    receiver_.showProgress(progress_);
    if (receiver_.stopRequested()) stopRequested_ = true;
    return !stopRequested_;
}

namespace {

// Moves `count` bytes a chunk at a time with `move` (the bytes it moved, or StreamFailure),
// counting each chunk as progress. A failure carries the system's error that stream `a`
// or `b` kept, if any.
template <class Move>
Moved moveWithProgress(std::uint64_t count, ProjectProgress& progress, StopRequests stops,
                       const Stream& a, const Stream& b, Move move) {
    Moved moved;
    while (moved.value < count) {
        const auto chunk =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(count - moved.value, ProgressChunk));
        const std::uint32_t step = move(chunk);
        if (step == StreamFailure) {
            const SystemError error = streamError(a).failed() ? streamError(a) : streamError(b);
            moved.outcome = failure(Fault::System, {}, error);
            break;
        }
        moved.value += step;
        if (!progress.advance(step) && stops == StopRequests::End) moved.outcome = stopped();
        if (step != chunk || moved.outcome.stopped()) break;
    }
    return moved;
}

}  // namespace

Moved copyWithProgress(Stream& destination, Stream& source, std::uint64_t count,
                       ProjectProgress& progress, StopRequests stops) {
    return moveWithProgress(count, progress, stops, source, destination, [&](std::uint32_t chunk) {
        return copyStream(destination, source, chunk);
    });
}

Moved skipWithProgress(Stream& source, std::uint64_t count, ProjectProgress& progress) {
    return moveWithProgress(
        count, progress, StopRequests::End, source, source, [&](std::uint32_t chunk) {
            const std::uint32_t from = position(source);
            if (from == StreamFailure) return StreamFailure;
            const std::uint32_t to =
                seek(source, static_cast<std::int32_t>(chunk), SeekOrigin::fromCurrent);
            return to == StreamFailure ? StreamFailure : to - from;
        });
}

}  // namespace ferry
