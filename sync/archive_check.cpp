#include "sync/archive_check.h"

#include <string>
#include <unordered_set>

#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"
#include "sync/checked_payloads.h"
#include "sync/media_archive.h"
#include "sync/record_transfer.h"

namespace ferry {
namespace {

// A name must lead into the project, and no two names may differ only in letter case.
class NameCheck {
  public:
    explicit NameCheck(const RecordNames& names) : names_(names) {}
    bool accepts(const RecordHead& head) {
        return names_.localPathOf(head.name) && seen_.insert(foldedName(head.name)).second;
    }

  private:
    const RecordNames& names_;
    std::unordered_set<std::string> seen_;
};

}  // namespace

PayloadSurvey checkArchivePayload(Stream& payload, const RecordNames& names,
                                  ProjectProgress& progress) {
    PayloadSurvey survey;
    progress.expect(getSize(payload));
    std::uint32_t consumed = 0;
    StreamPtr reader = newDecompressingStream(
        ArchiveBlockSize, payload, [&](Stream&, std::uint32_t compressed, std::uint32_t decoded) {
            // Reading only forward, the reader reports each block once, in order.
            progress.advance(compressed - consumed);
            consumed = compressed;
            survey.blocks.push_back({compressed, decoded, std::nullopt});
        });
    if (!reader) {
        survey.check = PayloadCheck::NoMemory;
        return survey;
    }
    NameCheck nameCheck(names);
    RecordHead head;
    for (;;) {
        if (progress.stopRequested()) {
            survey.check = PayloadCheck::Stopped;
            break;
        }
        const RecordRead read = readRecordHead(*reader, head);
        if (read == RecordRead::End) {
            survey.check = PayloadCheck::Sound;
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

PayloadSurvey surveyArchivePayload(const std::string& archivePath, Stream& payload,
                                   const RecordNames& names, ProjectProgress& progress) {
    setPosition(payload, 0);
    const std::span<const std::byte> bytes = memoryAhead(payload);
    if (std::optional<PayloadSurvey> recalled = recallCheckedPayload(archivePath, bytes)) {
        progress.expect(bytes.size());
        progress.advance(bytes.size());
        NameCheck nameCheck(names);
        for (const RecordHead& head : recalled->records) {
            if (!nameCheck.accepts(head)) return PayloadSurvey{};
        }
        return std::move(*recalled);
    }
    PayloadSurvey survey = checkArchivePayload(payload, names, progress);
    if (survey.check == PayloadCheck::Sound)
        rememberCheckedPayload(archivePath, {bytes, {}}, survey);
    return survey;
}

}  // namespace ferry
