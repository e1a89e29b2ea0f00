// Start-up of the ferryman program: the application window, the main window inside it,
// and the run loop until the main window is closed.

#include <QApplication>
#include <QIcon>

#include "ui/main_window.h"
#include "window/window.h"

int main(int argc, char* argv[]) {
    QApplication qt(argc, argv);
    // The desktop matches the window to its menu entry (packaging/) by the desktop file
    // name, and shows the icon of the installed theme, else the one built in.
    QApplication::setApplicationName("ferryman");
    QGuiApplication::setDesktopFileName("org.zephyrant.Ferryman");
    QIcon builtIn;
    for (const char* size : {"16", "32", "48", "64", "128", "256"}) {
        builtIn.addFile(QString(":/icons/%1x%1.png").arg(size));
    }
    QApplication::setWindowIcon(QIcon::fromTheme("org.zephyrant.Ferryman", builtIn));
    std::unique_ptr<ferry::Window> application = ferry::createAppWindow("Ferryman");
    ferry::MainWindow::build(*application, ferry::systemDesktopServices());
    ferry::runApplication(std::move(application));
    return 0;
}
