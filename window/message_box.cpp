#include "window/message_box.h"

#include <QMessageBox>

#include "window/dialog_script.h"
#include "window/window.h"
#include "window/window_internal.h"

namespace ferry {

void showMessage(std::string_view text) {
    if (dialog_script::takeMessageAnswer(text)) return;
    QMessageBox box(dialogParent(nullptr));
    box.setObjectName(QStringLiteral("messageBox"));
    if (const Window* application = applicationWindow()) {
        box.setWindowTitle(toQt(application->text()));
    }
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);  // paths and names are shown as they are
    box.setText(toQt(text));
    box.setStandardButtons(QMessageBox::Ok);
    runDialog(box);
}

}  // namespace ferry
