// The main window: its layout, the medium, the project list, the status line and the
// project commands, driven through the real widgets.

#include <QFile>
#include <QHeaderView>
#include <QStatusBar>

#include "sync/sync_messages.h"
#include "tests/window/main_window_kit.h"

namespace ferry {
namespace {

using testkit::dword;
using testkit::sz;
using testkit::writeDiskFile;

using MainWindowLayout = testkit::MainWindowTest;

TEST_F(MainWindowLayout, SizesCaptionsAndTheListBetweenTheBars) {
    start();
    Window& form = window->form();
    EXPECT_EQ(form.text(), "Ferryman v1.2");
    EXPECT_EQ(form.clientBounds(), (Bounds{0, 0, 575, 293}));
    EXPECT_EQ(form.handle()->font().family(), "Arial");
    EXPECT_EQ(form.handle()->font().pixelSize(), 16);
    EXPECT_EQ(status(), " ");
    EXPECT_EQ(progressLine(), " ");
    EXPECT_EQ(widget<QLabel>("progressLine")->font().pixelSize(), 12);
    EXPECT_EQ(widget("mediumPanel")->font().pixelSize(), 14);
    EXPECT_EQ(button("syncButton")->font().pixelSize(), 14);

    const int statusHeight = form.handle()->findChild<QStatusBar*>()->height();
    const auto geometry = [this](const char* name) {
        const QRect r = widget(name)->geometry();
        return std::vector<int>{r.x(), r.y(), r.width(), r.height()};
    };
    const auto checkBars = [&](int width, int height) {
        EXPECT_EQ(geometry("topBar"), (std::vector<int>{0, 0, width, 61}));
        EXPECT_EQ(geometry("buttonBar"),
                  (std::vector<int>{0, height - statusHeight - 27, width, 27}));
        EXPECT_EQ(geometry("projectList"),
                  (std::vector<int>{0, 61, width, height - statusHeight - 27 - 61}))
            << "the list fills the space between the bars";
    };
    checkBars(575, 293);
    form.handle()->resize(800, 500);  // the user sizes the window
    checkBars(800, 500);
    form.handle()->resize(300, 150);  // no smaller than every control needs
    const QRect inside = form.handle()->rect();
    for (const char* name : {"syncButton", "aboutButton", "openDirButton", "mediumBox"}) {
        const QRect shown(widget(name)->mapTo(form.handle(), QPoint(0, 0)), widget(name)->size());
        EXPECT_TRUE(inside.contains(shown)) << name;
    }
    EXPECT_GE(list()->height(), 3 * list()->fontMetrics().height()) << "room for a few rows";
    form.handle()->resize(800, 500);

    const int top = widget("topBar")->contentsRect().width();
    EXPECT_EQ(geometry("mediumPanel")[2], 188);
    EXPECT_EQ(geometry("syncPanel")[2], 82);
    EXPECT_EQ(geometry("syncPanel")[0] + 82, top + geometry("mediumPanel")[0]) << "right edge";
    EXPECT_EQ(geometry("kindBox"), (std::vector<int>{3, 1, 116, 19}));
    EXPECT_EQ(geometry("mediumBox"), (std::vector<int>{3, 26, 183, 19}));
    EXPECT_EQ(geometry("syncButton"), (std::vector<int>{2, 10, 78, 24}));
    EXPECT_EQ(comboItems(kindBox()), (std::vector<std::string>{"Removable", "Directory"}));
    EXPECT_TRUE(mediumBox()->isEditable());
    EXPECT_FALSE(kindBox()->isEditable());

    QTableWidget* table = list();
    ASSERT_EQ(table->columnCount(), 3);
    const std::vector<std::pair<std::string, int>> columns{
        {"Path", 250}, {"Mask", 150}, {"Subfolders", 50}};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(table->horizontalHeaderItem(c)->text().toStdString(), columns[c].first);
        EXPECT_EQ(table->columnWidth(c), columns[c].second);
    }
    EXPECT_TRUE(table->showGrid());
    EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);

