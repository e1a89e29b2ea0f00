#include "window/window_bridge.h"

#include <set>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTextEdit>

#include "window/window.h"

namespace ferry {
namespace {

template <class Handler, class... Args>
void fire(const Handler& handler, Args&&... args) {
    if (handler) handler(std::forward<Args>(args)...);
}

std::set<int> rowsOf(const QItemSelection& selection) {
    std::set<int> rows;
    for (const QModelIndex& index : selection.indexes()) rows.insert(index.row());
    return rows;
}

}  // namespace

WindowBridge::WindowBridge(Window& window) : window_(window) {
    window_.handle()->installEventFilter(this);
    connectSignals();
}

WindowBridge::~WindowBridge() {
    window_.handle()->removeEventFilter(this);
}

void WindowBridge::connectSignals() {
    QWidget* widget = window_.handle();
    Window& window = window_;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this,
                [&window] { fire(window.events().click, window); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textChanged, this,
                [&window] { fire(window.events().change, window); });
    } else if (auto* area = qobject_cast<QTextEdit*>(widget)) {
        connect(area, &QTextEdit::textChanged, this,
                [&window] { fire(window.events().change, window); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The user's choice, typed or picked; the program's own selections do not count.
        connect(combo, &QComboBox::activated, this,
                [&window] { fire(window.events().change, window); });
        if (QLineEdit* field = combo->lineEdit()) {
            connect(field, &QLineEdit::textEdited, this,
                    [&window] { fire(window.events().change, window); });
        }
    } else if (auto* table = qobject_cast<QTableWidget*>(widget)) {
        connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &WindowBridge::reportSelection);
        connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& current, const QModelIndex& previous) {
                    reportCurrent(current.row(), previous.row());
                });
    }
}

void WindowBridge::reportSelection(const QItemSelection& selected,
                                   const QItemSelection& deselected) {
    auto* table = qobject_cast<QTableWidget*>(window_.handle());
    const auto report = [this, table](int row, bool nowSelected) {
        const std::uint32_t focus = table->currentRow() == row ? ItemFocused : 0;
        const std::uint32_t now = focus | (nowSelected ? ItemSelected : 0);
        fire(window_.events().itemStateChange, window_,
             ItemStateChange{row, row, now ^ ItemSelected, now});
    };
    for (int row : rowsOf(deselected)) report(row, false);
    for (int row : rowsOf(selected)) report(row, true);
}

void WindowBridge::reportCurrent(int current, int previous) {
    auto* table = qobject_cast<QTableWidget*>(window_.handle());
    const auto report = [this, table](int row, bool nowFocused) {
        if (row < 0) return;
        const bool selected = table->selectionModel()->isRowSelected(row, QModelIndex());
        const std::uint32_t now = (selected ? ItemSelected : 0) | (nowFocused ? ItemFocused : 0);
        fire(window_.events().itemStateChange, window_,
             ItemStateChange{row, row, now ^ ItemFocused, now});
    };
    report(previous, false);
    report(current, true);
}

bool WindowBridge::closeRequested(QEvent* event) {
    if (window_.inModalRun_) {
        // A modal form is not closed by the user: the request answers the modal loop.
        if (window_.modalResult_ == 0) window_.setModalResult(-1);
        event->ignore();
        return true;
    }
    bool accept = true;
    fire(window_.events().close, window_, accept);
    if (!accept) {
        event->ignore();
        return true;
    }
    Window* owner = window_.parent_;
    if (owner != nullptr && owner->mainForm_ == &window_) requestQuit();
    return false;
}

bool WindowBridge::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_.handle()) return false;
    switch (event->type()) {
        case QEvent::Close: return window_.kind() == WindowKind::Form && closeRequested(event);
        case QEvent::Show:
            if (!event->spontaneous()) fire(window_.events().show, window_);
            return false;
        case QEvent::Hide:
            if (!event->spontaneous()) fire(window_.events().hide, window_);
            return false;
        case QEvent::FocusOut:
            // Opening a combo box's list moves the focus only for the moment.
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
                fire(window_.events().leave, window_);
            }
            return false;
        case QEvent::Resize: window_.sizeChanged(); return false;
        case QEvent::FontChange: window_.fitRowsToFont(); return false;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const bool dialogKey =
                key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
            return dialogKey && window_.kind() != WindowKind::Form &&
                   window_.kind() != WindowKind::Panel && window_.handleDialogKey(key);
        }
        default: return false;
    }
}

}  // namespace ferry
