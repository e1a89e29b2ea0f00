#pragma once

// What the tests of the program's windows share: a settings home and a medium of their
// own, a desktop that reports chosen removable media and records the folders it was
// asked to open, the main window built as the program builds it, its widgets by name,
// and archives written byte by byte as another machine would have left them.

#include <cstring>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "archive/media_archive.h"
#include "platform/date_time.h"
#include "settings/settings_key.h"
#include "support/paths.h"
#include "tests/testkit/config_home.h"
#include "tests/testkit/disk_files.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/store_sql.h"
#include "tests/testkit/temp_dir.h"
#include "tests/window/window_test_kit.h"
#include "ui/add_project_dialog.h"
#include "ui/main_window.h"

namespace ferry::testkit {

// Runs `action` on the top-level widget `name` as soon as it shows, from whatever event
// loop runs then (a modal dialog's, or the progress of a run). Never blocks.
template <class Widget>
void onceShown(const char* name, std::function<void(Widget*)> action) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, name, action = std::move(action)] {
        auto* widget = qobject_cast<Widget*>(findTopLevel(name));
        if (widget == nullptr) return;
        poll->stop();
        poll->deleteLater();
        action(widget);
    });
    poll->start(5);
}

// Makes a shown form the active window, where focus changes take effect. The offscreen
// platform does not always activate a form shown again after it was hidden.
inline void activate(QWidget* form) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    if (QApplication::activeWindow() != form) QApplication::setActiveWindow(form);
    ASSERT_EQ(QApplication::activeWindow(), form);
}

class MainWindowTest : public WindowTest {
  protected:
    // The main window as the program builds it (settings loaded), not yet shown.
    MainWindow& build() {
        window = &MainWindow::build(*app, {[this] { return removable; },
                                           [this](const std::string& f) {
                                               opened.push_back(f);
                                               return fileManagerAnswers;
                                           },
                                           platform != nullptr ? platform : &system});
        return *window;
    }
    // Built and shown, as the run loop shows it; showing scans the medium.
    MainWindow& start() {
        build().form().show();
        return *window;
    }

    template <class Widget = QWidget>
    Widget* widget(const char* name) const {
        auto* found = window->form().handle()->findChild<Widget*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QComboBox* kindBox() const { return widget<QComboBox>("kindBox"); }
    QComboBox* mediumBox() const { return widget<QComboBox>("mediumBox"); }
    QTableWidget* list() const { return widget<QTableWidget>("projectList"); }
    QPushButton* button(const char* name) const { return widget<QPushButton>(name); }
    std::string progressLine() const {
        return widget<QLabel>("progressLine")->text().toStdString();
    }
    std::string status() const { return window->form().statusText(SimpleStatusPart); }
    std::vector<std::string> comboItems(QComboBox* box) const {
        std::vector<std::string> items;
        for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i).toStdString());
        return items;
    }
    // Each row as "path|mask|subfolders".
    std::vector<std::string> rows() const {
        std::vector<std::string> shown;
        for (int r = 0; r < list()->rowCount(); ++r) {
            std::string row;
            for (int c = 0; c < list()->columnCount(); ++c) {
                const QTableWidgetItem* cell = list()->item(r, c);
                row += (c > 0 ? "|" : "") + (cell ? cell->text().toStdString() : std::string());
            }
            shown.push_back(row);
        }
        return shown;
    }
    void clickRow(int row) const {
        const QRect cell = list()->visualRect(list()->model()->index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // The user picks a kind from the kind box.
    void chooseKind(int index) const {
        kindBox()->setCurrentIndex(index);
        emit kindBox()->activated(index);
    }

    // The Add Project dialog.
    // Clicks `command` in the main window and, once the dialog shows, runs `use` on it.
    void useDialog(const char* command, std::function<void()> use) {
        bool used = false;
        whenShown<QWidget>("addProjectDialog", [&used, use = std::move(use)](QWidget* form) {
            // Focus moves, and masks are remembered, only in the active window.
            testkit::activate(form);
            use();
            used = true;
        });
        QTest::mouseClick(button(command), Qt::LeftButton);
        EXPECT_TRUE(used) << command;
        EXPECT_FALSE(dialogForm()->isVisible()) << "hidden after each use";
    }
    QWidget* dialogForm() const { return &*window->addProjectDialog()->form().handle(); }
    template <class Widget>
    Widget* field(const char* name) const {
        return dialogForm()->findChild<Widget*>(name);
    }
    QLineEdit* pathBox() const { return field<QLineEdit>("pathBox"); }
    QComboBox* maskBox() const { return field<QComboBox>("maskBox"); }
    QCheckBox* subfolders() const { return field<QCheckBox>("subfoldersCheck"); }
    QPushButton* ok() const { return field<QPushButton>("okButton"); }
    void typePath(const std::string& path) const {
        pathBox()->clear();
        QTest::keyClicks(pathBox(), QString::fromStdString(path));
    }
    void typeMask(const std::string& mask) const {
        maskBox()->setFocus();
        maskBox()->lineEdit()->clear();
        QTest::keyClicks(maskBox()->lineEdit(), QString::fromStdString(mask));
    }
    void press(const char* name) const {
        QTest::mouseClick(field<QPushButton>(name), Qt::LeftButton);
    }
    std::vector<std::string> history() const { return comboItems(maskBox()); }

    // The medium settings of an earlier run.
    void storeMedium(std::uint32_t kind, const std::string& removableFolder,
                     const std::string& directoryFolder) const {
        StoreSql sql = store(true);
        sql.put("Kind", 4, dword(kind));
        sql.put("Removable", 1, sz(removableFolder));
        sql.put("Directory", 1, sz(directoryFolder));
    }
    // Plain SQL on the settings store; `create` makes it first, as the program would.
    StoreSql store(bool create = false) const {
        if (create) {
            const ScopedKey made = openSettingsForWrite();
        }
        return StoreSql(home.storePath(), std::string(SettingsKeyPath));
    }

    // The stored bytes of a settings value; "(none)" when it is not there.
    std::string stored(std::string_view name) const {
        const auto row = store().row(name);
        return row ? row->data : "(none)";
    }

    // An archive as another machine leaves it: header text, write stamp, and no records.
    // Its full path, which is the key a scan gives the project.
    std::string putArchive(const std::string& projectPath, const std::string& mask,
                           bool includeSubfolders, DateTime stamp = 1.0) const {
        const std::string path =
            mediaArchivePath(medium.path(), mediaFileName(projectPath, mask, includeSubfolders));
        std::string bytes = (includeSubfolders ? "+" : " ") + projectPath + "," + mask;
        bytes.push_back('\0');
        char stampBytes[8];
        std::memcpy(stampBytes, &stamp, sizeof stamp);
        bytes.append(stampBytes, sizeof stampBytes);
        writeDiskFile(path, bytes);
        return path;
    }

    TempConfigHome home;
    TempDir medium;
    TempDir disk;
    // What the desktop reports as removable media, and the folders it was asked to open.
    std::vector<std::string> removable;
    std::vector<std::string> opened;
    bool fileManagerAnswers = true;
    // The system the window works on: the real one until a test stages a fault.
    testkit::FaultPlatform system;
    // Set before build(): another system for the window, usually passing calls to `system`.
    Platform* platform = nullptr;
    MainWindow* window = nullptr;
};

}  // namespace ferry::testkit
