#include "ui/window_prompt.h"

#include "window/folder_dialog.h"
#include "window/window.h"

namespace ferry {

void WindowPrompt::showMessage(const std::string& text) {
    callOnWindowThread([&] { QtUserPrompt::showMessage(text); });
}

std::int32_t WindowPrompt::askChoice(const std::string& text, const std::string& answers) {
    std::int32_t answer = 0;
    callOnWindowThread([&] { answer = QtUserPrompt::askChoice(text, answers); });
    return answer;
}

std::string WindowPrompt::chooseWorkDir(const std::string& projectPath) {
    std::string folder;
    if (folders_ == nullptr) return folder;
    callOnWindowThread([&] {
        folders_->setInitialPath(projectPath);
        if (folders_->execute()) folder = folders_->path();
    });
    return folder;
}

void WindowPrompt::showProgress(const SyncProgress& progress) {
    const std::lock_guard lock(progressGuard_);
    latest_ = progress;
    if (progressWaiting_ || window_ == nullptr) return;
    progressWaiting_ = true;
    postToWindow(*window_, [this] { showLatestProgress(); });
}

void WindowPrompt::showLatestProgress() {
    SyncProgress progress;
    {
        const std::lock_guard lock(progressGuard_);
        if (!progressWaiting_) return;
        progressWaiting_ = false;
        progress = latest_;
    }
    onProgress_(progress);
}

void WindowPrompt::dropProgress() {
    const std::lock_guard lock(progressGuard_);
    progressWaiting_ = false;
}

}  // namespace ferry