    const std::vector<std::tuple<const char*, const char*, int>> buttons{
        {"addButton", "&Add Project", 94},
        {"editMaskButton", "&Edit Project Mask", 126},
        {"setWorkDirButton", "Set &work dir", 94},
        {"openDirButton", "&Open project dir", 118},
        {"aboutButton", "A&bout", 64}};
    int left = 0;
    const int barInside = widget("buttonBar")->contentsRect().height();
    for (const auto& [name, caption, width] : buttons) {
        EXPECT_EQ(button(name)->text().toStdString(), caption);
        EXPECT_EQ(button(name)->width(), width) << caption;
        EXPECT_EQ(button(name)->height(), barInside) << "the bar decides the height";
        if (std::string(name) != "aboutButton") {
            EXPECT_EQ(button(name)->x(), widget("buttonBar")->contentsRect().x() + left);
            left += width;
        }
    }
    EXPECT_EQ(button("aboutButton")->geometry().right() + 1,
              widget("buttonBar")->contentsRect().right() + 1)
        << "About sits at the right end";
}

using MediumChoice = testkit::MainWindowTest;

TEST_F(MediumChoice, FirstStartListsTheRemovableMediaAndSavesOnlyWhenClosed) {
    removable = {"/media/ann/STICK/", "/mnt/card/"};
    start();
    EXPECT_EQ(kindBox()->currentIndex(), 0);
    EXPECT_EQ(comboItems(mediumBox()), removable);
    EXPECT_EQ(mediumBox()->currentIndex(), -1) << "nothing chosen yet";
    EXPECT_EQ(mediumBox()->currentText(), "");
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(status(), " ");
    for (const char* name : {"editMaskButton", "setWorkDirButton", "openDirButton"}) {
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    }
    for (const char* name : {"syncButton", "addButton", "aboutButton"}) {
        EXPECT_TRUE(button(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home.storePath())))
        << "nothing is written before the window closes";

    window->form().close();
    EXPECT_TRUE(quitRequested()) << "closing the main window ends the program";
    EXPECT_EQ(stored("Kind"), dword(0));
    EXPECT_EQ(stored("Removable"), sz(""));
    EXPECT_EQ(stored("Directory"), "(none)");
}

TEST_F(MediumChoice, RemovableEntriesSelectTheMediumInUseOnceEach) {
    testkit::TempDir stick;
    writeDiskFile(stick / "Work/keep", "x");
    const std::string work = stick / "Work/";
    removable = {"/mnt/card/", stick.path(), (stick / "Work/")};
    storeMedium(0, stick.path(), "");
    start();
    EXPECT_EQ(mediumBox()->currentIndex(), 1)
        << "an empty box offers the removable medium used last";

    // The user types a folder on the stick; choosing Removable again picks the innermost
    // medium holding it and lists every medium once.
    mediumBox()->lineEdit()->clear();
    QTest::keyClicks(mediumBox()->lineEdit(), QString::fromStdString(work));
    chooseKind(0);
    EXPECT_EQ(comboItems(mediumBox()), removable);
    EXPECT_EQ(mediumBox()->currentIndex(), 2);
    EXPECT_EQ(window->mediumFolder(), work);

    // A folder on no removable medium stays, unless the box names no folder at all.
    mediumBox()->lineEdit()->setText(QString::fromStdString(disk.path()));
    chooseKind(0);
    EXPECT_EQ(mediumBox()->currentIndex(), -1);
    EXPECT_EQ(window->mediumFolder(), disk.path());
    mediumBox()->lineEdit()->setText("/no/such/folder");
    chooseKind(0);
    EXPECT_EQ(mediumBox()->currentIndex(), 1);

    removable.clear();
    mediumBox()->lineEdit()->setText("/no/such/folder");
    chooseKind(0);
    EXPECT_EQ(mediumBox()->count(), 0) << "no removable medium present";
    EXPECT_EQ(mediumBox()->currentText(), "/no/such/folder") << "the text stays as it was";
    EXPECT_EQ(window->mediumFolder(), "");
}

