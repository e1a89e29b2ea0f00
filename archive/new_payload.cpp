#include "archive/new_payload.h"

#include <algorithm>

#include "archive/checked_payloads.h"
#include "archive/joined_payload.h"
#include "archive/old_payload_reader.h"
#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"
#include "support/little_endian.h"

namespace ferry {
namespace {

// The empty name that ends the record sequence.
constexpr std::uint64_t TerminatorBytes = 1;
// Replaced records wait in memory until the payload is written; beyond this many bytes
// the rest of the payload is compressed as it comes instead.
constexpr std::uint64_t LargestWaitingReplacements = 32u << 20;

}  // namespace

bool NewPayload::open(Stream& old, std::vector<BlockEnd> oldBlocks, bool wholeRecompression) {
    old_ = &old;
    oldBytes_ = newOldPayloadReader(old, oldBlocks);
    oldBlocks_ = std::move(oldBlocks);
    payload_ = newMemoryStream();
    writer_ = newPayloadWriter(*payload_);
    writing_ = wholeRecompression;
    return writer_ != nullptr;
}

Outcome NewPayload::passOn(const RecordHead& head, Stream& content, ProjectProgress& progress) {
    if (writing_ || differs_) return counted(head, send(head, content, progress));
    unchangedBytes_ += recordHeadSize(head) + head.size;
    const Moved skipped = skipWithProgress(content, head.size, progress);
    if (skipped.outcome.stopped()) return stopped();
    return counted(head, skipped.value == head.size ? done() : failure(Fault::TooLarge));
}

Outcome NewPayload::add(const RecordHead& head, Stream& content, ProjectProgress& progress) {
    differs_ = true;
    return counted(head, send(head, content, progress));
}

Outcome NewPayload::replace(const RecordHead& head, Stream& content, ProjectProgress& progress) {
    const std::uint64_t size = recordHeadSize(head) + head.size;
    if (writing_ || differs_ || replacedBytes_ + size > LargestWaitingReplacements)
        return add(head, content, progress);
    Replaced record{unchangedBytes_, newMemoryStream()};
    const Outcome kept = sendRecord(*record.bytes, head, content, progress);
    if (!kept.done()) return counted(head, kept);
    setPosition(*record.bytes, 0);
    replaced_.push_back(std::move(record));
    replacedBytes_ += size;
    unchangedBytes_ += size;
    return counted(head, done());
}

Outcome NewPayload::counted(const RecordHead& head, Outcome outcome) {
    if (outcome.done()) {
        heads_.push_back(head);
        recordBytes_ += recordHeadSize(head) + head.size;
    }
    return outcome;
}

bool NewPayload::settle() {
    return startWriting();
}

bool NewPayload::finish() {
    if (!startWriting()) return false;
    if (!writeRecordSequenceEnd(*writer_) || !finishCompressing(*writer_)) return false;
    writer_.reset();
    setPosition(compressed(), 0);
    return true;
}

Stream& NewPayload::compressed() {
    if (!joined_) joined_ = newJoinedPayload(*old_, copiedBytes_, *payload_);
    return *joined_;
}

PayloadBytes NewPayload::bytes() {
    setPosition(*old_, 0);
    setPosition(*payload_, 0);
    // An old payload read only where it was used is not in memory.
    const std::span<const std::byte> old = memoryAhead(*old_);
    return {old.size() >= copiedBytes_ ? old.first(copiedBytes_) : std::span<const std::byte>{},
            copiedBytes_, memoryAhead(*payload_)};
}

RememberedPayload NewPayload::rememberAs(const RunContext& context,
                                         const std::string& archivePath) {
    const PayloadBytes bytes = this->bytes();
    PayloadSurvey survey;
    survey.outcome = done();
    // Each block is its length field and that many bytes; every block but the last
    // decodes to a whole block, the last ends with the terminator.
    const std::uint64_t decodedSize = recordBytes_ + TerminatorBytes;
    // The copied blocks keep the ends and digests they were known by.
    survey.blocks.assign(oldBlocks_.begin(),
                         oldBlocks_.begin() + static_cast<std::ptrdiff_t>(copiedBlocks_));
    std::uint64_t compressedEnd = copiedBytes_;
    std::uint64_t decodedEnd = survey.blocks.empty() ? 0 : survey.blocks.back().decoded;
    while (bytes.size() - compressedEnd >= 4) {
        const std::span<const std::byte> length = bytes.range(compressedEnd, compressedEnd + 4);
        if (length.empty()) return {};
        compressedEnd += 4 + loadLittleEndian(length.data(), 4);
        decodedEnd = std::min(decodedEnd + ArchiveBlockSize, decodedSize);
        survey.blocks.push_back({static_cast<std::uint32_t>(compressedEnd),
                                 static_cast<std::uint32_t>(decodedEnd), std::nullopt});
    }
    if (compressedEnd != bytes.size() || decodedEnd != decodedSize) return {};
    survey.records = std::move(heads_);
    RememberedPayload remembered;
    remembered.seal = rememberCheckedPayload(context, archivePath, bytes, survey);
    remembered.blocks = std::move(survey.blocks);
    return remembered;
}

Outcome NewPayload::send(const RecordHead& head, Stream& content, ProjectProgress& progress) {
    if (!startWriting()) return failure(Fault::TooLarge);
    return sendRecord(*writer_, head, content, progress);
}

bool NewPayload::startWriting() {
    if (writing_) return true;
    writing_ = true;
    return writeUnchangedStart();
}

// The unchanged bytes: the leading old blocks that hold a whole block of them copied
// (those before the first replaced record where they lie, the others into the new
// bytes, or compressed again when a replaced record changes them), the rest decoded again
// and compressed. A block of another size (an archive from another writer) ends the
// copying: the blocks after it lie elsewhere.
bool NewPayload::writeUnchangedStart() {
    const std::uint64_t firstReplaced = replaced_.empty() ? unchangedBytes_ : replaced_[0].at;
    // The old blocks after the first replaced record come into the new bytes: room for
    // them at once, not a step at a time.
    if (!replaced_.empty()) reserve(*payload_, getSize(*old_));
    std::uint32_t compressedEnd = 0;
    std::uint32_t decodedEnd = 0;
    for (const BlockEnd& block : oldBlocks_) {
        if (block.decoded - decodedEnd != ArchiveBlockSize || block.decoded > unchangedBytes_)
            break;
        if (block.decoded > firstReplaced) {
            if (!placeBlock(decodedEnd, compressedEnd, block.compressed)) return false;
        } else {
            copiedBytes_ = block.compressed;
            ++copiedBlocks_;
        }
        compressedEnd = block.compressed;
        decodedEnd = block.decoded;
    }
    // A block at a time: a copy between two streams without buffers takes one of its size.
    std::vector<std::byte> piece;
    for (std::uint64_t at = decodedEnd; at < unchangedBytes_;) {
        const auto count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(unchangedBytes_ - at, ArchiveBlockSize));
        piece.resize(count);
        if (!readReplaced(at, piece.data(), count) || write(*writer_, piece.data(), count) != count)
            return false;
        at += count;
    }
    return true;
}

