#pragma once

// The whole old payload is checked before anything on disk or on the medium changes, so
// that a damaged or hostile archive is neither rewritten nor lets a file be written
// outside its project.

#include <cstdint>

#include "compress/stream.h"
#include "sync/project_progress.h"
#include "sync/record_names.h"

namespace ferry {

enum class PayloadCheck {
    Sound,    // every record readable, every name safe and unique, the terminator present
    Unsafe,   // damage, data ending early, a name outside the project, or two names that
              // differ only in letter case
    Stopped,  // the user asked to stop
    NoMemory  // libucl could not be used
};

struct PayloadSurvey {
    PayloadCheck check = PayloadCheck::Unsafe;
    std::uint64_t contentBytes = 0;  // the records' content bytes, for progress
};

// Decodes the payload (a stream positioned at 0, holding no block at all for an empty
// payload) once, reading names and sizes; its compressed bytes count as progress. The
// payload is left at position 0.
PayloadSurvey checkArchivePayload(Stream& payload, const RecordNames& names,
                                  ProjectProgress& progress);

}  // namespace ferry