TEST_F(MediumChoice, DirectoryFromTheStoreThenChosenCancelledAndTyped) {
    const std::string one = putArchive("/home/ann/one/", "*.c;*.h", true);
    const std::string two = putArchive("/home/ann/two/", "*.txt", false);
    // A header that is only its flag names no project.
    writeDiskFile(medium / "Ferry/flag only.move", std::string(" \0"
                                                               "12345678",
                                                               10));
    storeMedium(1, "/media/stick/", medium.path());
    start();
    EXPECT_EQ(kindBox()->currentIndex(), 1);
    EXPECT_EQ(mediumBox()->currentText().toStdString(), medium.path());
    EXPECT_TRUE(dialog_script::folderStarts().empty()) << "start-up asks for no folder";
    std::vector<std::string> shown = rows();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown,
              (std::vector<std::string>{"/home/ann/one/|*.c;*.h|Yes", "/home/ann/two/|*.txt|"}));

    // Choosing Directory again and cancelling the folder dialog empties the medium box
    // but leaves the list as it was.
    dialog_script::cancelNextFolder();
    chooseKind(1);
    EXPECT_EQ(dialog_script::folderStarts(),
              (std::vector<std::string>{withoutTrailingSeparator(medium.path())}))
        << "the dialog opens at the remembered directory";
    EXPECT_EQ(mediumBox()->currentText(), "");
    EXPECT_EQ(list()->rowCount(), 2);

    // Typing scans after every change: the list follows the text.
    const std::string folder = withoutTrailingSeparator(medium.path());
    QTest::keyClicks(mediumBox()->lineEdit(), QString::fromStdString(folder));
    EXPECT_EQ(list()->rowCount(), 2);
    QTest::keyClicks(mediumBox()->lineEdit(), "x");
    EXPECT_EQ(list()->rowCount(), 0) << "no such folder";
    QTest::keyClick(mediumBox()->lineEdit(), Qt::Key_Backspace);
    EXPECT_EQ(list()->rowCount(), 2);

    // A folder chosen in the dialog is scanned at once.
    testkit::TempDir other;
    dialog_script::answerNextFolder(withoutTrailingSeparator(other.path()));
    chooseKind(1);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(window->mediumFolder(), other.path());

    window->form().close();
    EXPECT_EQ(stored("Kind"), dword(1));
    EXPECT_EQ(stored("Directory"), sz(other.path()));
    EXPECT_EQ(stored("Removable"), sz("/media/stick/")) << "left as it was";
    (void)one;
    (void)two;
}

TEST_F(MediumChoice, AStoredKindOfNoMeaningSelectsNoneAndIsWrittenAsMinusOne) {
    storeMedium(7, "/media/stick/", medium.path());
    start();
    EXPECT_EQ(kindBox()->currentIndex(), -1);
    EXPECT_EQ(mediumBox()->currentText(), "") << "only kind Directory fills the box";
    EXPECT_TRUE(dialog_script::folderStarts().empty());
    window->form().close();
    EXPECT_EQ(stored("Kind"), dword(0xFFFFFFFF));
    EXPECT_EQ(stored("Directory"), sz(""));
    EXPECT_EQ(stored("Removable"), sz("/media/stick/"));
}

using ProjectCommands = testkit::MainWindowTest;

