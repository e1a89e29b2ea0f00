#pragma once

// The dialog in which the user names a project: its folder, its mask list (typed or
// taken from the history of earlier masks) and whether subfolders belong to it. It only
// collects the values and keeps the mask history; the main window decides what happens
// with them. Made once and kept, so every use starts with the values of the last one.

#include <cstdint>
#include <string>

namespace ferry {

class FolderDialog;
class Window;

class AddProjectDialog {
  public:
    // Builds the dialog (hidden) as a form of `application`, which owns it.
    static AddProjectDialog& create(Window& application);

    Window& form() const { return *form_; }
    Window& pathBox() const { return *pathBox_; }
    Window& browseButton() const { return *browseButton_; }
    Window& maskBox() const { return *maskBox_; }
    Window& subfoldersCheck() const { return *subfoldersCheck_; }

    // Shows the dialog modally with the focus on `firstFocus`; 1 for OK, otherwise not
    // positive. The dialog stays visible; the caller hides it.
    std::int32_t ask(Window& firstFocus);
    // The folder whose existence OK follows instead of the path box's: where a project
    // listed from another machine lives on this one. "" goes back to the path box.
    void setLocalFolder(std::string folder) { localFolder_ = std::move(folder); }

  private:
    AddProjectDialog() = default;
    void build();
    // OK is usable only while the path names an existing folder: an empty path would
    // make the whole disk the project.
    void followPath();
    void browse();
    // Moves the typed mask to the top of the history, once, ignoring letter case.
    void rememberMask();
    void saveHistory();

    Window* form_ = nullptr;
    Window* pathBox_ = nullptr;
    Window* browseButton_ = nullptr;
    FolderDialog* folderDialog_ = nullptr;
    Window* maskBox_ = nullptr;
    Window* okButton_ = nullptr;
    Window* subfoldersCheck_ = nullptr;
    std::string localFolder_;
};

}  // namespace ferry
