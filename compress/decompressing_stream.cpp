#include <algorithm>
#include <cstring>
#include <span>

#include <ucl/ucl.h>

#include "compress/block_stream.h"
#include "compress/block_workers.h"
#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"
#include "platform/cpu.h"
#include "support/little_endian.h"

namespace ferry {
namespace {

enum class Load { Block, EndOfData, Damage };

// A block is decoded to the start of the buffer, or straight into a reader's target when
// the read takes it whole. Its compressed bytes come from the end of the buffer or from a
// memory source's own memory (compressedBytes). The cursor walks the decoded bytes in the
// buffer: cursor - start have been delivered and `available` remain. totalIn counts the
// bytes taken from the source, length fields included; totalOut the decoded bytes.
// With workers, the source is read ahead of the reader into the workers' buffers, which
// they decode in place; a decoded block's buffer then becomes the stream's.
struct DecompressorState : BlockStreamState {
    std::uint32_t available = 0;
    // Set by damage; every load fails until a rewind, so no stale bytes are delivered and
    // no later bytes are mistaken for a block start.
    bool damaged = false;
    // Worker threads to use; 1 decodes on the reader's thread. They start at the second
    // block, so a payload of one block starts none.
    unsigned workerCount = 1;
    std::unique_ptr<BlockWorkers> workers;
    // How reading ahead ended: Block while it goes on.
    Load aheadEnd = Load::Block;

