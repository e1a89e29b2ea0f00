#include "ui/add_project_dialog.h"

#include <memory>

#include <QIcon>

#include "platform/files.h"
#include "settings/mask_history.h"
#include "window/folder_dialog.h"
#include "window/window.h"

namespace ferry {
namespace {

Window* placed(Window* control, std::int32_t left, std::int32_t top, std::int32_t width,
               std::int32_t height, const char* name) {
    control->moveTo(left, top);
    control->resize(width, height);
    control->setName(name);
    return control;
}

}  // namespace

AddProjectDialog& AddProjectDialog::create(Window& application) {
    Window* form = createForm(application, "Add Project to Dado Zorodevaduzo");
    AddProjectDialog& dialog =
        form->ownObject(std::unique_ptr<AddProjectDialog>(new AddProjectDialog));
    dialog.form_ = form;
    dialog.build();
    return dialog;
}

void AddProjectDialog::build() {
    Window& form = *form_;
    form.setName("addProjectDialog");
    form.setStyle(StyleCaption | StyleSystemMenu);
    form.setExStyle(ExStyleDialogModalFrame | ExStyleWindowEdge);
    form.setClientSize(620, 102);
    form.setFontName("Arial");
    form.setFontHeight(16);
    // The close box hides the dialog; a modal use then ends without OK.
    form.events().close = [](Window& sender, bool& accept) {
        accept = false;
        sender.hide();
    };
    form.events().hide = [this](Window&) { saveHistory(); };
    folderDialog_ = &form.ownObject(newFolderDialog("", 0));

    Window* pathLabel = createLabel(form, "Path");
    pathLabel->moveTo(8, 11);
    pathLabel->setAutoSize(true);
    pathLabel->setName("pathLabel");
    Window* maskLabel = createLabel(form, "Mask");
    maskLabel->moveTo(8, 40);
    maskLabel->setAutoSize(true);
    maskLabel->setName("maskLabel");

    pathBox_ = placed(createEditBox(form, 0), 56, 8, 465, 22, "pathBox");
    pathBox_->setColor(SystemColorWindow);
    browseButton_ = placed(createButton(form, "Browse"), 536, 8, 73, 22, "browseButton");
    maskBox_ = placed(createComboBox(form, ComboNoIntegralHeight), 56, 40, 553, 22, "maskBox");
    maskBox_->setColor(SystemColorWindow);
    pathLabel->setFocusTarget(pathBox_);
    maskLabel->setFocusTarget(maskBox_);
    okButton_ = placed(createButton(form, "OK"), 56, 72, 64, 22, "okButton");
    Window* cancelButton = placed(createButton(form, "Cancel"), 128, 72, 64, 22, "cancelButton");
    subfoldersCheck_ = createCheckBox(form, "Including subfolders");
    subfoldersCheck_->moveTo(208, 72);
    subfoldersCheck_->setAutoSize(true);
    subfoldersCheck_->setName("subfoldersCheck");

    pathBox_->events().change = [this](Window&) { followPath(); };
    browseButton_->events().click = [this](Window&) { browse(); };
    maskBox_->events().leave = [this](Window&) { rememberMask(); };
    okButton_->events().click = [this](Window&) { form_->setModalResult(1); };
    cancelButton->events().click = [this](Window&) { form_->setModalResult(-1); };
    folderDialog_->setOwner(form_);
    form.setCancelButton(cancelButton);

    form.center();
    form.setResizable(false);
    const StringList history = loadMaskHistory();
    for (std::int32_t i = 0; i < history.count(); ++i) maskBox_->addItem(history.item(i));
    form.setIcon(QIcon());
    form.setFocusedControl(pathBox_);
    followPath();
}

std::int32_t AddProjectDialog::ask(Window& firstFocus) {
    // The folder may have come or gone since the path was put in.
    followPath();
    form_->setFocusedControl(&firstFocus);
    return form_->runModal();
}

void AddProjectDialog::followPath() {
    const std::string folder = localFolder_.empty() ? pathBox_->text() : localFolder_;
    okButton_->setEnabled(folderExists(systemPlatform(), folder));
}

void AddProjectDialog::browse() {
    if (folderDialog_->execute()) pathBox_->setText(folderDialog_->path());
}

void AddProjectDialog::rememberMask() {
    const std::string typed = maskBox_->text();
    // An empty entry would end the history the next start reads, losing the rest.
    if (typed.empty()) return;
    const std::int32_t found = maskBox_->findItemExact(typed);
    if (found == 0) return;
    if (found > 0) maskBox_->deleteItem(found);
    maskBox_->insertItem(0, typed);
    maskBox_->setCurrentIndex(0);
}

void AddProjectDialog::saveHistory() {
    StringList masks = newStringList();
    for (std::int32_t i = 0; i < maskBox_->itemCount(); ++i) masks.add(maskBox_->itemText(i));
    saveMaskHistory(masks);
}

}  // namespace ferry
