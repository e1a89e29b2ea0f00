#pragma once

// The decisions of a run, or of a preview, as the user reads them: one line per file that
// changes, saying what happens to it and why.

#include <string>
#include <vector>

#include "sync/user_prompt.h"

namespace ferry {

// "path: what happens (why)" per line, in the order taken; files kept as they are are
// left out. "" when nothing changes.
std::string decisionLines(const std::vector<FileDecisionNote>& decisions);

}  // namespace ferry
