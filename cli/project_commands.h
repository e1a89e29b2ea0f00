#pragma once

// The commands that read and set this machine's records of the projects on a medium.

#include "cli/arguments.h"
#include "sync/user_prompt.h"

namespace ferry::cli {

// list MEDIUM: one tab-separated line per project on the medium.
int listProjects(const Arguments& arguments, UserPrompt& prompt);
// workdir MEDIUM PROJECT DIR: where the project lives on this machine.
int setWorkDir(const Arguments& arguments, UserPrompt& prompt);
// Gives a project new to this machine a record, so that runs synchronize it at its path.
int acceptProject(const Arguments& arguments, UserPrompt& prompt);

}  // namespace ferry::cli
