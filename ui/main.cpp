// Start-up of the ferryman program.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Ferryman"));
    window.setWindowTitle(QStringLiteral("Ferryman"));
    window.setMinimumSize(400, 200);
    window.setAlignment(Qt::AlignCenter);
    window.show();
    return app.exec();
}
