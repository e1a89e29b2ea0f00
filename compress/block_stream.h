#pragma once

// What the compressing and decompressing streams share: the one buffer of the current
// block and the state record the stream carries in its `custom` slot.

#include <cstddef>
#include <cstdint>
#include <memory>

#include <ucl/ucl.h>

#include "compress/compressed_stream.h"

namespace ferry {

// libucl's "safe" NRV2E decoder can read a byte past the end of its input (always when the
// input is empty, sometimes on damaged data) before it reports the overrun. A block is
// decoded from the very end of the buffer, so the buffer carries this many zero bytes
// after it for that read to land in.
inline constexpr std::uint32_t DecoderReadSlack = 16;

// B + B/8 + 256: the compressor's worst-case output for B input bytes.
std::uint64_t blockBufferSize(std::uint32_t blockSize);

struct BlockBuffer {
    std::unique_ptr<std::byte[]> bytes;
    std::uint32_t blockSize = 0;
    std::uint32_t size = 0;  // blockBufferSize(blockSize), the slack not counted

    std::byte* start() const { return bytes.get(); }
    std::byte* end() const { return bytes.get() + size; }
    // Where a block to compress is gathered: the last B bytes, so that the compressor can
    // write its output from the start without overtaking the input it still has to read.
    std::byte* inputArea() const { return end() - blockSize; }
};

// Runs libucl's start-up check and allocates the buffer (contents not cleared). False,
// with nothing allocated, when the check fails, the block size is 0 or too large for
// 32-bit sizes, or memory runs out.
bool prepareBlockBuffer(BlockBuffer& buffer, std::uint32_t blockSize);

// Compresses the first `length` bytes of the buffer's input area to the buffer's start.
// The compressed length; 0 when the compressor fails (a level outside 1..10, no memory).
std::uint32_t compressInPlace(const BlockBuffer& buffer, std::uint32_t length, std::int32_t level,
                              ucl_progress_callback_t* progress);
// The block's 4-byte length and its bytes; false unless the destination took both whole.
bool writeBlock(Stream& destination, const std::byte* block, std::uint32_t length);

struct BlockStreamState {
    Stream* self = nullptr;        // the compressed stream, named in progress reports
    Stream* underlying = nullptr;  // not owned
    BlockBuffer buffer;
    std::byte* cursor = nullptr;
    std::uint32_t totalIn = 0;
    std::uint32_t totalOut = 0;
    ProgressCallback progress;
};

// Makes a stream with `ops` that carries `state` until its `close` takes it back.
template <class State>
StreamPtr attachState(std::unique_ptr<State> state, const StreamOps& ops) {
    StreamPtr stream = newStreamWithOps(ops);
    state->self = stream.get();
    stream->ops.custom = state.release();
    return stream;
}

template <class State>
State& stateOf(Stream& stream) {
    return *static_cast<State*>(stream.ops.custom);
}

// For `close`: the state, owned again by the caller.
template <class State>
std::unique_ptr<State> takeState(Stream& stream) {
    std::unique_ptr<State> state(&stateOf<State>(stream));
    stream.ops.custom = nullptr;
    return state;
}

}  // namespace ferry
