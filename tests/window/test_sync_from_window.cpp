// Synchronize from the window: progress, the report, failures, the conflict question,
// a close request in the middle of a run, and the clock check at start-up.

#include <cstring>
#include <filesystem>
#include <map>

#include <QMessageBox>
#include <QTextEdit>

#include "settings/registry.h"
#include "sync/run_lock.h"
#include "sync/sync_messages.h"
#include "tests/testkit/fault_platform.h"
#include "tests/window/main_window_kit.h"

namespace ferry {
namespace {

using testkit::dword;
using testkit::readDiskFile;
using testkit::sz;
using testkit::writeDiskFile;

class SyncFromWindow : public testkit::MainWindowTest {
  protected:
    // A medium of kind Directory, and a project on disk added through the dialog.
    void startWithProject(const std::vector<std::string>& files) {
        for (const std::string& file : files) writeDiskFile(project + "/" + file, file);
        storeMedium(1, "", medium.path());
        start();
        useDialog("addButton", [&] {
            typePath(project);
            typeMask("*.txt");
            subfolders()->setChecked(true);
            press("okButton");
        });
        ASSERT_EQ(list()->rowCount(), 1);
    }
    std::string key() const {
        return mediaArchivePath(medium.path(), mediaFileName(project + "/", "*.txt", true));
    }
    void clickSynchronize() const { QTest::mouseClick(button("syncButton"), Qt::LeftButton); }
    bool reportShown() const {
        for (const std::string& text : dialog_script::shownMessages()) {
            if (text.rfind("Done (Media: ", 0) == 0) return true;
        }
        return false;
    }

