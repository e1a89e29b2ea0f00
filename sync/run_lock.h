#pragma once

// One synchronization at a time per user and per medium, also between the window and
// the command line: a run holds an advisory lock on a file in the settings folder and
// one in the medium's "Ferry/" folder. The system drops both when the process ends, so a
// crashed run never blocks the next one. The lock files stay where they are: removing
// one while another process waits on it would let two runs in.

#include <string_view>
#include <vector>

#include "archive/run_context.h"
#include "platform/platform.h"

namespace ferry {

inline constexpr std::string_view RunLockFileName = "run.lock";

enum class RunLockUse {
    Run,     // makes the lock files (and the folders they go in) when missing
    Preview  // changes nothing anywhere: locks only the lock files already there
};

// Holds what acquireRunLock took until it goes.
class RunLock {
  public:
    RunLock() = default;
    ~RunLock();
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // False when another process holds one of the locks: the run must not start. A lock
    // file that cannot be made or locked for any other reason (a read-only medium, a
    // system without advisory locks) does not keep a run from starting.
    bool held() const { return held_; }

  private:
    friend RunLock acquireRunLock(const RunContext&, std::string_view, RunLockUse);
    void releaseAll();

    Platform* platform_ = nullptr;  // the one the locks were taken through
    bool held_ = false;
    std::vector<FileHandle> handles_;
};

// Takes the lock of this user (in the run's state folder, when it has one) and, when
// mediumFolder is not empty and exists, the lock of that medium, without waiting.
RunLock acquireRunLock(const RunContext& context, std::string_view mediumFolder,
                       RunLockUse use = RunLockUse::Run);

}  // namespace ferry
