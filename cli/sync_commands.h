#pragma once

// The commands that run a synchronization.

#include "cli/arguments.h"
#include "cli/terminal_prompt.h"

namespace ferry::cli {

// sync MEDIUM: every project on the medium, or with --dry-run what that would do.
int synchronizeMedium(const Arguments& arguments, TerminalPrompt& prompt);
// add MEDIUM PATH: the folder becomes a project, carried to the medium at once.
int addProject(const Arguments& arguments, TerminalPrompt& prompt);

}  // namespace ferry::cli
