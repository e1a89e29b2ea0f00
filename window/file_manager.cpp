#include "window/file_manager.h"

#include <QDesktopServices>
#include <QUrl>

#include "window/window_internal.h"

namespace ferry {

bool openInFileManager(std::string_view folder) {
    // On Linux desktops Qt hands the folder to xdg-open.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(toQt(folder)));
}

}  // namespace ferry
