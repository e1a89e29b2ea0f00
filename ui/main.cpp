// Start-up of the ferryman program: the application window, the main window inside it,
// and the run loop until the main window is closed.

#include <QApplication>

#include "ui/main_window.h"
#include "window/window.h"

int main(int argc, char* argv[]) {
    QApplication qt(argc, argv);
    std::unique_ptr<ferry::Window> application = ferry::createAppWindow("Ferryman");
    ferry::MainWindow::build(*application, ferry::systemDesktopServices());
    ferry::runApplication(std::move(application));
    return 0;
}
