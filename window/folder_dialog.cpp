#include "window/folder_dialog.h"

#include <QFileDialog>

#include "support/paths.h"
#include "window/dialog_script.h"
#include "window/window_internal.h"

namespace ferry {

FolderDialog::FolderDialog(std::string_view title, std::uint32_t options)
    : title_(title), options_(options == 0 ? FolderOnlyFileSystem : options) {}

std::unique_ptr<FolderDialog> newFolderDialog(std::string_view title, std::uint32_t options) {
    return std::unique_ptr<FolderDialog>(new FolderDialog(title, options));
}

void FolderDialog::setInitialPath(std::string_view path) {
    const std::string shortened = withoutTrailingSeparator(path);
    // The root would lose its only character; it keeps its separator instead.
    initialPath_ =
        shortened.empty() && !path.empty() ? withTrailingSeparator(shortened) : shortened;
}

bool FolderDialog::execute() {
    if (auto scripted = dialog_script::takeFolder(initialPath_)) {
        if (!scripted->has_value()) return false;
        path_ = **scripted;
        return true;
    }
    QFileDialog dialog(dialogParent(owner_), toQt(title_));
    dialog.setObjectName(QStringLiteral("folderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, (options_ & FolderOnlyFileSystem) != 0);
    if (!initialPath_.empty()) dialog.setDirectory(toQt(initialPath_));
    if (runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path_ = fromQt(dialog.selectedFiles().constFirst());
    return true;
}

}  // namespace ferry
