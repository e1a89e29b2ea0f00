#include "archive/old_payload_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "archive/media_archive.h"
#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"

namespace ferry {
namespace {

constexpr std::size_t NoBlock = static_cast<std::size_t>(-1);

struct OldPayloadState {
    Stream* payload = nullptr;
    std::vector<BlockEnd> blocks;
    std::uint32_t position = 0;
    // The decoded bytes of one block, kept while reads stay in it.
    std::size_t loaded = NoBlock;
    std::unique_ptr<std::byte[]> decoded;

    std::uint32_t end() const { return blocks.empty() ? 0 : blocks.back().decoded; }
    std::uint32_t decodedStart(std::size_t block) const {
        return block == 0 ? 0 : blocks[block - 1].decoded;
    }
    std::uint32_t compressedStart(std::size_t block) const {
        return block == 0 ? 0 : blocks[block - 1].compressed;
    }
};

OldPayloadState& stateOf(Stream& stream) {
    return *static_cast<OldPayloadState*>(stream.ops.custom);
}

// The block holding decoded position `at` (below the end).
std::size_t blockAt(const OldPayloadState& state, std::uint32_t at) {
    const auto found = std::upper_bound(
        state.blocks.begin(), state.blocks.end(), at,
        [](std::uint32_t position, const BlockEnd& block) { return position < block.decoded; });
    return static_cast<std::size_t>(found - state.blocks.begin());
}

// Decodes one block alone (each is a stream of its own) from a copy of its compressed
// bytes, leaving the payload's position as found.
bool load(OldPayloadState& state, std::size_t block) {
    if (state.loaded == block) return true;
    state.loaded = NoBlock;
    if (!state.decoded) state.decoded.reset(new (std::nothrow) std::byte[ArchiveBlockSize]);
    const std::uint32_t size = state.blocks[block].decoded - state.decodedStart(block);
    if (!state.decoded || size > ArchiveBlockSize) return false;
    Stream& payload = *state.payload;
    const std::uint32_t resume = position(payload);
    const std::uint32_t start = state.compressedStart(block);
    const std::uint32_t length = state.blocks[block].compressed - start;
    StreamPtr compressed = newMemoryStream();
    const bool copied =
        setPosition(payload, start) == start && copyStream(*compressed, payload, length) == length;
    if (setPosition(payload, resume) != resume || !copied) return false;
    setPosition(*compressed, 0);
    StreamPtr reader = newDecompressingStream(ArchiveBlockSize, *compressed, {}, 1);
    if (!reader || read(*reader, state.decoded.get(), size) != size) return false;
    state.loaded = block;
    return true;
}

std::uint32_t oldPayloadRead(Stream& stream, void* target, std::uint32_t count) {
    OldPayloadState& state = stateOf(stream);
    auto* out = static_cast<std::byte*>(target);
    std::uint32_t delivered = 0;
    while (delivered < count && state.position < state.end()) {
        const std::size_t block = blockAt(state, state.position);
        if (!load(state, block)) return StreamFailure;
        const std::uint32_t offset = state.position - state.decodedStart(block);
        const std::uint32_t taken =
            std::min(count - delivered, state.blocks[block].decoded - state.position);
        std::memcpy(out + delivered, state.decoded.get() + offset, taken);
        state.position += taken;
        delivered += taken;
    }
    return delivered;
}

std::uint32_t oldPayloadSeek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    OldPayloadState& state = stateOf(stream);
    if (origin == SeekOrigin::fromEnd) return StreamFailure;
    const std::uint32_t target = seekTarget(state.position, state.end(), offset, origin);
    if (target != StreamFailure) state.position = target;
    return target;
}

std::uint32_t oldPayloadSize(Stream& stream) {
    return stateOf(stream).end();
}

void oldPayloadClose(Stream& stream) {
    std::unique_ptr<OldPayloadState> state(&stateOf(stream));
    stream.ops.custom = nullptr;
}

}  // namespace

StreamPtr newOldPayloadReader(Stream& payload, std::vector<BlockEnd> blocks) {
    auto state = std::make_unique<OldPayloadState>();
    state->payload = &payload;
    state->blocks = std::move(blocks);
    StreamPtr stream = newStreamWithOps({.seek = oldPayloadSeek,
                                         .getSize = oldPayloadSize,
                                         .setSize = keepSize,
                                         .read = oldPayloadRead,
                                         .write = writeNothing,
                                         .close = oldPayloadClose});
    stream->ops.custom = state.release();
    return stream;
}

}  // namespace ferry
