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

// The unchanged bytes: the leading old blocks that hold a whole block of them copied, the
// rest decoded again and compressed. A block of another size (an archive from another
// writer) ends the copying: the blocks after it lie elsewhere.
bool NewPayload::writeUnchangedStart() {
    std::uint32_t compressedEnd = 0;
    std::uint32_t decodedEnd = 0;
    for (const BlockEnd& block : oldBlocks_) {
        if (block.decoded - decodedEnd != ArchiveBlockSize || block.decoded > unchangedBytes_)
            break;
        compressedEnd = block.compressed;
        decodedEnd = block.decoded;
        ++copiedBlocks_;
    }
    copiedBytes_ = compressedEnd;
    if (setPosition(*oldBytes_, decodedEnd) != decodedEnd) return false;
    // A block at a time: a copy between two streams without buffers takes one of its size.
    for (std::uint64_t left = unchangedBytes_ - decodedEnd; left > 0;) {
        const auto piece =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(left, ArchiveBlockSize));
        if (copyStream(*writer_, *oldBytes_, piece) != piece) return false;
        left -= piece;
    }
    return true;
}

}  // namespace ferry
