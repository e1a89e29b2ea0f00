#pragma once

// The whole old payload is checked before anything on disk or on the medium changes, so
// that a damaged or hostile archive is neither rewritten nor lets a file be written
// outside its project.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/media_archive.h"
#include "archive/outcome.h"
#include "archive/project_progress.h"
#include "archive/record_names.h"
#include "archive/run_context.h"
#include "compress/stream.h"
#include "support/keyed_digest.h"

namespace ferry {

// Where one block of a payload ends: in the compressed bytes (length fields included) and
// in the decoded bytes, both counted from the payload's start.
struct BlockEnd {
    std::uint32_t compressed = 0;
    std::uint32_t decoded = 0;
    // Its compressed bytes' digest under this machine's key, once taken
    // (checked_payloads.h).
    std::optional<Digest> digest;
};

struct PayloadSurvey {
    // Done when every record is readable, every name safe and unique and the terminator
    // present; damage for anything else (data ending early, a name outside the project,
    // two names that differ only in letter case); a system failure when memory or libucl
    // could not be had; stopped when the user asked.
    Outcome outcome = failure(Fault::Damaged);
    std::uint64_t contentBytes = 0;  // the records' content bytes, for progress
    // The blocks read, in order, up to the one holding the terminator: a new payload may
    // copy those it shares whole.
    std::vector<BlockEnd> blocks;
    // The records' heads in order, so that the records need not be decoded again to be
    // gone through.
    std::vector<RecordHead> records;
    // The seal of what this machine remembers of the payload (checked_payloads.h), when
    // it remembers this survey.
    std::optional<Digest> rememberedAs;
};

// Decodes the payload (a stream positioned at 0, holding no block at all for an empty
// payload) once, reading names and sizes; its compressed bytes count as progress. The
// payload is left at position 0.
PayloadSurvey checkArchivePayload(Stream& payload, const RecordNames& names,
                                  ProjectProgress& progress);

// The same for the payload of the archive at `archivePath`, held in a memory stream:
// when this machine remembers these very bytes as sound (checked_payloads.h), only the
// remembered names are checked against the project; else the payload is checked whole
// and, when sound, remembered.
// A survey this machine remembers, with its names checked against the project as a
// decoded payload's are: damage when one is refused.
PayloadSurvey checkRememberedNames(PayloadSurvey survey, const RecordNames& names);

PayloadSurvey surveyArchivePayload(const RunContext& context, const std::string& archivePath,
                                   Stream& payload, const RecordNames& names,
                                   ProjectProgress& progress);

}  // namespace ferry
