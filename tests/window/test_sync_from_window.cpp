// Synchronize from the window: the run beside the window with its progress, the report,
// a missing medium, failures, the conflict question, a close request in the middle of a
// run, and the clock check at start-up.

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include <QMessageBox>
#include <QTextEdit>

#include "settings/registry.h"
#include "sync/run_lock.h"
#include "sync/sync_messages.h"
#include "sync/synchronize_project.h"
#include "tests/testkit/fault_platform.h"
#include "tests/testkit/pass_through_platform.h"
#include "tests/window/main_window_kit.h"

namespace ferry {
namespace {

using testkit::dword;
using testkit::readDiskFile;
using testkit::sz;
using testkit::TempDir;
using testkit::writeDiskFile;

// Holds the run (on its own thread) when it first opens a file whose path holds `part`,
// until the test releases it.
class HoldingPlatform final : public testkit::PassThroughPlatform {
  public:
    HoldingPlatform(Platform& next, std::string part)
        : PassThroughPlatform(next), part_(std::move(part)) {}
    ~HoldingPlatform() override { release(); }
    HoldingPlatform(const HoldingPlatform&) = delete;
    HoldingPlatform& operator=(const HoldingPlatform&) = delete;

    SystemResult<FileHandle> openFile(const std::string& path, FileAccess access,
                                      FileCreation creation) override {
        if (path.find(part_) != std::string::npos && !reached_.exchange(true)) {
            std::unique_lock lock(guard_);
            released_.wait(lock, [this] { return free_; });
        }
        return PassThroughPlatform::openFile(path, access, creation);
    }
    bool reached() const { return reached_; }
    void release() {
        {
            const std::lock_guard lock(guard_);
            free_ = true;
        }
        released_.notify_all();
    }

  private:
    std::string part_;
    std::atomic<bool> reached_ = false;
    std::mutex guard_;
    std::condition_variable released_;
    bool free_ = false;
};

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

    // The run stops at the first file whose path holds `part`, until released.
    void holdAt(std::string part) {
        heldAt = std::move(part);
        holding = std::make_unique<HoldingPlatform>(system, heldAt);
        platform = holding.get();
    }
    // Runs `action` in the window once the run is held and the progress line names the
    // held file.
    void whenHeld(std::function<void()> action) {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, action = std::move(action)] {
            if (!holding->reached()) return;
            poll->stop();
            poll->deleteLater();
            EXPECT_TRUE(QTest::qWaitFor(
                [this] { return progressLine().find(heldAt) != std::string::npos; }));
            action();
        });
        poll->start(5);
    }

    std::string project = disk / "proj";
    std::string heldAt;
    std::unique_ptr<HoldingPlatform> holding;
};

TEST_F(SyncFromWindow, RunsBesideTheWindowWithProgressThenReportsAndRestores) {
    holdAt("b.txt");
    startWithProject({"a.txt", "b.txt", "sub/c.txt", "skip.bin"});

    // What the window shows while the run is held at a file.
    std::map<std::string, bool> enabledDuringRun;
    std::string lineDuringRun;
    bool barShown = false;
    bool advancedUnderAbout = false;
    std::string report;
    bool syncEnabledAtReport = true;
    whenHeld([&] {
        lineDuringRun = progressLine();
        barShown = widget("progressBar")->isVisible();
        for (const char* name : {"syncButton", "addButton", "editMaskButton", "setWorkDirButton",
                                 "openDirButton", "aboutButton"}) {
            enabledDuringRun[name] = button(name)->isEnabled();
        }
        enabledDuringRun["kindBox"] = kindBox()->isEnabled();
        enabledDuringRun["mediumBox"] = mediumBox()->isEnabled();
        // About does not hold the run: it reaches the medium while the box is open.
        testkit::onceShown<QMessageBox>("messageBox", [&](QMessageBox* about) {
            holding->release();
            advancedUnderAbout = QTest::qWaitFor([&] { return std::filesystem::exists(key()); });
            about->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(button("aboutButton"), Qt::LeftButton);
        testkit::onceShown<QMessageBox>("messageBox", [&](QMessageBox* box) {
            report = box->text().toStdString();
            syncEnabledAtReport = button("syncButton")->isEnabled();
            box->button(QMessageBox::Ok)->click();
        });
    });
    clickSynchronize();

    EXPECT_EQ(lineDuringRun, project + "/b.txt\nproject 1 of 1 \u00b7 0.0 of 0.0 MB")
        << "the file in hand, then the figures";
    EXPECT_TRUE(barShown);
    EXPECT_TRUE(advancedUnderAbout);
    EXPECT_FALSE(widget("progressBar")->isVisible()) << "only while a run goes on";
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

TEST_F(SyncFromWindow, ThePreviewListsWhatTheRunThenDoes) {
    startWithProject({"sub/a.txt", "skip.bin"});
    // Each box as its text, then its list.
    std::vector<std::string> boxes;
    const auto readBox = [&boxes](QMessageBox* box) {
        const auto* list = box->findChild<QTextEdit*>();
        boxes.push_back(box->text().toStdString() + "|" + box->detailedText().toStdString() +
                        (list != nullptr && list->isVisible() ? "|shown" : "|folded"));
        box->button(QMessageBox::Ok)->click();
    };
    testkit::onceShown<QMessageBox>("messageBox", readBox);
    QTest::mouseClick(button("previewButton"), Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(key())) << "a preview changes nothing";
    EXPECT_EQ(stored("Project1"), "(none)");
    testkit::onceShown<QMessageBox>("messageBox", readBox);
    clickSynchronize();
    EXPECT_TRUE(std::filesystem::exists(key()));

    const std::string list = project + "/sub/a.txt: added to the medium (new in the project)";
    SyncCounters counters;
    counters.addedNewFiles = 1;
    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "Synchronize would change 1 file:|" + list + "|shown",
                         syncReportText(medium.path(), counters) + "|" + list + "|folded"}));
}

