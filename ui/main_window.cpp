// Building the main window, its medium and project list, and the synchronization run.

#include "ui/main_window.h"

#include <algorithm>
#include <memory>

#include "platform/date_time.h"
#include "platform/removable_media.h"
#include "settings/registry.h"
#include "settings/settings_store.h"
#include "sync/sync_messages.h"
#include "ui/decision_list.h"
#include "window/file_manager.h"
#include "window/folder_dialog.h"
#include "window/message_box.h"
#include "window/window.h"

namespace ferry {
namespace {

constexpr std::int32_t ProgressBarHeight = 10;
// Room for every button of the bottom bar, the medium boxes, Synchronize, and a few rows.
constexpr std::int32_t MinimumWidth = 500;
constexpr std::int32_t MinimumHeight = 220;

Window* sized(Window* control, std::int32_t width, std::int32_t height, const char* name) {
    control->resize(width, height);
    control->setName(name);
    return control;
}

Window* dockedButton(Window& bar, const char* caption, std::int32_t width, Align align,
                     const char* name) {
    Window* button = sized(createButton(bar, caption), width, 0, name);
    button->setAlign(align);
    return button;
}

// The index of the innermost mount point (each ends in "/") holding the folder; -1 when
// none does.
std::int32_t mediumHolding(const std::vector<std::string>& mountPoints, std::string_view folder) {
    std::int32_t found = -1;
    for (std::size_t i = 0; i < mountPoints.size(); ++i) {
        const std::string& mountPoint = mountPoints[i];
        const bool holds = !folder.empty() && folder.substr(0, mountPoint.size()) == mountPoint;
        if (holds && (found < 0 || mountPoint.size() > mountPoints[found].size())) {
            found = static_cast<std::int32_t>(i);
        }
    }
    return found;
}

std::string noMediumText(std::string_view mediumText) {
    if (mediumText.empty()) {
        return "No medium is chosen: choose a removable medium or a directory, then "
               "Synchronize again. Nothing was synchronized";
    }
    return "The medium folder " + std::string(mediumText) +
           " is not there (removed, renamed or not mounted). Nothing was synchronized";
}

}  // namespace

DesktopServices systemDesktopServices() {
    return {[] { return removableMountPoints(systemPlatform()); },
            [](const std::string& folder) { return openInFileManager(folder); }, &systemPlatform()};
}

MainWindow::MainWindow(DesktopServices services)
    : services_(std::move(services)),
      prompt_([this](const SyncProgress& progress) { showProgress(progress); }) {}

MainWindow& MainWindow::build(Window& application, DesktopServices services) {
    Window* form = createForm(application, "Ferryman v1.2");
    MainWindow& window =
        form->ownObject(std::unique_ptr<MainWindow>(new MainWindow(std::move(services))));
    window.form_ = form;
    form->setName("mainWindow");
    form->setClientSize(575, 293);
    form->setColor(SystemColorButtonFace);
    form->setFontName("Arial");
    form->setFontHeight(16);
    form->setStatusText(SimpleStatusPart, " ");
    form->setMinimumClientSize(MinimumWidth, MinimumHeight);
    window.folderDialog_ = &form->ownObject(newFolderDialog("", 0));
    window.buildTopBar();
    window.buildProjectList();
    window.buildButtonBar();
    window.hookEvents();
    window.folderDialog_->setOwner(form);
    window.prompt_.showIn(*form);
    window.prompt_.pickFoldersIn(*window.folderDialog_);
    form->center();
    window.loadSettings();
    return window;
}

void MainWindow::buildTopBar() {
    topBar_ = sized(createPanel(*form_, PanelEdge::Raised), 0, 61, "topBar");
    topBar_->setAlign(Align::Top);

    // The progress line, and below it the bar of a run, in the room the medium boxes and
    // Synchronize leave.
    Window* progressPanel = sized(createPanel(*topBar_, PanelEdge::None), 0, 0, "progressPanel");
    progressPanel->setAlign(Align::Client);
    progressBar_ = sized(createProgressBar(*progressPanel), 0, ProgressBarHeight, "progressBar");
    progressBar_->setAlign(Align::Bottom);
    progressBar_->hide();
    progressLine_ = createLabel(*progressPanel, " ");
    progressLine_->setName("progressLine");
    progressLine_->setAlign(Align::Client);
    progressLine_->setWordWrap();
    progressLine_->setAutoSize(true);
    progressLine_->setFontHeight(12);

    mediumPanel_ = sized(createPanel(*topBar_, PanelEdge::None), 188, 0, "mediumPanel");
    mediumPanel_->setAlign(Align::Left);
    mediumPanel_->setFontHeight(14);
    kindBox_ = sized(createComboBox(*mediumPanel_, ComboDropDownList | ComboNoIntegralHeight), 116,
                     19, "kindBox");
    kindBox_->moveTo(3, 1);
    kindBox_->setColor(SystemColorWindow);
    kindBox_->addItem("Removable");
    kindBox_->addItem("Directory");
    kindBox_->setCurrentIndex(KindRemovable);
    mediumBox_ = sized(createComboBox(*mediumPanel_, ComboNoIntegralHeight), 183, 19, "mediumBox");
    mediumBox_->moveTo(3, 26);
    mediumBox_->setColor(SystemColorWindow);

    syncPanel_ = sized(createPanel(*topBar_, PanelEdge::None), 82, 0, "syncPanel");
    syncPanel_->setAlign(Align::Right);
    syncButton_ = sized(createButton(*syncPanel_, "Synchronize"), 78, 24, "syncButton");
    syncButton_->moveTo(2, 10);
    syncButton_->setFontHeight(14);
    // Below Synchronize, in the room the bar leaves it.
    previewButton_ = sized(createButton(*syncPanel_, "Preview"), 78, 19, "previewButton");
    previewButton_->moveTo(2, 36);
    previewButton_->setFontHeight(12);
}

void MainWindow::buildProjectList() {
    projectList_ = createListView(*form_, ListViewKind::Report, ListGridLines | ListFullRowSelect);
    projectList_->setName("projectList");
    projectList_->setAlign(Align::Client);
    projectList_->setColor(SystemColorWindow);
    projectList_->addColumn("Path", 250, ColumnAlign::Left);
    projectList_->addColumn("Mask", 150, ColumnAlign::Left);
    projectList_->addColumn("Subfolders", 50, ColumnAlign::Left);
}

void MainWindow::buildButtonBar() {
    buttonBar_ = sized(createPanel(*form_, PanelEdge::Sunken), 0, 27, "buttonBar");
    buttonBar_->setAlign(Align::Bottom);
    addButton_ = dockedButton(*buttonBar_, "Add Project", 94, Align::Left, "addButton");
    editMaskButton_ =
        dockedButton(*buttonBar_, "Edit Project Mask", 126, Align::Left, "editMaskButton");
    setWorkDirButton_ =
        dockedButton(*buttonBar_, "Set work dir", 94, Align::Left, "setWorkDirButton");
    openDirButton_ =
        dockedButton(*buttonBar_, "Open project dir", 118, Align::Left, "openDirButton");
    aboutButton_ = dockedButton(*buttonBar_, "About", 64, Align::Right, "aboutButton");
}

void MainWindow::hookEvents() {
    form_->events().close = [this](Window&, bool& accept) { onClose(accept); };
    kindBox_->events().change = [this](Window& sender) { onKindChanged(&sender); };
    mediumBox_->events().change = [this](Window&) { scanMedium(); };
    mediumBox_->events().show = [this](Window&) { scanMedium(); };
    syncButton_->events().click = [this](Window&) { synchronize(); };
    previewButton_->events().click = [this](Window&) { preview(); };
    projectList_->events().itemStateChange = [this](Window&, const ItemStateChange&) {
        refreshStatus();
    };
    addButton_->events().click = [this](Window&) { addProject(); };
    editMaskButton_->events().click = [this](Window&) { editProjectMask(); };
    setWorkDirButton_->events().click = [this](Window&) { setWorkDir(); };
    openDirButton_->events().click = [this](Window&) { openProjectDir(); };
    aboutButton_->events().click = [this](Window&) { about(); };
}

void MainWindow::loadSettings() {
    LoadedSettings settings = ::ferry::loadSettings();
    kindBox_->setCurrentIndex(settings.kindIndex);
    removableFolder_ = std::move(settings.removableFolder);
    directoryFolder_ = std::move(settings.directoryFolder);
    if (settings.kindIndex == KindDirectory) mediumBox_->setText(settings.mediumText);
    catalogue_ = std::move(settings.catalogue);
    onKindChanged(nullptr);
}

std::string MainWindow::mediumFolder() const {
    return mediumFolderOf(*services_.platform, mediumBox_->text());
}

void MainWindow::onClose(bool& accept) {
    if (running_) {
        // Closing now would pull the list and the catalogue from under the run: the run
        // is asked to stop, and the window closes once it has.
        closeHeld_ = true;
        prompt_.requestStop();
        accept = false;
        return;
    }
    if (!quitWithoutSaving_) saveMediumSettings(kindBox_->currentIndex(), mediumFolder());
}

void MainWindow::onKindChanged(const Window* sender) {
    if (kindBox_->currentIndex() == KindRemovable) {
        fillRemovableMedia();
        scanMedium();
        return;
    }
    // The settings load leaves the remembered directory in place without asking.
    if (sender == nullptr) return;
    mediumBox_->clearItems();
    mediumBox_->setText("");
    folderDialog_->setInitialPath(directoryFolder_);
    if (!folderDialog_->execute()) return;
    mediumBox_->setText(folderDialog_->path());
    scanMedium();
}

void MainWindow::fillRemovableMedia() {
    const std::string current = mediumFolder();
    // Emptied first, so choosing Removable again lists each medium once.
    const std::string typed = mediumBox_->text();
    mediumBox_->clearItems();
    mediumBox_->setText(typed);
    const std::vector<std::string> media = services_.removableMedia();
    for (const std::string& mountPoint : media) mediumBox_->addItem(mountPoint);
    std::int32_t chosen = mediumHolding(media, current);
    // A box that names no folder offers the removable medium used last, when it is there.
    if (current.empty()) chosen = mediumHolding(media, removableFolder_);
    if (chosen >= 0) mediumBox_->setCurrentIndex(chosen);
}

void MainWindow::scanMedium() {
    projectList_->clearItems();
    listed_.clear();
    // An archive whose writing was cut off is put back before the medium is read.
    putBackCutArchives({*services_.platform, settingsFolder()}, mediumFolder(), prompt_);
    MediumScan scan = ::ferry::scanMedium(*services_.platform, mediumFolder(), prompt_);
    listed_ = std::move(scan.projects);
    for (std::size_t i = 0; i < listed_.size(); ++i) appendRow(listed_[i].path, i);
    if (scan.clockRefused) {
        // This machine's clock is behind the medium's: nothing may be written, not even
        // the medium settings.
        quitWithoutSaving_ = true;
        requestQuit();
    }
    updateButtons();
}

std::int32_t MainWindow::appendRow(std::string_view path, std::size_t index) {
    const std::int32_t row = projectList_->addRow(path);
    projectList_->setRowData(row, static_cast<std::uint32_t>(index));
    showProject(row, listed_[index]);
    return row;
}

void MainWindow::showProject(std::int32_t row, const ListedProject& project) {
    projectList_->setCellText(row, 1, project.mask);
    projectList_->setCellText(row, 2, project.includeSubfolders ? "Yes" : "");
}

ListedProject* MainWindow::projectOfRow(std::int32_t row) {
    if (row < 0 || row >= projectList_->itemCount()) return nullptr;
    const std::uint32_t index = projectList_->rowData(row);
    return index < listed_.size() ? &listed_[index] : nullptr;
}

void MainWindow::refreshStatus() {
    // The run owns the list's projects and the catalogue until it ends, and then
    // refreshes the status line itself.
    if (running_) {
        updateButtons();
        return;
    }
    const ListedProject* project = projectOfRow(projectList_->selectedRow());
    if (project == nullptr) {
        form_->setStatusText(SimpleStatusPart, " ");
        return;
    }
    const ProjectRecord& record = catalogue_.findOrCreateRecord(project->key);
    const std::string workDir = record.workDir.empty() ? "" : "WorkDir: " + record.workDir + " ";
    form_->setStatusText(SimpleStatusPart,
                         workDir + "LastSync: " + dateTimeToText(record.lastSync));
    updateButtons();
}

void MainWindow::updateButtons() {
    const bool selected = projectList_->selectedRow() >= 0;
    editMaskButton_->setEnabled(selected && !running_);
    setWorkDirButton_->setEnabled(selected && !running_);
    openDirButton_->setEnabled(selected);
}

void MainWindow::showProgress(const SyncProgress& progress) {
    if (runProgress_ == nullptr) return;
    runProgress_->take(progress);
    // A long path keeps its beginning and its file name.
    const std::int32_t width = progressLine_->parent()->clientBounds().width();
    progressLine_->setText(progressLine_->elidedText(runProgress_->file(), width) + "\n" +
                           runProgress_->figures());
    progressBar_->setProgress(runProgress_->done(), runProgress_->expected());
}

void MainWindow::setRunning(bool running) {
    running_ = running;
    // While a run walks the list and the catalogue, nothing may change them.
    for (Window* control : {syncButton_, previewButton_, kindBox_, mediumBox_, addButton_}) {
        control->setEnabled(!running);
    }
    updateButtons();
}

bool MainWindow::runBesideWindow(const SyncOptions& options, RunResult& result,
                                 std::vector<FileDecisionNote>& decisions) {
    const std::string medium = mediumFolder();
    if (medium.empty()) {
        // Said once: every project would be refused for the same reason.
        showMessage(noMediumText(mediumBox_->text()));
        return false;
    }
    prompt_.clearStop();
    setRunning(true);
    std::vector<std::string> paths;
    for (const ListedProject& project : listed_) paths.push_back(project.path);
    runProgress_ = std::make_unique<RunProgress>(std::move(paths));
    progressBar_->setProgress(0, 0);
    progressBar_->show();
    const RunContext context{*services_.platform, settingsFolder()};
    runBesideWindows([&] {
        result = runSynchronization(context, medium, listed_, catalogue_, prompt_, options);
    });
    prompt_.dropProgress();
    decisions = prompt_.takeDecisions();
    runProgress_.reset();
    progressBar_->hide();
    return true;
}

void MainWindow::synchronize() {
    RunResult result;
    std::vector<FileDecisionNote> decisions;
    if (!runBesideWindow({}, result, decisions)) return;
    // A window asked to close has no one left to read the report.
    if (result.end == RunEnd::Completed && !closeHeld_) {
        showMessage(syncReportText(mediumFolder(), result.counters), decisionLines(decisions),
                    DetailsShown::Folded);
    }
    endRun();
}

void MainWindow::preview() {
    SyncOptions options;
    options.preview = true;
    RunResult result;
    std::vector<FileDecisionNote> decisions;
    if (!runBesideWindow(options, result, decisions)) return;
    if (result.end == RunEnd::Completed && !closeHeld_) {
        const std::string lines = decisionLines(decisions);
        const auto files = lines.empty() ? 0 : std::count(lines.begin(), lines.end(), '\n') + 1;
        showMessage(files == 0 ? std::string("Synchronize would change nothing")
                               : "Synchronize would change " + std::to_string(files) +
                                     (files == 1 ? " file:" : " files:"),
                    lines, DetailsShown::Unfolded);
    }
    endRun();
}

void MainWindow::endRun() {
    setRunning(false);
    progressLine_->setText(" ");
    refreshStatus();
    if (closeHeld_) {
        closeHeld_ = false;
        form_->close();
    }
}

}  // namespace ferry