    std::uint32_t position() const { return totalOut - available; }
    std::int64_t blockStart() const { return std::int64_t{position()} - (cursor - buffer.start()); }
    void skipBlock() {
        cursor += available;
        available = 0;
    }
};

Load damage(DecompressorState& state) {
    state.damaged = true;
    state.available = 0;
    return Load::Damage;
}

// The block's compressed bytes. A memory source may lend them where they lie (`lend`),
// saving a copy, as long as its own data follows them for the decoder's look past the
// end; otherwise they are read into the end of `buffer` and decoded in place. Null when
// the source holds fewer bytes.
const std::byte* compressedBytes(Stream& source, const BlockBuffer& buffer, std::uint32_t length,
                                 bool lend) {
    const std::span<const std::byte> ahead =
        lend ? memoryAhead(source) : std::span<const std::byte>{};
    if (std::uint64_t{length} + DecoderReadSlack <= ahead.size() &&
        seek(source, static_cast<std::int32_t>(length), SeekOrigin::fromCurrent) != StreamFailure) {
        return ahead.data();
    }
    std::byte* data = buffer.end() - length;
    return read(source, data, length) == length ? data : nullptr;
}

// Reads the next block's length field and compressed bytes. Fewer than 4 length bytes is
// the end of the data.
Load fetchBlock(Stream& source, const BlockBuffer& buffer, bool lend, const std::byte*& data,
                std::uint32_t& length) {
    std::byte field[4];
    const std::uint32_t got = read(source, field, 4);
    if (got < 4) return Load::EndOfData;
    if (got != 4) return Load::Damage;
    length = static_cast<std::uint32_t>(loadLittleEndian(field, 4));
    if (length == 0 || length > buffer.size) return Load::Damage;
    data = compressedBytes(source, buffer, length, lend);
    return data ? Load::Block : Load::Damage;
}

// Where a read wants at least a whole block: decoding straight there saves the copy out of
// the buffer.
struct DirectTarget {
    std::byte* at = nullptr;
    std::uint32_t room = 0;
    std::uint32_t filled = 0;  // bytes the last load decoded there
};

bool decode(const std::byte* data, std::uint32_t length, std::byte* target, std::uint32_t room,
            std::uint32_t& decoded) {
    ucl_uint outLength = room;
    const int result =
        ucl_nrv2e_decompress_safe_8(reinterpret_cast<const ucl_bytep>(data), length,
                                    reinterpret_cast<ucl_bytep>(target), &outLength, nullptr);
    decoded = static_cast<std::uint32_t>(outLength);
    return result == UCL_E_OK;
}

void countBlock(DecompressorState& state, std::uint32_t length, std::uint32_t decoded,
                bool inBuffer, bool report) {
    state.available = inBuffer ? decoded : 0;
    state.cursor = state.buffer.start();
    state.totalIn += 4 + length;
    state.totalOut += decoded;
    if (report && state.progress) state.progress(*state.self, state.totalIn, state.totalOut);
}

// Reads and decodes the next block on this thread, into `direct` when given and the block
// fits there, else into the buffer.
Load loadHere(DecompressorState& state, bool report, DirectTarget* direct) {
    const std::byte* data = nullptr;
    std::uint32_t length = 0;
    const Load fetched = fetchBlock(*state.underlying, state.buffer, true, data, length);
    if (fetched == Load::Damage) return damage(state);
    if (fetched == Load::EndOfData) return fetched;
    std::uint32_t decoded = 0;
    // The compressed bytes are untouched by a failed direct attempt, so the buffer can
    // still take a block that did not fit (only damaged data decodes to more than B).
    const bool handed = direct && decode(data, length, direct->at, direct->room, decoded);
    if (!handed && !decode(data, length, state.buffer.start(), state.buffer.size, decoded)) {
        return damage(state);
    }
    if (direct) direct->filled = handed ? decoded : 0;
    countBlock(state, length, decoded, !handed, report);
    return Load::Block;
}

// Gives every free worker a block read ahead, until the data ends or damage is met. The
// bytes are copied into the worker's buffer, never lent: the source may change between
// reads.
void readAhead(DecompressorState& state) {
    while (state.aheadEnd == Load::Block) {
        BlockJob* job = state.workers->freeJob();
        if (!job) return;
        state.aheadEnd = fetchBlock(*state.underlying, job->buffer, false, job->input, job->length);
        if (state.aheadEnd == Load::Block) state.workers->hand();
    }
}

// Takes the oldest block the workers decoded. Damage, and the end, count only when the
// reader reaches them.
Load loadAhead(DecompressorState& state, bool report) {
    readAhead(state);
    BlockJob* job = state.workers->oldest(true);
    if (!job) return state.aheadEnd == Load::Damage ? damage(state) : Load::EndOfData;
    if (job->failed) return damage(state);
    std::swap(job->buffer.bytes, state.buffer.bytes);
    const std::uint32_t length = job->length;
    const std::uint32_t decoded = job->output;
    state.workers->retire();
    readAhead(state);
    countBlock(state, length, decoded, true, report);
    return Load::Block;
}

void startWorkers(DecompressorState& state) {
    state.workers =
        BlockWorkers::start(state.workerCount, state.buffer.blockSize, [](BlockJob& job) {
            job.failed =
                !decode(job.input, job.length, job.buffer.start(), job.buffer.size, job.output);
        });
    if (!state.workers) state.workerCount = 1;
}

Load loadBlock(DecompressorState& state, bool report, DirectTarget* direct = nullptr) {
    if (state.damaged) return Load::Damage;
    if (!state.workers && state.workerCount > 1 && state.totalOut > 0) startWorkers(state);
    if (!state.workers) return loadHere(state, report, direct);
    if (direct) direct->filled = 0;
    return loadAhead(state, report);
}

std::uint32_t decompressingRead(Stream& stream, void* target, std::uint32_t count) {
    DecompressorState& state = stateOf<DecompressorState>(stream);
    auto* out = static_cast<std::byte*>(target);
    std::uint32_t delivered = 0;
    while (count > 0) {
        const std::uint32_t taken = std::min(count, state.available);
        if (taken > 0) {
            std::memcpy(out, state.cursor, taken);
            state.cursor += taken;
            state.available -= taken;
            out += taken;
            delivered += taken;
            count -= taken;
            continue;
        }
        DirectTarget direct{out, count};
        switch (loadBlock(state, true, count >= state.buffer.blockSize ? &direct : nullptr)) {
            case Load::Block: break;
            case Load::EndOfData: return delivered;
            case Load::Damage: return StreamFailure;
        }
        out += direct.filled;
        delivered += direct.filled;
        count -= direct.filled;
    }
    return delivered;
}

// Loads blocks until the decoded total reaches `target`; running out of data fails.
std::uint32_t seekForward(DecompressorState& state, std::int64_t target) {
    do {
        state.skipBlock();
        if (loadBlock(state, true) != Load::Block) return StreamFailure;
    } while (state.totalOut < target);
    const auto past = static_cast<std::uint32_t>(state.totalOut - target);
    state.cursor += state.available - past;
    state.available = past;
    return static_cast<std::uint32_t>(target);
}

// Reads the source again from position 0 up to `target`.
std::uint32_t seekFromStart(DecompressorState& state, std::int64_t target) {
    if (state.workers) {
        state.workers->forget();
        state.aheadEnd = Load::Block;
    }
    if (setPosition(*state.underlying, 0) != 0) {
        // The blocks read ahead are gone: without starting again the stream cannot go on.
        if (state.workers) damage(state);
        return StreamFailure;
    }
    state.damaged = false;
    state.available = 0;
    state.cursor = state.buffer.start();
    state.totalIn = 0;
    state.totalOut = 0;
    return seekForward(state, std::max<std::int64_t>(target, 0));
}

// Decodes the remaining blocks without reporting them; false on damage.
bool skipToEnd(DecompressorState& state) {
    for (;;) {
        state.skipBlock();
        switch (loadBlock(state, false)) {
            case Load::Block: break;
            case Load::EndOfData: return true;
            case Load::Damage: return false;
        }
    }
}

std::uint32_t decompressingSeek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    DecompressorState& state = stateOf<DecompressorState>(stream);
    std::int64_t target = offset;
    switch (origin) {
        case SeekOrigin::fromBeginning: break;
        case SeekOrigin::fromCurrent: target += state.position(); break;
        case SeekOrigin::fromEnd:
            if (!skipToEnd(state)) return StreamFailure;
            target += state.totalOut;
            break;
        default: return StreamFailure;
    }
    if (target > state.totalOut) return seekForward(state, target);
    // After damage the buffer holds no decoded bytes any more: only staying put is free.
    const std::int64_t blockStart = state.blockStart();
    const bool stays = target == state.position();
    if (target < blockStart || (state.damaged && !stays)) return seekFromStart(state, target);
    // Inside the current block: its decoded bytes are still in the buffer.
    state.cursor = state.buffer.start() + (target - blockStart);
    state.available = static_cast<std::uint32_t>(state.totalOut - target);
    return static_cast<std::uint32_t>(target);
}

void decompressingClose(Stream& stream) {
    takeState<DecompressorState>(stream).reset();
}

constexpr StreamOps DecompressingOps{.seek = decompressingSeek,
                                     .getSize = sizeZero,
                                     .setSize = keepSize,
                                     .read = decompressingRead,
                                     .write = writeNothing,
                                     .close = decompressingClose};

}  // namespace

StreamPtr newDecompressingStream(std::uint32_t blockSize, Stream& source, ProgressCallback progress,
                                 unsigned workers) {
    auto state = std::make_unique<DecompressorState>();
    if (!prepareBlockBuffer(state->buffer, blockSize)) return nullptr;
    state->workerCount = workers == EveryUsableCore ? usableCores() : workers;
    state->underlying = &source;
    state->progress = std::move(progress);
    state->cursor = state->buffer.start();
    return attachState(std::move(state), DecompressingOps);
}

}  // namespace ferry
