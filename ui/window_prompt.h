#pragma once

// How the engine talks to the user of the window: messages and questions in dialogs,
// progress in the main window, and a stop the main window asks for when it is closed
// in the middle of a run.

#include <functional>

#include "ui/qt_user_prompt.h"

namespace ferry {

class WindowPrompt final : public QtUserPrompt {
  public:
    using ProgressHandler = std::function<void(const SyncProgress&)>;
    explicit WindowPrompt(ProgressHandler onProgress) : onProgress_(std::move(onProgress)) {}

    void showProgress(const SyncProgress& progress) override { onProgress_(progress); }
    bool stopRequested() override { return stop_; }

    // The run in progress ends at its next progress report, as "Cancel" would end it.
    void requestStop() { stop_ = true; }
    // For the next run.
    void clearStop() { stop_ = false; }

  private:
    ProgressHandler onProgress_;
    bool stop_ = false;
};

}  // namespace ferry
