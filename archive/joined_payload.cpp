#include "archive/joined_payload.h"

#include <algorithm>
#include <memory>

namespace ferry {
namespace {

struct JoinedState {
    Stream* first = nullptr;
    std::uint32_t firstBytes = 0;
    Stream* second = nullptr;
    std::uint32_t position = 0;

    std::uint64_t size() const { return std::uint64_t{firstBytes} + getSize(*second); }
};

JoinedState& stateOf(Stream& stream) {
    return *static_cast<JoinedState*>(stream.ops.custom);
}

// Reads up to `count` bytes of `part` from `at`.
std::uint32_t readPart(Stream& part, std::uint32_t at, std::byte* target, std::uint32_t count) {
    if (setPosition(part, at) != at) return StreamFailure;
    return read(part, target, count);
}

std::uint32_t joinedRead(Stream& stream, void* target, std::uint32_t count) {
    JoinedState& state = stateOf(stream);
    auto* out = static_cast<std::byte*>(target);
    std::uint32_t delivered = 0;
    while (delivered < count && state.position < state.size()) {
        const bool inFirst = state.position < state.firstBytes;
        const std::uint32_t wanted =
            inFirst ? std::min(count - delivered, state.firstBytes - state.position)
                    : count - delivered;
        const std::uint32_t got =
            inFirst ? readPart(*state.first, state.position, out + delivered, wanted)
                    : readPart(*state.second, state.position - state.firstBytes, out + delivered,
                               wanted);
        if (got > wanted) return StreamFailure;
        if (got == 0) break;
        delivered += got;
        state.position += got;
    }
    return delivered;
}

std::uint32_t joinedSeek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    JoinedState& state = stateOf(stream);
    const std::uint32_t target = seekTarget(state.position, state.size(), offset, origin);
    if (target != StreamFailure) state.position = target;
    return target;
}

std::uint32_t joinedSize(Stream& stream) {
    const std::uint64_t size = stateOf(stream).size();
    return size < StreamFailure ? static_cast<std::uint32_t>(size) : StreamFailure;
}

void joinedClose(Stream& stream) {
    std::unique_ptr<JoinedState> state(&stateOf(stream));
    stream.ops.custom = nullptr;
}

}  // namespace

StreamPtr newJoinedPayload(Stream& first, std::uint32_t firstBytes, Stream& second) {
    auto state = std::make_unique<JoinedState>();
    state->first = &first;
    state->firstBytes = std::min(firstBytes, getSize(first));
    state->second = &second;
    StreamPtr stream = newStreamWithOps({.seek = joinedSeek,
                                         .getSize = joinedSize,
                                         .setSize = keepSize,
                                         .read = joinedRead,
                                         .write = writeNothing,
                                         .close = joinedClose});
    stream->ops.custom = state.release();
    return stream;
}

}  // namespace ferry
