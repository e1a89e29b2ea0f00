#include "window/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTextEdit>

#include "window/dialog_script.h"
#include "window/window.h"
#include "window/window_internal.h"

namespace ferry {
namespace {

constexpr int DetailsWidth = 560;
constexpr int DetailsHeight = 160;

}  // namespace

void showMessage(std::string_view text) {
    showMessage(text, {}, DetailsShown::Folded);
}

void showMessage(std::string_view text, std::string_view details, DetailsShown shown) {
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
    if (!details.empty()) box.setDetailedText(toQt(details));
    if (auto* list = box.findChild<QTextEdit*>(); list != nullptr) {
        // Wide and high enough that paths read whole, one item a line.
        list->setLineWrapMode(QTextEdit::NoWrap);
        list->setMinimumSize(DetailsWidth, DetailsHeight);
    }
    for (QAbstractButton* button : box.buttons()) {
        // The details button is the box's only one in the action role.
        if (shown == DetailsShown::Unfolded && box.buttonRole(button) == QMessageBox::ActionRole) {
            button->click();
        }
    }
    runDialog(box);
}

}  // namespace ferry
