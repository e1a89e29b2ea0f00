#pragma once

// The program's main window: the medium is chosen at the top, the projects found on it
// are listed in the middle, and the commands sit at the bottom. It owns what the engine
// works on: the listed projects with their keys and this machine's project catalogue.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/project_catalogue.h"
#include "sync/sync_run.h"
#include "ui/run_progress.h"
#include "ui/window_prompt.h"

namespace ferry {

class AddProjectDialog;
class FolderDialog;
class Window;

// What the window asks of the desktop, replaceable so tests see what it asked.
struct DesktopServices {
    // The mount points of the removable media present, each ending in "/".
    std::function<std::vector<std::string>()> removableMedia;
    // Shows a folder in the desktop's file manager; false when nothing could be started.
    std::function<bool(const std::string& folder)> openFolder;
    // The system the window's scans and runs go to.
    Platform* platform = &systemPlatform();
};

// The removable devices of this machine and the desktop's file manager.
DesktopServices systemDesktopServices();

class MainWindow {
  public:
    // Builds the window as the main form of `application` (which then owns it) and loads
    // the settings, which may scan the medium already. Shown when the run loop starts.
    static MainWindow& build(Window& application, DesktopServices services);

    Window& form() const { return *form_; }
    // The medium box's text ending in "/" when it names an existing folder, else "".
    std::string mediumFolder() const;
    const std::vector<ListedProject>& listedProjects() const { return listed_; }
    // The dialog of Add Project and Edit Project Mask; null before their first use.
    AddProjectDialog* addProjectDialog() const { return addDialog_; }

  private:
    explicit MainWindow(DesktopServices services);
    void buildTopBar();
    void buildProjectList();
    void buildButtonBar();
    void hookEvents();
    void loadSettings();

    void onClose(bool& accept);
    void onKindChanged(const Window* sender);
    void fillRemovableMedia();
    void scanMedium();
    // A new row showing listed_[index] with `path` as its path; its number.
    std::int32_t appendRow(std::string_view path, std::size_t index);
    void showProject(std::int32_t row, const ListedProject& project);
    void refreshStatus();
    void updateButtons();
    void showProgress(const SyncProgress& progress);
    void synchronize();
    // What a run would do, file by file, with nothing changed.
    void preview();
    // After a run or a preview: the window as between runs, closed when that was asked.
    void endRun();
    // A run (or a preview) beside the window's thread, the window usable meanwhile; its
    // end, with its decisions in `decisions`. False when there is no medium to run on
    // (told to the user).
    bool runBesideWindow(const SyncOptions& options, RunResult& result,
                         std::vector<FileDecisionNote>& decisions);
    void setRunning(bool running);

    void addProject();
    void editProjectMask();
    void setWorkDir();
    void openProjectDir();
    void about();

    AddProjectDialog& dialog();
    // The listed project shown in `row`; null when there is none.
    ListedProject* projectOfRow(std::int32_t row);

    DesktopServices services_;
    WindowPrompt prompt_;

    Window* form_ = nullptr;
    Window* topBar_ = nullptr;
    Window* projectList_ = nullptr;
    Window* progressLine_ = nullptr;
    Window* progressBar_ = nullptr;
    FolderDialog* folderDialog_ = nullptr;
    Window* mediumPanel_ = nullptr;
    Window* kindBox_ = nullptr;
    Window* mediumBox_ = nullptr;
    Window* syncPanel_ = nullptr;
    Window* syncButton_ = nullptr;
    Window* previewButton_ = nullptr;
    Window* buttonBar_ = nullptr;
    Window* addButton_ = nullptr;
    Window* editMaskButton_ = nullptr;
    Window* setWorkDirButton_ = nullptr;
    Window* openDirButton_ = nullptr;
    Window* aboutButton_ = nullptr;
    AddProjectDialog* addDialog_ = nullptr;

    // One entry per row of the project list; a row's data is its entry's index.
    std::vector<ListedProject> listed_;
    std::string removableFolder_;
    std::string directoryFolder_;
    Catalogue catalogue_;

    bool running_ = false;
    // How far the run in progress is; null between runs.
    std::unique_ptr<RunProgress> runProgress_;
    // A close request that came during a run, to be carried out when the run has ended.
    bool closeHeld_ = false;
    // The clock check refused the medium: the program ends without saving its settings.
    bool quitWithoutSaving_ = false;
};

}  // namespace ferry
