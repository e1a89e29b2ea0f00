// The Add Project dialog, used by Add Project and Edit Project Mask, and its mask
// history, driven through the real widgets.

#include "sync/sync_messages.h"
#include "tests/window/main_window_kit.h"

namespace ferry {
namespace {

using testkit::dword;
using testkit::sz;
using testkit::writeDiskFile;

using AddProjectTest = testkit::MainWindowTest;

TEST_F(AddProjectTest, AddsAKeyedRowOnceAndRefusesWhatTheMediumCannotCarry) {
    storeMedium(1, "", medium.path());
    start();
    const std::string project = disk / "proj";
    writeDiskFile(project + "/a.c", "a");

    useDialog("addButton", [&] {
        Window& form = window->addProjectDialog()->form();
        EXPECT_EQ(form.text(), "Add Project to Dado Zorodevaduzo");
        EXPECT_EQ(form.clientBounds(), (Bounds{0, 0, 620, 102}));
        EXPECT_EQ(dialogForm()->font().family(), "Arial");
        EXPECT_EQ(dialogForm()->focusWidget(), pathBox());
        const auto at = [this](const char* name) {
            const QRect r = dialogForm()->findChild<QWidget*>(name)->geometry();
            return std::vector<int>{r.x(), r.y(), r.width()};
        };
        EXPECT_EQ(at("pathLabel"), (std::vector<int>{8, 11, at("pathLabel")[2]}));
        EXPECT_EQ(at("maskLabel"), (std::vector<int>{8, 40, at("maskLabel")[2]}));
        EXPECT_EQ(at("pathBox"), (std::vector<int>{56, 8, 465}));
        EXPECT_EQ(at("browseButton"), (std::vector<int>{536, 8, 73}));
        EXPECT_EQ(at("maskBox"), (std::vector<int>{56, 40, 553}));
        EXPECT_EQ(at("okButton"), (std::vector<int>{56, 72, 64}));
        EXPECT_EQ(at("cancelButton"), (std::vector<int>{128, 72, 64}));
        EXPECT_EQ(at("subfoldersCheck")[0], 208);
        // Alt and the labels' letters lead to their fields.
        const auto label = [this](const char* name) {
            return dialogForm()->findChild<QLabel*>(name)->text().toStdString();
        };
        EXPECT_EQ(label("pathLabel") + "|" + label("maskLabel"), "&Path|&Mask");
        QTest::keyClick(dialogForm(), Qt::Key_M, Qt::AltModifier);
        EXPECT_EQ(dialogForm()->focusWidget(), maskBox()) << "Alt+M";
        QTest::keyClick(dialogForm(), Qt::Key_P, Qt::AltModifier);
        EXPECT_EQ(dialogForm()->focusWidget(), pathBox()) << "Alt+P";
        EXPECT_EQ(pathBox()->text(), "");
        EXPECT_FALSE(ok()->isEnabled()) << "an empty path would make the whole disk a project";
        typePath(project + "x");
        EXPECT_FALSE(ok()->isEnabled());
        typePath(project + "/a.c");
        EXPECT_FALSE(ok()->isEnabled()) << "a file is no project folder";
        typePath(project);
        EXPECT_TRUE(ok()->isEnabled());
        typeMask("*.c");
        subfolders()->setChecked(true);
        press("okButton");
    });
    ASSERT_EQ(rows(), (std::vector<std::string>{project + "|*.c|Yes"}));
    const std::string key =
        mediaArchivePath(medium.path(), mediaFileName(project + "/", "*.c", true));
    EXPECT_EQ(window->listedProjects()[0].key, key) << "the key the next scan gives it";
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_EQ(status(), "LastSync: " + dateTimeToText(0));
    EXPECT_EQ(stored("Mask1"), sz("*.c"));
    EXPECT_FALSE(store().row("Project1")) << "nothing but the history is written";

    // The same project again: the listed row is selected, not doubled.
    list()->clearSelection();
    useDialog("addButton", [&] {
        EXPECT_EQ(pathBox()->text().toStdString(), project) << "the last use's values stay";
        EXPECT_TRUE(subfolders()->isChecked());
        press("okButton");
    });
    EXPECT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(list()->currentRow(), 0);

    // Paths whose archive the medium cannot carry are refused with a message.
    const std::string comma = disk / "a,b";
    const std::string pipe = disk / "a|b";
    const std::string longName = disk / std::string(240, 'n');
    for (const std::string& path : {comma, pipe, longName}) {
        writeDiskFile(path + "/f", "f");
        dialog_script::answerNextMessage();
        useDialog("addButton", [&] {
            typePath(path);
            press("okButton");
        });
    }
    EXPECT_EQ(dialog_script::shownMessages(),
              (std::vector<std::string>{projectPathCommaMessage(comma + "/"),
                                        projectPathUnfitMessage(pipe + "/"),
                                        projectPathUnfitMessage(longName + "/")}));
    EXPECT_EQ(list()->rowCount(), 1);

    // Browse, then Esc: nothing is added; the close box also ends without OK.
    dialog_script::answerNextFolder(disk / "proj");
    useDialog("addButton", [&] {
        typePath("");
        press("browseButton");
        EXPECT_EQ(pathBox()->text().toStdString(), project);
        EXPECT_TRUE(ok()->isEnabled());
        QTest::keyClick(pathBox(), Qt::Key_Escape);
    });
    useDialog("addButton", [&] { dialogForm()->close(); });
    EXPECT_EQ(list()->rowCount(), 1);
}

TEST_F(AddProjectTest, EditProjectMaskChangesOnlyTheColumns) {
    const std::string here = withoutTrailingSeparator(disk.path());
    const std::string key = putArchive(disk.path(), "*.c", true);
    putArchive("/not/on/this/machine/", "*.txt", false);
    storeMedium(1, "", medium.path());
    start();
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(list()->item(1, 0)->toolTip(), list()->item(1, 0)->text()) << "the whole path";
    EXPECT_GE(list()->rowHeight(1), list()->fontMetrics().height() + 4) << "rows fit the font";
    const int rowHere = list()->item(0, 0)->text().toStdString() == disk.path() ? 0 : 1;

    clickRow(rowHere);
    useDialog("editMaskButton", [&] {
        EXPECT_FALSE(pathBox()->isEnabled());
        EXPECT_FALSE(field<QPushButton>("browseButton")->isEnabled());
        EXPECT_EQ(pathBox()->text().toStdString(), disk.path());
        EXPECT_TRUE(subfolders()->isChecked());
        EXPECT_EQ(dialogForm()->focusWidget(), maskBox());
        EXPECT_TRUE(ok()->isEnabled());
        typeMask("*.h");
        subfolders()->setChecked(false);
        press("okButton");
    });
    EXPECT_EQ(rows()[rowHere], disk.path() + "|*.h|");
    const ListedProject& edited =
        window->listedProjects()[list()->item(rowHere, 0)->data(Qt::UserRole).toUInt()];
    EXPECT_EQ(edited.key, key) << "the key and the record stay; the next run moves the archive";
    EXPECT_EQ(edited.mask, "*.h") << "what the next run takes";
    EXPECT_FALSE(edited.includeSubfolders);
    EXPECT_TRUE(pathBox()->isEnabled());
    EXPECT_TRUE(field<QPushButton>("browseButton")->isEnabled());

    // A project whose folder is not on this machine: it starts with its own mask, not
    // the last one typed, and only Cancel closes the dialog...
    clickRow(1 - rowHere);
    useDialog("editMaskButton", [&] {
        EXPECT_EQ(maskBox()->currentText(), "*.txt");
        EXPECT_FALSE(subfolders()->isChecked());
        EXPECT_FALSE(ok()->isEnabled());
        typeMask("*.md");
        QTest::keyClick(maskBox()->lineEdit(), Qt::Key_Return);
        EXPECT_TRUE(dialogForm()->isVisible());
        QTest::keyClick(maskBox()->lineEdit(), Qt::Key_Escape);
    });
    EXPECT_EQ(rows()[1 - rowHere], "/not/on/this/machine/|*.txt|");
    // ...until it has a work directory here, whose folder OK then follows.
    dialog_script::answerNextFolder(here);
    QTest::mouseClick(button("setWorkDirButton"), Qt::LeftButton);
    useDialog("editMaskButton", [&] {
        EXPECT_EQ(dialogForm()->windowHandle()->transientParent(),
                  window->form().handle()->windowHandle())
            << "the dialog stands over the main window";
        EXPECT_FALSE(dialogForm()->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_EQ(maskBox()->currentText(), "*.txt");
        EXPECT_TRUE(ok()->isEnabled());
        typeMask("*.md");
        press("okButton");
    });
    EXPECT_EQ(rows()[1 - rowHere], "/not/on/this/machine/|*.md|");
    useDialog("addButton", [&] {
        EXPECT_FALSE(ok()->isEnabled()) << "Add follows its own path box again";
        press("cancelButton");
    });
}

// A mask list that would name another project's archive is refused, and so is one that
// names where another project is bound: the archive on the medium would be overwritten.
TEST_F(AddProjectTest, EditProjectMaskRefusesAnotherProjectsArchive) {
    putArchive(disk.path(), "*.c", false);
    const std::string taken = putArchive(disk.path(), "*.txt", false);
    storeMedium(1, "", medium.path());
    start();
    ASSERT_EQ(list()->rowCount(), 2);
    const int rowC = list()->item(0, 1)->text().toStdString() == "*.c" ? 0 : 1;
    const auto editMask = [&](int row, const char* mask) {
        clickRow(row);
        useDialog("editMaskButton", [&] {
            typeMask(mask);
            press("okButton");
        });
    };
    dialog_script::answerNextMessage();
    editMask(rowC, "*.txt");
    editMask(1 - rowC, "*.md");
    dialog_script::answerNextMessage();
    editMask(rowC, "*.md");
    EXPECT_EQ(
        dialog_script::shownMessages(),
        (std::vector<std::string>{projectOnMediumMessage(taken),
                                  projectOnMediumMessage(mediaArchivePath(
                                      medium.path(), mediaFileName(disk.path(), "*.md", false)))}));
    EXPECT_EQ(rows()[rowC], disk.path() + "|*.c|");
    EXPECT_EQ(rows()[1 - rowC], disk.path() + "|*.md|");
}

TEST_F(AddProjectTest, MaskHistoryOnceEachMostRecentFirstAndAcrossARestart) {
    start();
    for (const char* mask : {"*.m1", "*.m2", "*.M1"}) {
        useDialog("addButton", [&] {
            typeMask(mask);
            press("cancelButton");
        });
    }
    EXPECT_EQ(history(), (std::vector<std::string>{"*.M1", "*.m2"}));
    EXPECT_EQ(maskBox()->currentIndex(), 0);
    EXPECT_EQ(stored("Mask1"), sz("*.M1"));
    EXPECT_EQ(stored("Mask2"), sz("*.m2"));
    EXPECT_FALSE(store().row("Mask3"));

    // An empty mask does not enter the history: it would end it at the next start.
    useDialog("addButton", [&] {
        typeMask("");
        press("cancelButton");
    });
    EXPECT_EQ(history(), (std::vector<std::string>{"*.M1", "*.m2"}));

    // A history of 150 comes back as its first 100.
    {
        testkit::StoreSql sql = store();
        for (int n = 1; n <= 150; ++n)
            sql.put("Mask" + std::to_string(n), 1, sz("*." + std::to_string(n)));
    }
    app.reset();
    app = createAppWindow("Ferryman");
    start();
    useDialog("addButton", [&] {
        EXPECT_EQ(maskBox()->count(), 100);
        EXPECT_EQ(maskBox()->itemText(99), "*.100");
        EXPECT_EQ(maskBox()->currentText(), "") << "no entry chosen";
        press("cancelButton");
    });
    EXPECT_EQ(stored("Mask100"), sz("*.100"));
    EXPECT_EQ(stored("Mask150"), sz("*.150")) << "values are never deleted";
}

}  // namespace
}  // namespace ferry
