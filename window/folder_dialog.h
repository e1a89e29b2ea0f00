#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ferry {

class Window;

// Only folders of the file system can be chosen (the one option there is).
inline constexpr std::uint32_t FolderOnlyFileSystem = 0x1;

// A dialog in which the user picks a folder. Keeps the last chosen path between uses.
class FolderDialog {
  public:
    const std::string& title() const { return title_; }
    std::uint32_t options() const { return options_; }
    // The window the dialog stands over; by default the application's.
    void setOwner(Window* owner) { owner_ = owner; }
    // The folder selected when the dialog opens: the path without one final "/", but
    // the root "/" stays as it is. "" opens at no particular folder.
    void setInitialPath(std::string_view path);
    const std::string& initialPath() const { return initialPath_; }
    // Shows the dialog modally; true when the user chose a folder.
    bool execute();
    // The folder chosen by the last successful execute: "/" for the root, otherwise
    // without a final "/".
    const std::string& path() const { return path_; }

  private:
    friend std::unique_ptr<FolderDialog> newFolderDialog(std::string_view title,
                                                         std::uint32_t options);
    FolderDialog(std::string_view title, std::uint32_t options);

    std::string title_;
    std::uint32_t options_;
    Window* owner_ = nullptr;
    std::string initialPath_;
    std::string path_;
};

// Options 0 mean FolderOnlyFileSystem. The program passes an empty title.
std::unique_ptr<FolderDialog> newFolderDialog(std::string_view title, std::uint32_t options);

}  // namespace ferry
