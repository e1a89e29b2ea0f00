#pragma once

// The compressed payload of the archive a synchronization writes, compressed only as far
// as it must be. Records the old payload passes on unchanged from its start are only
// counted, so a run that changes nothing compresses nothing. Once the payload differs
// or must be written, the old compressed blocks that decoded to a whole block of those
// unchanged bytes are copied as they are, and compression starts at the first block that
// differs: the bytes come out as if everything had been compressed, since the compressor
// gives the same block for the same bytes. The copied blocks are read from the old payload
// where they lie when the archive is written.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_check.h"
#include "archive/checked_payloads.h"
#include "archive/media_archive.h"
#include "archive/project_progress.h"
#include "archive/record_transfer.h"
#include "compress/stream.h"

namespace ferry {

// What NewPayload::rememberAs kept: the seal of the remembered survey (nothing when it
// could not be kept), and the payload's blocks with the digests they are known by.
struct RememberedPayload {
    std::optional<Digest> seal;
    std::vector<BlockEnd> blocks;
};

class NewPayload {
  public:
    // `old` is the old compressed payload (an empty stream without an archive) and
    // `oldBlocks` its blocks as the check read them; `old` must stay unchanged while this
    // object lives, and its position is left as found until the payload is finished. With
    // `wholeRecompression` every record is compressed as it comes and nothing is copied.
    // False when libucl cannot be used.
    bool open(Stream& old, std::vector<BlockEnd> oldBlocks, bool wholeRecompression);

    // An old record that goes on as it was, at the same place: its head, then `head.size`
    // bytes of `content` (the old payload's reader, or a copy of its bytes).
    Outcome passOn(const RecordHead& head, Stream& content, ProjectProgress& progress);
    // A record the old payload does not hold at this place.
    Outcome add(const RecordHead& head, Stream& content, ProjectProgress& progress);
    // A new version of the old record at this place, of the same name and size: the bytes
    // after it stay where they were, so the blocks it does not reach are copied as they
    // are and only those whose bytes it changes are compressed again.
    Outcome replace(const RecordHead& head, Stream& content, ProjectProgress& progress);
    // An old record is left out: the payload differs from here on.
    void leaveOut() { differs_ = true; }

    // Decides which old blocks lead the new payload and hands the rest of the unchanged
    // bytes to the compressor. False when memory ran out. From then on the first
    // readyBytes() bytes of compressed() are final.
    bool settle();
    std::uint32_t readyBytes() const { return copiedBytes_; }
    // Writes what is still owed, the terminator and the last block. False when memory ran
    // out. The compressed payload is then whole, at position 0.
    bool finish();
    // Once settled: the compressed payload, the copied old blocks followed by the new ones.
    Stream& compressed();
    // Once finished and written as the archive at `archivePath`: remembers it as checked
    // (checked_payloads.h), so the next run need not decode it to trust it.
    RememberedPayload rememberAs(const RunContext& context, const std::string& archivePath);
    // The complete payload's bytes: the copied leading blocks, then the new ones.
    PayloadBytes bytes();

  private:
    bool startWriting();
    bool writeUnchangedStart();
    bool placeBlock(std::uint32_t decodedStart, std::uint32_t compressedStart,
                    std::uint32_t compressedEnd);
    bool readReplaced(std::uint64_t from, std::byte* target, std::uint32_t count);
    Outcome send(const RecordHead& head, Stream& content, ProjectProgress& progress);
    Outcome counted(const RecordHead& head, Outcome outcome);

    Stream* old_ = nullptr;
    std::vector<BlockEnd> oldBlocks_;
    StreamPtr oldBytes_;  // the old payload decoded
    StreamPtr payload_;   // the compressed blocks after the copied ones
    StreamPtr writer_;
    StreamPtr joined_;
    std::uint32_t copiedBytes_ = 0;  // the old payload's bytes that lead the new one
    // The old payload's decoded bytes passed on unchanged from its start, not yet written;
    // records replaced by ones of the same size (`replaced_`) count among them.
    std::uint64_t unchangedBytes_ = 0;
    struct Replaced {
        std::uint64_t at = 0;  // the decoded position of the record's head
        StreamPtr bytes;       // the new record, head and content
    };
    std::vector<Replaced> replaced_;
    std::uint64_t replacedBytes_ = 0;
    bool differs_ = false;
    bool writing_ = false;
    // The records in the payload, and its decoded size without the terminator.
    std::vector<RecordHead> heads_;
    std::uint64_t recordBytes_ = 0;
    std::size_t copiedBlocks_ = 0;  // the old payload's leading blocks, copied as they are
};

}  // namespace ferry
