#include "sync/archive_check.h"

#include <string>
#include <unordered_set>

#include "compress/compressed_stream.h"
#include "sync/media_archive.h"
#include "sync/record_transfer.h"

namespace ferry {

PayloadSurvey checkArchivePayload(Stream& payload, const RecordNames& names,
                                  ProjectProgress& progress) {
    PayloadSurvey survey;
    progress.expect(getSize(payload));
    std::uint32_t consumed = 0;
    StreamPtr reader = newDecompressingStream(
        ArchiveBlockSize, payload, [&](Stream&, std::uint32_t compressed, std::uint32_t) {
            progress.advance(compressed - consumed);
            consumed = compressed;
        });
    if (!reader) {
        survey.check = PayloadCheck::NoMemory;
        return survey;
    }
    std::unordered_set<std::string> seen;
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
        if (read != RecordRead::Record || !names.localPathOf(head.name) ||
            !seen.insert(foldedName(head.name)).second || !skipRecordBytes(*reader, head.size))
            break;
        survey.contentBytes += head.size;
    }
    reader.reset();
    setPosition(payload, 0);
    return survey;
}

}  // namespace ferry
