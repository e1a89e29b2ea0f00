#pragma once

// What the engine is handed by the front end that starts a run, rather than finding it
// itself: the platform every system call goes to (a preview puts one in front that keeps
// every change in memory), and this machine's folder for the engine's own files.

#include <string>

#include "platform/platform.h"

namespace ferry {

struct RunContext {
    Platform& platform;
    // Ends in "/": holds the run lock and what this machine remembers of the archives it
    // checked. "" when there is none: nothing is remembered, and only the medium's lock is
    // taken.
    std::string stateFolder;
};

}  // namespace ferry