    std::string project = disk / "proj";
};

TEST_F(SyncFromWindow, RunsOverTheListWithProgressThenReportsAndRestores) {
    startWithProject({"a.txt", "b.txt", "sub/c.txt", "skip.bin"});

    // What the window shows while the run processes messages between files.
    std::map<std::string, bool> enabledDuringRun;
    std::string lineDuringRun;
    QTimer::singleShot(0, qApp, [&] {
        lineDuringRun = progressLine();
        for (const char* name : {"syncButton", "addButton", "editMaskButton", "setWorkDirButton",
                                 "openDirButton", "aboutButton"}) {
            enabledDuringRun[name] = button(name)->isEnabled();
        }
        enabledDuringRun["kindBox"] = kindBox()->isEnabled();
        enabledDuringRun["mediumBox"] = mediumBox()->isEnabled();
    });
    std::string report;
    bool syncEnabledAtReport = true;
    testkit::onceShown<QMessageBox>("messageBox", [&](QMessageBox* box) {
        report = box->text().toStdString();
        syncEnabledAtReport = button("syncButton")->isEnabled();
        box->button(QMessageBox::Ok)->click();
    });
    clickSynchronize();

    EXPECT_NE(lineDuringRun.find(project), std::string::npos) << lineDuringRun;
    EXPECT_EQ(enabledDuringRun, (std::map<std::string, bool>{{"syncButton", false},
                                                             {"addButton", false},
                                                             {"editMaskButton", false},
                                                             {"setWorkDirButton", false},
                                                             {"kindBox", false},
                                                             {"mediumBox", false},
                                                             {"openDirButton", true},
                                                             {"aboutButton", true}}));
    SyncCounters counters;
    counters.addedNewFiles = 3;
    EXPECT_EQ(report, syncReportText(medium.path(), counters));
    EXPECT_FALSE(syncEnabledAtReport) << "the report comes before the run ends";
    EXPECT_EQ(progressLine(), " ");
    for (const char* name : {"syncButton", "addButton", "editMaskButton", "setWorkDirButton"}) {
        EXPECT_TRUE(button(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(mediumBox()->isEnabled());
    EXPECT_TRUE(std::filesystem::exists(key())) << "the archive is on the medium";
    EXPECT_EQ(stored("Project1"), sz(key()));
    EXPECT_NE(stored("LastSyncDate1"), dword(0));
    EXPECT_NE(status(), "LastSync: " + dateTimeToText(0)) << "the new time is shown";

    // The next scan finds the project under the key it was added with.
    QTest::keyClicks(mediumBox()->lineEdit(), " ");
    QTest::keyClick(mediumBox()->lineEdit(), Qt::Key_Backspace);
    ASSERT_EQ(window->listedProjects().size(), 1u);
    EXPECT_EQ(window->listedProjects()[0].key, key());
    EXPECT_EQ(rows(), (std::vector<std::string>{project + "/|*.txt|Yes"}));
}

TEST_F(SyncFromWindow, AFailingProjectEndsTheRunWithoutReport) {
    startWithProject({"a.txt"});
    system.failCall(testkit::Call::WriteFile, "Ferry/", testkit::NoRoom);
    for (int i = 0; i < 4; ++i) dialog_script::answerNextMessage();
    clickSynchronize();
    system.heal();
    ASSERT_FALSE(dialog_script::shownMessages().empty());
    EXPECT_NE(dialog_script::shownMessages()[0].find("Could not"), std::string::npos)
        << dialog_script::shownMessages()[0];
    EXPECT_FALSE(reportShown());
    EXPECT_TRUE(button("syncButton")->isEnabled());
    EXPECT_EQ(progressLine(), " ");
    EXPECT_EQ(stored("Project1"), "(none)") << "nothing saved for a failed project";
}

TEST_F(SyncFromWindow, AnotherRunInProgressMeansNoRunAndNoReport) {
    startWithProject({"a.txt"});
    const RunLock other = acquireRunLock({system, settingsFolder()}, medium.path());
    ASSERT_TRUE(other.held());
    dialog_script::answerNextMessage();
    clickSynchronize();
    EXPECT_EQ(dialog_script::shownMessages(), (std::vector<std::string>{runInProgressMessage()}));
    EXPECT_TRUE(button("syncButton")->isEnabled());
    EXPECT_TRUE(mediumBox()->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(key()));
}

TEST_F(SyncFromWindow, ConflictIsAskedInTheQuestionDialog) {
    startWithProject({"a.txt"});
    dialog_script::answerNextMessage();
    clickSynchronize();
    ASSERT_TRUE(reportShown());

    // Changed here and, since this machine's last run, the archive was written elsewhere.
    const std::string file = project + "/a.txt";
    writeDiskFile(file, "changed here");
    const FileTime later{systemPlatform().currentTime().ticks + 3600 * FileTicksPerSecond};
    testkit::setDiskFileTime(file, later);
    // Another machine's run: the same records under its own stamp, written later.
    std::string archive = readDiskFile(key());
    const std::size_t stampAt = archive.find('\0') + 1;
    double stamp = 0;
    std::memcpy(&stamp, archive.data() + stampAt, sizeof stamp);
    stamp += 1.0 / 24;
    std::memcpy(archive.data() + stampAt, &stamp, sizeof stamp);
    writeDiskFile(key(), archive);
    testkit::setDiskFileTime(key(), FileTime{later.ticks + FileTicksPerSecond});

    std::string question;
    testkit::onceShown<QWidget>("questionDialog", [&](QWidget* dialog) {
        question = dialog->findChild<QTextEdit*>("questionText")->toPlainText().toStdString();
        QTest::mouseClick(dialog->findChild<QPushButton*>("answer1"), Qt::LeftButton);  // Yes
    });
    dialog_script::answerNextMessage();
    clickSynchronize();
    EXPECT_EQ(question, conflictQuestion(file));
    EXPECT_EQ(readDiskFile(file), "a.txt") << "updated from the medium";
    EXPECT_EQ(readDiskFile(file + ".old"), "changed here");
    EXPECT_TRUE(reportShown());
}

TEST_F(SyncFromWindow, ACloseRequestStopsTheRunThenClosesTheWindow) {
    startWithProject({"a.txt", "b.txt", "c.txt"});
    bool visibleAfterRequest = false;
    QTimer::singleShot(0, qApp, [&] {
        window->form().close();
        visibleAfterRequest = window->form().visible();
    });
    dialog_script::answerNextMessage();  // a report, were one shown
    clickSynchronize();
    EXPECT_TRUE(visibleAfterRequest) << "held while the run unwinds";
    EXPECT_FALSE(reportShown());
    EXPECT_FALSE(window->form().handle()->isVisible());
    EXPECT_TRUE(quitRequested());
    EXPECT_FALSE(std::filesystem::exists(key())) << "nothing written for the stopped project";
    EXPECT_EQ(stored("Project1"), "(none)");
    EXPECT_EQ(stored("Kind"), dword(1)) << "the close saved the medium settings";
    EXPECT_EQ(stored("Directory"), sz(medium.path()));
}

TEST_F(SyncFromWindow, ClockBehindTheMediumEndsTheProgramWithoutSaving) {
    putArchive("/home/ann/proj/", "*.txt", false, now(systemPlatform()) + 1.0);
    removable = {medium.path()};
    storeMedium(0, medium / "Work/", "/data/ferry/");
    dialog_script::answerNextMessage();
    build();
    ASSERT_EQ(dialog_script::shownMessages().size(), 1u);
    EXPECT_EQ(dialog_script::shownMessages()[0].rfind(
                  "Time is not good synchronized with source machine \r\n(source time was ", 0),
              0u);
    EXPECT_TRUE(quitRequested());
    runApplication(std::move(app));  // ends at once, without showing the window
    EXPECT_EQ(stored("Kind"), dword(0));
    EXPECT_EQ(stored("Removable"), sz(medium / "Work/")) << "left as it was";
    EXPECT_EQ(stored("Directory"), sz("/data/ferry/"));
}

}  // namespace
}  // namespace ferry