TEST_F(SyncFromWindow, AMediumThatIsNotThereIsToldOnceForTheWholeList) {
    for (int i = 0; i < 50; ++i) putArchive("/home/ann/p" + std::to_string(i) + "/", "*", false);
    storeMedium(1, "", medium.path());
    start();
    ASSERT_EQ(list()->rowCount(), 50);
    const std::string gone = withoutTrailingSeparator(medium.path());
    const std::string renamed = gone + "-renamed";
    std::filesystem::rename(gone, renamed);
    dialog_script::answerNextMessage();
    clickSynchronize();
    EXPECT_FALSE(std::filesystem::exists(gone)) << "nothing made where it was";
    std::filesystem::rename(renamed, gone);
    ASSERT_EQ(dialog_script::shownMessages().size(), 1u);
    EXPECT_NE(dialog_script::shownMessages()[0].find(medium.path() + " is not there"),
              std::string::npos)
        << dialog_script::shownMessages()[0];
    EXPECT_TRUE(button("syncButton")->isEnabled());
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
        EXPECT_EQ(dialog->windowHandle()->transientParent(),
                  window->form().handle()->windowHandle());
        QTest::mouseClick(dialog->findChild<QPushButton*>("answer1"), Qt::LeftButton);  // Yes
    });
    dialog_script::answerNextMessage();
    clickSynchronize();
    EXPECT_TRUE(question.starts_with(conflictQuestion(file))) << question;
    EXPECT_NE(question.find("On the medium: "), std::string::npos) << question;
    EXPECT_EQ(readDiskFile(file), "a.txt") << "updated from the medium";
    EXPECT_EQ(readDiskFile(file + ".old"), "changed here");
    EXPECT_TRUE(reportShown());
}

// A project new to this machine is kept in a folder picked from its question, which is
// filed as Set work dir files it; a picker closed without a folder skips the project.
TEST_F(SyncFromWindow, ANewProjectGoesToTheFolderPickedInItsQuestion) {
    const std::string listedPath = "/nowhere/proj/";
    writeDiskFile(disk / "other/a.txt", "from the other machine");
    {  // another machine's run puts the project on the medium
        const TempDir otherState;
        const ProjectInputs inputs{
            medium.path(),
            listedPath,
            "*",
            true,
            mediaArchivePath(medium.path(), mediaFileName(listedPath, "*", true)),
            disk / "other/"};
        std::filesystem::create_directories(medium / "Ferry");
        DateTime lastSync = 0;
        SyncCounters counters;
        struct : UserPrompt {
            void showMessage(const std::string&) override {}
            std::int32_t askChoice(const std::string&, const std::string&) override { return -1; }
        } quiet;
        ASSERT_EQ(
            synchronizeProject({system, otherState.path()}, inputs, lastSync, counters, quiet, {})
                .end,
            ProjectEnd::Synchronized);
    }
    storeMedium(1, "", medium.path());
    start();
    const std::string work = disk / "work";
    std::filesystem::create_directories(work);

    dialog_script::answerNextChoice(2);
    dialog_script::cancelNextFolder();
    dialog_script::answerNextMessage();  // waiting for acceptance
    dialog_script::answerNextMessage();  // the report
    clickSynchronize();
    dialog_script::answerNextChoice(2);
    dialog_script::answerNextFolder(work);
    dialog_script::answerNextMessage();
    clickSynchronize();

    const dialog_script::Question asked{newProjectQuestion(listedPath),
                                        std::string(NewProjectAnswers)};
    ASSERT_EQ(dialog_script::askedQuestions().size(), 2u);
    for (const dialog_script::Question& question : dialog_script::askedQuestions()) {
        EXPECT_EQ(question.text, asked.text);
        EXPECT_EQ(question.answers, "Yes/Choose a work directory/No");
    }
    EXPECT_EQ(dialog_script::folderStarts(),
              (std::vector<std::string>{"/nowhere/proj", "/nowhere/proj"}));
    EXPECT_EQ(dialog_script::shownMessages()[0], newProjectWaitingMessage(listedPath));
    EXPECT_EQ(readDiskFile(work + "/a.txt"), "from the other machine");
    EXPECT_FALSE(std::filesystem::exists(listedPath));
    EXPECT_EQ(stored("WorkDir1"), sz(work));
    EXPECT_TRUE(reportShown());
}

TEST_F(SyncFromWindow, ACloseRequestStopsTheRunThenClosesTheWindow) {
    holdAt("b.txt");
    startWithProject({"a.txt", "b.txt", "c.txt"});
    bool visibleAfterRequest = false;
    whenHeld([&] {
        window->form().close();
        visibleAfterRequest = window->form().visible();
        holding->release();
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
