#pragma once

// How the engine talks to the user of the window: messages and questions in dialogs,
// progress in the main window, and a stop the main window asks for when it is closed
// in the middle of a run. The run goes on beside the window's thread: every call of the
// engine reaches the windows on their own thread.

#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "ui/qt_user_prompt.h"

namespace ferry {

class FolderDialog;
class Window;

class WindowPrompt final : public QtUserPrompt {
  public:
    using ProgressHandler = std::function<void(const SyncProgress&)>;
    explicit WindowPrompt(ProgressHandler onProgress) : onProgress_(std::move(onProgress)) {}

    // The window whose thread shows the progress; set before the first run.
    void showIn(Window& window) { window_ = &window; }
    // The dialog in which a work directory is picked; without one none can be.
    void pickFoldersIn(FolderDialog& dialog) { folders_ = &dialog; }

    void showMessage(const std::string& text) override;
    std::int32_t askChoice(const std::string& text, const std::string& answers) override;
    void showProgress(const SyncProgress& progress) override;
    void noteDecision(const FileDecisionNote& note) override { decisions_.push_back(note); }
    bool stopRequested() override { return stop_; }
    std::string chooseWorkDir(const std::string& projectPath) override;

    // The run in progress ends at its next progress report, as "Cancel" would end it.
    void requestStop() { stop_ = true; }
    // For the next run.
    void clearStop() { stop_ = false; }
    // The run has ended: a report still on its way is not shown.
    void dropProgress();
    // The decisions of the run that has ended, in the order taken; forgotten here.
    std::vector<FileDecisionNote> takeDecisions() { return std::exchange(decisions_, {}); }

  private:
    void showLatestProgress();

    ProgressHandler onProgress_;
    Window* window_ = nullptr;
    FolderDialog* folders_ = nullptr;
    std::atomic<bool> stop_ = false;
    // Only the latest report is shown, and only one waits for the window at a time, so
    // that a fast run does not flood the window with reports.
    std::mutex progressGuard_;
    SyncProgress latest_;
    bool progressWaiting_ = false;
    // Written by the run's thread only, read when it has ended.
    std::vector<FileDecisionNote> decisions_;
};

}  // namespace ferry
