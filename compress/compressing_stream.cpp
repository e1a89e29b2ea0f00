#include <algorithm>
#include <cstring>

#include <ucl/ucl.h>

#include "compress/block_stream.h"
#include "compress/compressed_stream.h"
#include "support/little_endian.h"

namespace ferry {
namespace {

// The uncompressed block is gathered in the last B bytes of the buffer and compressed to
// the buffer's start: the output never overtakes the input still to be read, so one
// buffer serves both.
// totalIn counts the uncompressed bytes of the blocks written, totalOut the bytes written
// to the destination, length fields included.
struct CompressorState : BlockStreamState {
    std::uint32_t free = 0;
    // A block did not reach the destination whole: the payload is broken for good, so
    // every later write fails and nothing more is sent.
    bool broken = false;
    // finishCompressing sent the last block; a further block would follow a short one.
    bool finished = false;
    ucl_progress_callback_t codecCallback{};
    std::int32_t level = 0;

    std::byte* inputArea() const { return buffer.end() - buffer.blockSize; }
    std::uint32_t position() const { return totalIn + (buffer.blockSize - free); }
    void startBlock() {
        free = buffer.blockSize;
        cursor = inputArea();
    }
};

void forwardProgress(ucl_uint textSize, ucl_uint codeSize, int, ucl_voidp user) {
    auto& state = *static_cast<CompressorState*>(user);
    constexpr std::uint32_t LengthField = 4;
    state.progress(*state.self, state.totalIn + static_cast<std::uint32_t>(textSize),
                   state.totalOut + LengthField + static_cast<std::uint32_t>(codeSize));
}

// Compresses the first `length` bytes of the input area and writes the block. False when
// the compressor fails (nothing is written then) or the destination takes less than the
// whole block (the stream is then broken).
bool emitBlock(CompressorState& state, std::uint32_t length) {
    ucl_uint compressedLength = state.buffer.size;
    const int result = ucl_nrv2e_99_compress(
        reinterpret_cast<const ucl_bytep>(state.inputArea()), length,
        reinterpret_cast<ucl_bytep>(state.buffer.start()), &compressedLength,
        state.progress ? &state.codecCallback : nullptr, state.level, nullptr, nullptr);
    if (result != UCL_E_OK) return false;
    const auto blockLength = static_cast<std::uint32_t>(compressedLength);
    std::byte field[4];
    storeLittleEndian(field, blockLength, 4);
    state.broken = write(*state.underlying, field, 4) != 4 ||
                   write(*state.underlying, state.buffer.start(), blockLength) != blockLength;
    state.totalOut += 4 + blockLength;
    return !state.broken;
}

std::uint32_t pendingBytes(const CompressorState& state) {
    return state.buffer.blockSize - state.free;
}

std::uint32_t compressingWrite(Stream& stream, const void* source, std::uint32_t count) {
    CompressorState& state = stateOf<CompressorState>(stream);
    if (state.broken || state.finished) return StreamFailure;
    if (count == 0) return 0;
    const auto* data = static_cast<const std::byte*>(source);
    std::uint32_t accepted = 0;
    for (;;) {
        const std::uint32_t taken = std::min(count, state.free);
        std::memcpy(state.cursor, data, taken);
        state.cursor += taken;
        state.free -= taken;
        accepted += taken;
        if (taken == count) return accepted;
        data += taken;
        count -= taken;
        // The block is full and more bytes wait: only now does it go out.
        if (!emitBlock(state, state.buffer.blockSize)) return StreamFailure;
        state.totalIn += state.buffer.blockSize;
        state.startBlock();
    }
}

std::uint32_t startAgain(CompressorState& state) {
    if (setPosition(*state.underlying, 0) != 0) return StreamFailure;
    state.startBlock();
    state.finished = false;
    state.totalIn = 0;
    state.totalOut = 0;
    return 0;
}

std::uint32_t compressingSeek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    CompressorState& state = stateOf<CompressorState>(stream);
    const std::uint32_t position = state.position();
    const auto distance = static_cast<std::uint32_t>(offset);
    switch (origin) {
        case SeekOrigin::fromBeginning:
            if (distance == 0) return startAgain(state);
            if (distance == position) return position;
            break;
        case SeekOrigin::fromCurrent:
        case SeekOrigin::fromEnd:
            if (distance == 0) return position;
            if (distance == 0u - position) return startAgain(state);
            break;
    }
    return StreamFailure;
}

bool finishBlocks(CompressorState& state) {
    if (state.broken) return false;
    const std::uint32_t pending = pendingBytes(state);
    if (pending > 0) {
        if (!emitBlock(state, pending)) return false;
        state.totalIn += pending;
        state.startBlock();
    }
    state.finished = true;
    return true;
}

void compressingClose(Stream& stream) {
    const std::unique_ptr<CompressorState> state = takeState<CompressorState>(stream);
    finishBlocks(*state);
}

constexpr StreamOps CompressingOps{.seek = compressingSeek,
                                   .getSize = sizeZero,
                                   .setSize = keepSize,
                                   .read = readNothing,
                                   .write = compressingWrite,
                                   .close = compressingClose};

}  // namespace

bool finishCompressing(Stream& compressing) {
    if (compressing.ops.write != compressingWrite) return false;
    return finishBlocks(stateOf<CompressorState>(compressing));
}

StreamPtr newCompressingStream(std::int32_t level, std::uint32_t blockSize, Stream& destination,
                               ProgressCallback progress) {
    auto state = std::make_unique<CompressorState>();
    if (!prepareBlockBuffer(state->buffer, blockSize)) return nullptr;
    state->underlying = &destination;
    state->level = level;
    state->progress = std::move(progress);
    state->codecCallback.callback = forwardProgress;
    state->codecCallback.user = state.get();
    state->startBlock();
    return attachState(std::move(state), CompressingOps);
}

}  // namespace ferry
