#include "ui/run_progress.h"

#include <cstdio>

#include "support/paths.h"

namespace ferry {
namespace {

constexpr double BytesPerMegabyte = 1024.0 * 1024.0;
// Too early, a guess of the time left jumps around more than it tells.
constexpr double SecondsBeforeGuessing = 1.0;

std::string megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / BytesPerMegabyte);
    return text;
}

std::string timeLeft(double seconds) {
    const auto whole = static_cast<long long>(seconds + 0.5);
    if (whole < 60) return "about " + std::to_string(whole) + " s left";
    return "about " + std::to_string((whole + 30) / 60) + " min left";
}

}  // namespace

RunProgress::RunProgress(std::vector<std::string> projectPaths)
    : projectPaths_(std::move(projectPaths)) {}

void RunProgress::take(const SyncProgress& progress) {
    // A project that ended without a report (refused at once) is passed over.
    const std::string reported = withoutTrailingSeparator(progress.project);
    std::size_t next = started_ ? project_ : 0;
    while (next < projectPaths_.size() &&
           withoutTrailingSeparator(projectPaths_[next]) != reported) {
        ++next;
    }
    if (next < projectPaths_.size() && (!started_ || next != project_)) {
        project_ = next;
        projectStart_ = Clock::now();
    }
    started_ = true;
    file_ = progress.file.empty() ? progress.project : progress.file;
    done_ = progress.done;
    expected_ = progress.expected;
}

std::string RunProgress::figures() const {
    std::string text = "project " + std::to_string(project_ + 1) + " of " +
                       std::to_string(projectPaths_.size()) + " \u00b7 " + megabytes(done_) +
                       " of " + megabytes(expected_) + " MB";
    const double seconds = std::chrono::duration<double>(Clock::now() - projectStart_).count();
    if (done_ > 0 && done_ < expected_ && seconds >= SecondsBeforeGuessing) {
        const double left =
            seconds * static_cast<double>(expected_ - done_) / static_cast<double>(done_);
        text += " \u00b7 " + timeLeft(left);
    }
    return text;
}

}  // namespace ferry
