#include "archive/archive_check.h"

#include <string>
#include <unordered_set>

#include "archive/checked_payloads.h"
#include "archive/media_archive.h"
#include "archive/record_transfer.h"
#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"

namespace ferry {
namespace {

// A name must lead into the project, and no two names to the same file. Names that
// differ only in letter case are two files where the work directory tells case; where it
// does not, the synchronization keeps all but the first on the medium, each by itself.
class NameCheck {
  public:
    explicit NameCheck(const RecordNames& names) : names_(names) {}
    bool accepts(const RecordHead& head) {
        const std::optional<std::string> localPath = names_.localPathOf(head.name);
        return localPath && seen_.insert(*localPath).second;
    }

  private:
    const RecordNames& names_;
    std::unordered_set<std::string> seen_;
};

// Where a check begins: after blocks whose bytes this machine knows, with the records that
// lie wholly in them.
struct CheckStart {
    std::vector<BlockEnd> blocks;
    std::vector<RecordHead> records;
    std::uint32_t recordStart = 0;  // the decoded position of the first record to read
};

// The known start of a payload whose leading blocks are as remembered: their records,
// up to the first one that reaches past them, need no decoding.
CheckStart knownStart(const Recollection& recollection) {
    CheckStart start;
    const std::vector<BlockEnd>& blocks = recollection.survey.blocks;
    if (recollection.matchingBlocks == 0) return start;
    const std::uint32_t known = blocks[recollection.matchingBlocks - 1].decoded;
    std::uint64_t at = 0;
    for (const RecordHead& head : recollection.survey.records) {
        const std::uint64_t end = at + recordHeadSize(head) + head.size;
        if (end > known) break;
        start.records.push_back(head);
        at = end;
    }
    start.recordStart = static_cast<std::uint32_t>(at);
    // Decoding starts at the block that holds the first record to read: each block is a
    // stream of its own.
    for (std::size_t i = 0; i < recollection.matchingBlocks && blocks[i].decoded <= at; ++i)
        start.blocks.push_back(blocks[i]);
    return start;
}

PayloadSurvey checkFrom(Stream& payload, const RecordNames& names, ProjectProgress& progress,
                        CheckStart start) {
    PayloadSurvey survey;
    const BlockEnd from = start.blocks.empty() ? BlockEnd{} : start.blocks.back();
    const std::uint32_t size = getSize(payload);
    progress.expect(size);
    progress.advance(from.compressed);
    StreamPtr rest;
    if (from.compressed > 0) {
        rest = newMemoryStream();
        const std::uint32_t length = size - from.compressed;
        const bool copied = setPosition(payload, from.compressed) == from.compressed &&
                            copyStream(*rest, payload, length) == length;
        setPosition(payload, 0);
        if (!copied) {
            survey.outcome = systemFailure({}, outOfMemory());
            return survey;
        }
        setPosition(*rest, 0);
    }
    survey.blocks = std::move(start.blocks);
    std::uint32_t consumed = 0;
    StreamPtr reader =
        newDecompressingStream(ArchiveBlockSize, rest ? *rest : payload,
                               [&](Stream&, std::uint32_t compressed, std::uint32_t decoded) {
                                   // Reading only forward, the reader reports each block once, in
                                   // order.
                                   progress.advance(compressed - consumed);
                                   consumed = compressed;
                                   survey.blocks.push_back({from.compressed + compressed,
                                                            from.decoded + decoded, std::nullopt});
                               });
    if (!reader) {
        survey.outcome = systemFailure({}, outOfMemory());
        return survey;
    }
    NameCheck nameCheck(names);
    bool known = true;
    for (const RecordHead& head : start.records) {
        known = known && nameCheck.accepts(head);
        survey.contentBytes += head.size;
        survey.records.push_back(head);
    }
    RecordHead head;
    for (bool reached = known && skipRecordBytes(*reader, start.recordStart - from.decoded);
         reached;) {
        if (progress.stopRequested()) {
            survey.outcome = stopped();
            break;
        }
        const RecordRead read = readRecordHead(*reader, head);
        if (read == RecordRead::End) {
            survey.outcome = done();
            break;
        }
        if (read != RecordRead::Record || !nameCheck.accepts(head) ||
            !skipRecordBytes(*reader, head.size))
            break;
        survey.contentBytes += head.size;
        survey.records.push_back(head);
    }
    reader.reset();
    setPosition(payload, 0);
    return survey;
}

}  // namespace

PayloadSurvey checkArchivePayload(Stream& payload, const RecordNames& names,
                                  ProjectProgress& progress) {
    return checkFrom(payload, names, progress, {});
}

PayloadSurvey checkRememberedNames(PayloadSurvey survey, const RecordNames& names) {
    NameCheck nameCheck(names);
    for (const RecordHead& head : survey.records) {
        if (!nameCheck.accepts(head)) return PayloadSurvey{};
    }
    return survey;
}

PayloadSurvey surveyArchivePayload(const RunContext& context, const std::string& archivePath,
                                   Stream& payload, const RecordNames& names,
                                   ProjectProgress& progress) {
    setPosition(payload, 0);
    const std::span<const std::byte> bytes = memoryAhead(payload);
    const std::optional<Recollection> recalled = recallCheckedPayload(context, archivePath, bytes);
    if (recalled && recalled->whole) {
        progress.expect(bytes.size());
        progress.advance(bytes.size());
        return checkRememberedNames(recalled->survey, names);
    }
    // Another machine's run rewrote it from some block on: only the rest is decoded.
    PayloadSurvey survey =
        checkFrom(payload, names, progress, recalled ? knownStart(*recalled) : CheckStart{});
    if (survey.outcome.done())
        survey.rememberedAs = rememberCheckedPayload(context, archivePath, PayloadBytes(bytes), survey);
    return survey;
}

}  // namespace ferry
