#include <algorithm>
#include <cstring>

#include "compress/block_stream.h"
#include "compress/block_workers.h"
#include "compress/compressed_stream.h"
#include "platform/cpu.h"

namespace ferry {
namespace {

// The uncompressed block is gathered in the buffer's input area and compressed to the
// buffer's start. With workers, a full block's buffer is handed over whole and a free one
// taken in exchange; this thread writes the compressed blocks as they come back, in order.
// totalIn counts the uncompressed bytes of the blocks sent (or handed over), totalOut the
// bytes this thread wrote to the destination, length fields included (progress is only
// reported without workers).
struct CompressorState : BlockStreamState {
    std::uint32_t free = 0;
    // A block did not reach the destination whole (or, with workers, could not be
    // compressed): the payload is broken for good, so every later write fails and nothing
    // more is sent.
    bool broken = false;
    // finishCompressing sent the last block; a further block would follow a short one.
    bool finished = false;
    ucl_progress_callback_t codecCallback{};
    std::int32_t level = 0;
    // Worker threads to use; 1 compresses on the caller's thread. They start with the
    // first full block, so a payload of one block starts none.
    unsigned workerCount = 1;
    std::unique_ptr<BlockWorkers> workers;

    std::uint32_t position() const { return totalIn + (buffer.blockSize - free); }
    void startBlock() {
        free = buffer.blockSize;
        cursor = buffer.inputArea();
    }
};

void forwardProgress(ucl_uint textSize, ucl_uint codeSize, int, ucl_voidp user) {
    auto& state = *static_cast<CompressorState*>(user);
    constexpr std::uint32_t LengthField = 4;
    state.progress(*state.self, state.totalIn + static_cast<std::uint32_t>(textSize),
                   state.totalOut + LengthField + static_cast<std::uint32_t>(codeSize));
}

// Compresses the first `length` bytes of the input area and writes the block. False when
// the compressor fails (nothing is written then; the block stays) or the destination
// takes less than the whole block (the stream is then broken).
bool emitBlock(CompressorState& state, std::uint32_t length) {
    const std::uint32_t compressed = compressInPlace(
        state.buffer, length, state.level, state.progress ? &state.codecCallback : nullptr);
    if (compressed == 0) return false;
    state.broken = !writeBlock(*state.underlying, state.buffer.start(), compressed);
    state.totalOut += 4 + compressed;
    return !state.broken;
}

// Writes the oldest block the workers compressed; false when it failed.
bool writeOldest(CompressorState& state, BlockJob& job) {
    state.broken = job.failed || !writeBlock(*state.underlying, job.buffer.start(), job.output);
    state.workers->retire();
    return !state.broken;
}

// Hands the block over in exchange for a free buffer, writing what is ready first (and
// waiting for the oldest block when every buffer is busy).
bool handBlock(CompressorState& state, std::uint32_t length) {
    BlockWorkers& workers = *state.workers;
    while (BlockJob* done = workers.oldest(false)) {
        if (!writeOldest(state, *done)) return false;
    }
    BlockJob* job = workers.freeJob();
    if (!job) {
        if (!writeOldest(state, *workers.oldest(true))) return false;
        job = workers.freeJob();
    }
    std::swap(job->buffer.bytes, state.buffer.bytes);
    job->input = job->buffer.inputArea();
    job->length = length;
    workers.hand();
    return true;
}

// Sends the block of `length` bytes, or hands it to the workers; false as for emitBlock.
bool sendBlock(CompressorState& state, std::uint32_t length) {
    if (!state.workers && state.workerCount > 1 && length == state.buffer.blockSize) {
        const std::int32_t level = state.level;
        state.workers =
            BlockWorkers::start(state.workerCount, state.buffer.blockSize, [level](BlockJob& job) {
                job.output = compressInPlace(job.buffer, job.length, level, nullptr);
                job.failed = job.output == 0;
            });
        if (!state.workers) state.workerCount = 1;
    }
    return state.workers ? handBlock(state, length) : emitBlock(state, length);
}

// Waits until every block handed to the workers is written; false when one failed.
bool drainWorkers(CompressorState& state) {
    if (!state.workers) return !state.broken;
    while (!state.broken) {
        BlockJob* job = state.workers->oldest(true);
        if (!job) break;
        writeOldest(state, *job);
    }
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
        if (!sendBlock(state, state.buffer.blockSize)) return StreamFailure;
        state.totalIn += state.buffer.blockSize;
        state.startBlock();
    }
}

// The blocks handed over count as sent: they are written before the destination is set
// back.
std::uint32_t startAgain(CompressorState& state) {
    if (!drainWorkers(state) || setPosition(*state.underlying, 0) != 0) return StreamFailure;
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
        if (!sendBlock(state, pending)) return false;
        state.totalIn += pending;
        state.startBlock();
    }
    if (!drainWorkers(state)) return false;
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
                               ProgressCallback progress, unsigned workers) {
    auto state = std::make_unique<CompressorState>();
    if (!prepareBlockBuffer(state->buffer, blockSize)) return nullptr;
    state->underlying = &destination;
    state->level = level;
    // The compressor reports progress from inside a block, which only the caller's own
    // thread may pass on.
    state->workerCount = progress ? 1 : workers == EveryUsableCore ? usableCores() : workers;
    state->progress = std::move(progress);
    state->codecCallback.callback = forwardProgress;
    state->codecCallback.user = state.get();
    state->startBlock();
    return attachState(std::move(state), CompressingOps);
}

}  // namespace ferry
