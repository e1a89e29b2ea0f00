// Start-up of the ferryman program: the application window, the main window inside it,
// and the run loop until the main window is closed.

#include <QApplication>

#include "window/window.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication qt(argc, argv);
    std::unique_ptr<ferry::Window> application = ferry::createAppWindow("Ferryman");
    ferry::MainWindow::build(*application, ferry::systemDesktopServices());
    ferry::runApplication(std::move(application));
    return 0;
}