// An old whole block after a replaced record: copied into the new bytes when it decodes as
// it did, else its new bytes compressed as one block (the compressor gives the block the
// whole payload's compression would).
bool NewPayload::placeBlock(std::uint32_t decodedStart, std::uint32_t compressedStart,
                            std::uint32_t compressedEnd) {
    const std::uint64_t decodedEnd = std::uint64_t{decodedStart} + ArchiveBlockSize;
    // Only a block that a replaced record reaches into is decoded to be compared.
    const bool reached = std::any_of(replaced_.begin(), replaced_.end(), [&](const Replaced& r) {
        return r.at < decodedEnd && r.at + getSize(*r.bytes) > decodedStart;
    });
    std::vector<std::byte> old;
    std::vector<std::byte> now;
    if (reached) {
        old.resize(ArchiveBlockSize);
        now.resize(ArchiveBlockSize);
        if (setPosition(*oldBytes_, decodedStart) != decodedStart ||
            read(*oldBytes_, old.data(), ArchiveBlockSize) != ArchiveBlockSize ||
            !readReplaced(decodedStart, now.data(), ArchiveBlockSize))
            return false;
    }
    if (old == now) {
        const std::uint32_t length = compressedEnd - compressedStart;
        const std::uint32_t resume = position(*old_);
        const bool copied = setPosition(*old_, compressedStart) == compressedStart &&
                            copyStream(*payload_, *old_, length) == length;
        return setPosition(*old_, resume) == resume && copied;
    }
    StreamPtr block =
        newCompressingStream(ArchiveCompressionLevel, ArchiveBlockSize, *payload_, {}, 1);
    return block && write(*block, now.data(), ArchiveBlockSize) == ArchiveBlockSize &&
           finishCompressing(*block);
}

// The unchanged bytes from `from` on as the new payload holds them: the old payload's,
// with the replaced records in their places.
bool NewPayload::readReplaced(std::uint64_t from, std::byte* target, std::uint32_t count) {
    if (from >= StreamFailure ||
        setPosition(*oldBytes_, static_cast<std::uint32_t>(from)) != from ||
        read(*oldBytes_, target, count) != count)
        return false;
    const std::uint64_t end = from + count;
    for (const Replaced& record : replaced_) {
        const std::uint64_t recordEnd = record.at + getSize(*record.bytes);
        if (recordEnd <= from || record.at >= end) continue;
        const std::uint64_t start = std::max(from, record.at);
        const std::span<const std::byte> bytes = memoryAhead(*record.bytes);
        std::copy_n(bytes.data() + (start - record.at), std::min(end, recordEnd) - start,
                    target + (start - from));
    }
    return true;
}

}  // namespace ferry
