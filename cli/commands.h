#pragma once

#include "cli/arguments.h"

namespace ferry::cli {

// Runs the command and gives the program's exit status (ExitStatus): what it yields on
// standard output, what went wrong on standard error.
int runCommand(const Arguments& arguments);

}  // namespace ferry::cli
