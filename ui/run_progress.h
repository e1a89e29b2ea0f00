#pragma once

// What the progress line says during a run: the file in hand, and which project of how
// many, how many of its bytes are done, and about how long it still takes.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "archive/project_progress.h"

namespace ferry {

class RunProgress {
  public:
    // A run over projects with these listed paths, in list order, starting now.
    explicit RunProgress(std::vector<std::string> projectPaths);

    // Takes a report of the engine; the projects come in list order.
    void take(const SyncProgress& progress);
    const std::string& file() const { return file_; }
    std::uint64_t done() const { return done_; }
    std::uint64_t expected() const { return expected_; }
    // "project n of N · x of y MB · about t left", the time once it can be told.
    std::string figures() const;

  private:
    using Clock = std::chrono::steady_clock;

    std::vector<std::string> projectPaths_;
    std::size_t project_ = 0;
    bool started_ = false;
    Clock::time_point projectStart_ = Clock::now();
    std::string file_;
    std::uint64_t done_ = 0;
    std::uint64_t expected_ = 0;
};

}  // namespace ferry