TEST_F(ProjectCommands, StatusButtonsWorkDirAndOpenDir) {
    const std::string one = putArchive("/home/ann/one/", "*.c", false);
    storeMedium(1, "", medium.path());
    start();
    ASSERT_EQ(list()->rowCount(), 1);
    const std::string two = putArchive("/home/ann/two/", "*.txt", false);
    QTest::keyClick(mediumBox()->lineEdit(), Qt::Key_End);
    QTest::keyClicks(mediumBox()->lineEdit(), " ");
    QTest::keyClick(mediumBox()->lineEdit(), Qt::Key_Backspace);  // scans again
    ASSERT_EQ(list()->rowCount(), 2);
    const int rowOne = list()->item(0, 0)->text() == "/home/ann/one/" ? 0 : 1;
    const int rowTwo = 1 - rowOne;

    clickRow(rowOne);
    EXPECT_EQ(status(), "LastSync: " + dateTimeToText(0));
    for (const char* name : {"editMaskButton", "setWorkDirButton", "openDirButton"}) {
        EXPECT_TRUE(button(name)->isEnabled()) << name;
    }

    // Deselecting blanks the status line; the buttons stay, and do nothing.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list()->visualRect(list()->model()->index(rowOne, 0)).center());
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 0);
    EXPECT_EQ(status(), " ");
    EXPECT_TRUE(button("openDirButton")->isEnabled());
    QTest::mouseClick(button("openDirButton"), Qt::LeftButton);
    QTest::mouseClick(button("setWorkDirButton"), Qt::LeftButton);
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(dialog_script::folderStarts().empty());

    // Set work dir: the whole catalogue is written, the record made by the selection too.
    clickRow(rowTwo);
    dialog_script::answerNextFolder(disk.path() + "two");
    QTest::mouseClick(button("setWorkDirButton"), Qt::LeftButton);
    EXPECT_EQ(dialog_script::folderStarts(), (std::vector<std::string>{"/home/ann/two"}));
    EXPECT_EQ(status(), "WorkDir: " + disk.path() + "two LastSync: " + dateTimeToText(0));
    EXPECT_EQ(stored("Project1"), sz(one));
    EXPECT_EQ(stored("WorkDir1"), sz(""));
    EXPECT_EQ(stored("LastSyncDate1"), dword(0));
    EXPECT_EQ(stored("LastSyncTime1"), dword(0));
    EXPECT_EQ(stored("Project2"), sz(two));
    EXPECT_EQ(stored("WorkDir2"), sz(disk.path() + "two"));
    EXPECT_EQ(stored("Project3"), sz("")) << "end marker";

    // A cancelled dialog changes nothing but still refreshes the status line.
    dialog_script::cancelNextFolder();
    QTest::mouseClick(button("setWorkDirButton"), Qt::LeftButton);
    EXPECT_EQ(status(), "WorkDir: " + disk.path() + "two LastSync: " + dateTimeToText(0));
    EXPECT_EQ(stored("WorkDir2"), sz(disk.path() + "two"));

    // Open project dir opens the path as listed, not the work directory.
    QTest::mouseClick(button("openDirButton"), Qt::LeftButton);
    EXPECT_EQ(opened, (std::vector<std::string>{"/home/ann/two/"}));
    EXPECT_TRUE(dialog_script::shownMessages().empty());
    // A desktop where nothing opens folders says so.
    fileManagerAnswers = false;
    dialog_script::answerNextMessage();
    QTest::mouseClick(button("openDirButton"), Qt::LeftButton);
    ASSERT_EQ(dialog_script::shownMessages().size(), 1u);
    EXPECT_EQ(dialog_script::shownMessages()[0].rfind("The folder /home/ann/two/ could not", 0),
              0u);

    dialog_script::answerNextMessage();
    QTest::mouseClick(button("aboutButton"), Qt::LeftButton);
    ASSERT_EQ(dialog_script::shownMessages().size(), 2u);
    EXPECT_EQ(dialog_script::shownMessages()[1].rfind("Ferryman", 0), 0u);

    // A new scan replaces the list; nothing is selected and the buttons follow.
    QTest::keyClicks(mediumBox()->lineEdit(), " ");
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(status(), " ");
    EXPECT_FALSE(button("editMaskButton")->isEnabled());
}

}  // namespace
}  // namespace ferry
