#pragma once

// What the commands share: where the medium is, the projects it lists, paths given on
// the command line, and the messages of the program itself.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sync/sync_run.h"

namespace ferry::cli {

enum ExitStatus : int {
    ExitDone = 0,          // the command did all it was asked
    ExitStopped = 1,       // a project stopped or was refused, or another run holds the lock
    ExitUsage = 2,         // a usage error, or no medium folder
    ExitClockRefused = 3,  // this machine's clock is not later than an archive's stamp
};

// "ferryman-cli: " + text on standard error.
void printError(std::string_view text);
// Text on standard output as it is.
void printOutput(std::string_view text);

// A path given on the command line: a relative one joined to the current folder.
std::string absolutePathOf(std::string_view path);

// The medium folder named on the command line, absolute and ending in "/"; "" when it is
// no folder (the error printed).
std::string mediumFolderFor(std::string_view medium);

// The medium's scan; none when the clock check refused (its message shown).
std::optional<MediumScan> projectsOnMedium(std::string_view mediumFolder, UserPrompt& prompt);
// A command that did everything else ends with ExitStopped when the scan could not read
// all of the medium: a project may have been missed.
int statusAfter(const MediumScan& scan, int status);

}  // namespace ferry::cli
