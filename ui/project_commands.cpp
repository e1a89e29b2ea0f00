// The project commands of the main window's bottom bar.

#include "settings/settings_store.h"
#include "support/paths.h"
#include "sync/new_project.h"
#include "sync/sync_messages.h"
#include "ui/add_project_dialog.h"
#include "ui/main_window.h"
#include "window/folder_dialog.h"
#include "window/message_box.h"
#include "window/window.h"

namespace ferry {

AddProjectDialog& MainWindow::dialog() {
    if (addDialog_ == nullptr) addDialog_ = &AddProjectDialog::create(*form_->parent());
    return *addDialog_;
}

void MainWindow::addProject() {
    AddProjectDialog& dialog = this->dialog();
    const std::int32_t answer = dialog.ask(dialog.pathBox());
    dialog.form().hide();
    if (answer <= 0) return;
    const std::string path = dialog.pathBox().text();
    ListedProject project{withTrailingSeparator(path), dialog.maskBox().text(),
                          dialog.subfoldersCheck().checked(), ""};
    // Refused now rather than at the first run, when the medium would fail to take it.
    if (const std::string problem =
            newProjectProblem(project.path, project.mask, project.includeSubfolders);
        !problem.empty()) {
        showMessage(problem);
        return;
    }
    // Keyed as the next scan will key it, so its record and its archive are found again;
    // a project listed already is selected rather than listed twice.
    const std::size_t index = addListedProject(listed_, mediumFolder(), project);
    std::int32_t row = -1;
    for (std::int32_t r = 0; r < projectList_->itemCount(); ++r) {
        if (projectList_->rowData(r) == index) row = r;
    }
    if (row < 0) row = appendRow(path, index);
    projectList_->selectRow(row);
    projectList_->ensureRowVisible(row);
}

void MainWindow::editProjectMask() {
    const std::int32_t row = projectList_->selectedRow();
    ListedProject* project = projectOfRow(row);
    if (project == nullptr) return;
    AddProjectDialog& dialog = this->dialog();
    dialog.pathBox().setEnabled(false);
    dialog.browseButton().setEnabled(false);
    dialog.pathBox().setText(projectList_->cellText(row, 0));
    dialog.subfoldersCheck().setChecked(projectList_->cellText(row, 2) == "Yes");
    // The project's own mask: the last typed one belongs to another project, and an
    // empty one would widen this project to every file.
    dialog.maskBox().setText(projectList_->cellText(row, 1));
    dialog.setLocalFolder(catalogue_.findOrCreateRecord(project->key).workDir);
    const std::int32_t answer = dialog.ask(dialog.maskBox());
    dialog.form().hide();
    dialog.setLocalFolder("");
    dialog.pathBox().setEnabled(true);
    dialog.browseButton().setEnabled(true);
    if (answer <= 0) return;
    const std::string mask = dialog.maskBox().text();
    const bool includeSubfolders = dialog.subfoldersCheck().checked();
    if (const std::string problem = maskListProblem(project->path, mask, includeSubfolders);
        !problem.empty()) {
        showMessage(problem);
        return;
    }
    if (const std::string taken = archiveTakenByAnother(
            *services_.platform, listed_, mediumFolder(), *project, mask, includeSubfolders);
        !taken.empty()) {
        showMessage(projectOnMediumMessage(taken));
        return;
    }
    // The key stays: the next run finds the archive by it and moves it to its new name.
    project->mask = mask;
    project->includeSubfolders = includeSubfolders;
    showProject(row, *project);
}

void MainWindow::setWorkDir() {
    const std::int32_t row = projectList_->selectedRow();
    const ListedProject* project = projectOfRow(row);
    if (project == nullptr) return;
    folderDialog_->setInitialPath(projectList_->cellText(row, 0));
    if (folderDialog_->execute()) {
        catalogue_.findOrCreateRecord(project->key).workDir = folderDialog_->path();
        saveProjects(catalogue_, nullptr);
    }
    refreshStatus();
}

void MainWindow::openProjectDir() {
    const std::int32_t row = projectList_->selectedRow();
    if (row < 0) return;
    // The path as listed, as the project names itself on every machine.
    const std::string folder = projectList_->cellText(row, 0);
    if (!services_.openFolder(folder)) {
        showMessage("The folder " + folder +
                    " could not be shown: no file manager answered, or the folder is not on "
                    "this machine");
    }
}

void MainWindow::about() {
    showMessage(
        "Ferryman v1.2\r\n"
        "Carries working copies of projects between machines on a removable medium.");
}

}  // namespace ferry
