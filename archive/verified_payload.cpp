#include "archive/verified_payload.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>

#include "compress/file_stream.h"

namespace ferry {
namespace {

struct VerifiedState {
    Platform* system = nullptr;
    std::string path;
    std::uint32_t start = 0;
    std::vector<BlockEnd> blocks;
    DigestKey key{};
    // A block's bytes once read and found to be the remembered ones.
    std::vector<std::unique_ptr<std::byte[]>> checked;
    std::uint32_t position = 0;

    std::uint32_t size() const { return blocks.empty() ? 0 : blocks.back().compressed; }
    std::uint32_t blockStart(std::size_t index) const {
        return index == 0 ? 0 : blocks[index - 1].compressed;
    }
};

VerifiedState& stateOf(Stream& stream) {
    return *static_cast<VerifiedState*>(stream.ops.custom);
}

// The archive, opened when the first block is to be read and closed with the operation
// that read it.
class ArchiveFile {
  public:
    explicit ArchiveFile(const VerifiedState& state) : state_(state) {}
    Stream* get() {
        if (!file_) file_ = openReadFileStream(*state_.system, state_.path);
        return getHandle(*file_) == InvalidFileHandle ? nullptr : file_.get();
    }

  private:
    const VerifiedState& state_;
    StreamPtr file_;
};

// The block's bytes, read and checked the first time; empty when they cannot be had or
// differ from the remembered ones (a block holds at least its length field).
std::span<const std::byte> checkedBlock(VerifiedState& state, std::size_t index,
                                        ArchiveFile& archive) {
    std::unique_ptr<std::byte[]>& bytes = state.checked[index];
    const std::uint32_t begin = state.blockStart(index);
    const std::span<std::byte> block(bytes.get(), state.blocks[index].compressed - begin);
    if (bytes) return block;
    // Not cleared: every byte is read over.
    bytes.reset(new (std::nothrow) std::byte[block.size()]);
    if (!bytes) return {};
    const std::span<std::byte> target(bytes.get(), block.size());
    const std::uint64_t at = std::uint64_t{state.start} + begin;
    const auto length = static_cast<std::uint32_t>(target.size());
    Stream* file = archive.get();
    const bool read = file != nullptr && at < StreamFailure &&
                      setPosition(*file, static_cast<std::uint32_t>(at)) == at &&
                      ferry::read(*file, target.data(), length) == length;
    if (read && keyedDigestOf(state.key, target) == *state.blocks[index].digest) return target;
    bytes.reset();
    return {};
}

// The block holding the byte at `at` (which lies before the end).
std::size_t blockAt(const VerifiedState& state, std::uint32_t at) {
    const auto found = std::upper_bound(
        state.blocks.begin(), state.blocks.end(), at,
        [](std::uint32_t value, const BlockEnd& block) { return value < block.compressed; });
    return static_cast<std::size_t>(found - state.blocks.begin());
}

std::uint32_t verifiedRead(Stream& stream, void* target, std::uint32_t count) {
    VerifiedState& state = stateOf(stream);
    auto* out = static_cast<std::byte*>(target);
    ArchiveFile archive(state);
    std::uint32_t delivered = 0;
    while (delivered < count && state.position < state.size()) {
        const std::size_t index = blockAt(state, state.position);
        const std::span<const std::byte> bytes = checkedBlock(state, index, archive);
        if (bytes.empty()) return StreamFailure;
        const std::uint32_t offset = state.position - state.blockStart(index);
        const std::uint32_t piece =
            std::min(count - delivered, static_cast<std::uint32_t>(bytes.size()) - offset);
        std::copy_n(bytes.data() + offset, piece, out + delivered);
        delivered += piece;
        state.position += piece;
    }
    return delivered;
}

std::uint32_t verifiedSeek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    VerifiedState& state = stateOf(stream);
    const std::uint32_t target = seekTarget(state.position, state.size(), offset, origin);
    if (target != StreamFailure) state.position = target;
    return target;
}

std::uint32_t verifiedSize(Stream& stream) {
    return stateOf(stream).size();
}

void verifiedClose(Stream& stream) {
    std::unique_ptr<VerifiedState> state(&stateOf(stream));
    stream.ops.custom = nullptr;
}

}  // namespace

StreamPtr newVerifiedPayload(Platform& system, std::string path, std::uint32_t start,
                             std::vector<BlockEnd> blocks, const DigestKey& key) {
    if (std::any_of(blocks.begin(), blocks.end(), [](const BlockEnd& b) { return !b.digest; }))
        return nullptr;
    auto state = std::make_unique<VerifiedState>();
    state->system = &system;
    state->path = std::move(path);
    state->start = start;
    state->checked.resize(blocks.size());
    state->blocks = std::move(blocks);
    state->key = key;
    StreamPtr stream = newStreamWithOps({.seek = verifiedSeek,
                                         .getSize = verifiedSize,
                                         .setSize = keepSize,
                                         .read = verifiedRead,
                                         .write = writeNothing,
                                         .close = verifiedClose});
    stream->ops.custom = state.release();
    return stream;
}

bool verifyBlocksFrom(Stream& payload, std::uint64_t decodedAt) {
    if (payload.ops.read != verifiedRead) return false;
    VerifiedState& state = stateOf(payload);
    ArchiveFile archive(state);
    for (std::size_t i = 0; i < state.blocks.size(); ++i) {
        if (state.blocks[i].decoded > decodedAt && checkedBlock(state, i, archive).empty())
            return false;
    }
    return true;
}

}  // namespace ferry
