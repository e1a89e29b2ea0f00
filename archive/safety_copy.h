#pragma once

// Copies of archives that this machine keeps while the medium holds no complete archive of
// their project: a medium without room for two archives has the new one written where
// the old one was, and a run cut off there must not lose the project.

#include <string>
#include <string_view>
#include <vector>

#include "archive/outcome.h"
#include "archive/run_context.h"

namespace ferry {

// Where the copy of the archive at `archivePath` is kept; "" without a state folder.
std::string safetyCopyPath(std::string_view stateFolder, std::string_view archivePath);

struct PutBack {
    std::string archivePath;
    Outcome outcome;  // done when the archive is on the medium again
};

// Puts back each kept copy whose archive belongs in `mediumFolder`'s "Ferry/" and is
// missing there or not whole (its writing was cut off), and forgets the copy once the
// medium holds a whole archive again. What was put back, or could not be.
std::vector<PutBack> putBackSafetyCopies(const RunContext& context, std::string_view mediumFolder);

}  // namespace ferry
