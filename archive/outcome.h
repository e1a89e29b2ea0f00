#pragma once

// How a step of the engine ended, in archive/ and sync/ alike: done, stopped because the
// user asked, or failed. A failure says what failed (a path, where there is one) and why:
// the system's error, or a reason of the engine's own. What the user is told is decided
// by the engine, from the outcome, in one place.

#include <cstdint>
#include <string>
#include <utility>

#include "platform/system_error.h"

namespace ferry {

enum class Ending { Done, Stopped, Failed };

enum class Fault {
    None,       // no reason left to give: the user has been told already
    System,     // the system refused or failed: `error` says why
    Damaged,    // an archive that is damaged, cut short, or names files outside its project
    TooLarge,   // past what the archive's 32-bit sizes carry, or more than memory holds
    LinkInWay,  // a link (or a folder) stands where a file is to be written: `path`
};

struct Outcome {
    Ending ending = Ending::Done;
    Fault fault = Fault::None;
    std::string path;   // what failed; "" when no one file did
    SystemError error;  // with Fault::System

    bool done() const { return ending == Ending::Done; }
    bool stopped() const { return ending == Ending::Stopped; }
    bool failed() const { return ending == Ending::Failed; }
};

inline Outcome done() {
    return {};
}
inline Outcome stopped() {
    return {Ending::Stopped, Fault::None, {}, {}};
}
inline Outcome failure(Fault fault, std::string path = {}, SystemError error = {}) {
    return {Ending::Failed, fault, std::move(path), error};
}
// A failure the system reported; one without a reason counts as a failing device.
inline Outcome systemFailure(std::string path, SystemError error) {
    return failure(Fault::System, std::move(path), error.failed() ? error : deviceFailure());
}

// A value made by a step, and how the step ended; the value is whole only when done.
template <typename T>
struct Made {
    T value{};
    Outcome outcome;
};

}  // namespace ferry
