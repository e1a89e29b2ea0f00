#include "sync/new_payload.h"

#include <algorithm>

#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"

namespace ferry {
namespace {

// Copies bytes [start, end) of `source` to `destination`, leaving the source's position
// as it was: the old payload's reader goes on reading from there.
bool copyRange(Stream& destination, Stream& source, std::uint32_t start, std::uint32_t end) {
    const std::uint32_t resume = position(source);
    const bool copied = setPosition(source, start) == start &&
                        copyStream(destination, source, end - start) == end - start;
    return setPosition(source, resume) == resume && copied;
}

std::uint64_t headBytes(const RecordHead& head) {
    return head.name.size() + 1 + 12;
}

}  // namespace

bool NewPayload::open(Stream& old, std::vector<BlockEnd> oldBlocks, bool wholeRecompression) {
    old_ = &old;
    oldBlocks_ = std::move(oldBlocks);
    payload_ = newMemoryStream();
    writer_ = newPayloadWriter(*payload_);
    writing_ = wholeRecompression;
    return writer_ != nullptr;
}

Transfer NewPayload::passOn(const RecordHead& head, Stream& content, ProjectProgress& progress) {
    if (writing_ || differs_) return send(head, content, progress);
    unchangedBytes_ += headBytes(head) + head.size;
    const Copied skipped = skipWithProgress(content, head.size, progress);
    if (skipped.stopped) return Transfer::Stopped;
    return skipped.bytes == head.size ? Transfer::Done : Transfer::Failed;
}

Transfer NewPayload::add(const RecordHead& head, Stream& content, ProjectProgress& progress) {
    differs_ = true;
    return send(head, content, progress);
}

bool NewPayload::finish() {
    if (!startWriting()) return false;
    if (!writeRecordSequenceEnd(*writer_) || !finishCompressing(*writer_)) return false;
    writer_.reset();
    setPosition(*payload_, 0);
    return true;
}

Transfer NewPayload::send(const RecordHead& head, Stream& content, ProjectProgress& progress) {
    if (!startWriting()) return Transfer::Failed;
    return sendRecord(*writer_, head, content, progress);
}

bool NewPayload::startWriting() {
    if (writing_) return true;
    writing_ = true;
    return writeUnchangedStart();
}

// The unchanged bytes: the leading old blocks that hold a whole block of them copied, the
// rest decoded from the old blocks again and compressed. A block of another size (an
// archive from another writer) ends the copying: the blocks after it lie elsewhere.
bool NewPayload::writeUnchangedStart() {
    std::uint32_t compressedStart = 0;
    std::uint32_t decodedStart = 0;
    std::size_t next = 0;
    for (; next < oldBlocks_.size(); ++next) {
        const BlockEnd& block = oldBlocks_[next];
        if (block.decoded - decodedStart != ArchiveBlockSize || block.decoded > unchangedBytes_)
            break;
        compressedStart = block.compressed;
        decodedStart = block.decoded;
    }
    if (compressedStart > 0 && !copyRange(*payload_, *old_, 0, compressedStart)) return false;
    for (; next < oldBlocks_.size() && decodedStart < unchangedBytes_; ++next) {
        const BlockEnd& block = oldBlocks_[next];
        const auto count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(block.decoded, unchangedBytes_) - decodedStart);
        if (!decodeOldBlock(compressedStart, block.compressed, count)) return false;
        compressedStart = block.compressed;
        decodedStart = block.decoded;
    }
    return decodedStart >= unchangedBytes_;
}

// Sends the first `count` decoded bytes of the old block at [compressedStart,
// compressedEnd) to the writer. A block is a stream of its own, so it decodes alone.
bool NewPayload::decodeOldBlock(std::uint32_t compressedStart, std::uint32_t compressedEnd,
                                std::uint32_t count) {
    StreamPtr block = newMemoryStream();
    if (!copyRange(*block, *old_, compressedStart, compressedEnd)) return false;
    setPosition(*block, 0);
    StreamPtr reader = newDecompressingStream(ArchiveBlockSize, *block, {}, 1);
    return reader && copyStream(*writer_, *reader, count) == count;
}

}  // namespace ferry
