// Message box, question dialog, folder dialog and their test hooks, driven offscreen.

#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextEdit>

#include "tests/testkit/temp_dir.h"
#include "tests/window/window_test_kit.h"
#include "ui/qt_user_prompt.h"
#include "window/file_manager.h"
#include "window/folder_dialog.h"
#include "window/message_box.h"
#include "window/question_dialog.h"

namespace ferry {
namespace {

using testkit::findTopLevel;
using testkit::whenShown;
using testkit::whenWaiting;

constexpr const char* ConflictAnswers = "Yes/Yes to all/No/No to all/Cancel";

// What the question dialog showed, read while it was open.
struct QuestionSeen {
    QString title;
    QStringList captions;
    std::vector<QRect> buttons;
    QRect area;
    QSize client;
    bool firstFocused = false;
    bool firstDefault = false;  // drawn as the button Enter presses
    int lastLineTop = 0;
    int lineRoom = 0;  // what the last line needs below its top
};

QPushButton* answerButton(QWidget* dialog, int number) {
    return dialog->findChild<QPushButton*>(QStringLiteral("answer%1").arg(number));
}

// Looks at the open question dialog, then acts on it.
void whenAsked(QuestionSeen& seen, std::function<void(QWidget*)> act) {
    whenShown<QWidget>("questionDialog", [&seen, act = std::move(act)](QWidget* dialog) {
        seen.title = dialog->windowTitle();
        seen.client = dialog->size();
        for (int number = 1; QPushButton* button = answerButton(dialog, number); ++number) {
            seen.captions << button->text();
            seen.buttons.push_back(button->geometry());
        }
        seen.firstFocused = dialog->focusWidget() == answerButton(dialog, 1);
        seen.firstDefault = answerButton(dialog, 1)->isDefault();
        auto* area = dialog->findChild<QTextEdit*>("questionText");
        seen.area = area->geometry();
        QTextCursor last(area->document());
        last.movePosition(QTextCursor::End);
        last.movePosition(QTextCursor::Left);
        seen.lastLineTop = area->cursorRect(last).top();
        seen.lineRoom = std::max(20, area->fontMetrics().lineSpacing() +
                                         2 * static_cast<int>(area->document()->documentMargin()));
        act(dialog);
    });
}

std::int32_t askAndClick(std::string_view text, std::string_view answers, int number) {
    QuestionSeen seen;
    whenAsked(seen, [number](QWidget* dialog) {
        QTest::mouseClick(answerButton(dialog, number), Qt::LeftButton);
    });
    return askChoice(text, answers);
}

using QuestionDialog = testkit::WindowTest;

TEST_F(QuestionDialog, FiveAnswersFiveButtonsNumberedInOrder) {
    QuestionSeen seen;
    whenAsked(seen,
              [](QWidget* dialog) { QTest::mouseClick(answerButton(dialog, 1), Qt::LeftButton); });
    EXPECT_EQ(askChoice("Overwrite the newer file?", ConflictAnswers), 1);
    EXPECT_EQ(seen.title, "Ferryman");
    EXPECT_EQ(seen.captions, (QStringList{"  &Yes  ", "  Yes &to all  ", "  &No  ",
                                          "  No to &all  ", "  &Cancel  "}))
        << "Alt and a letter answers";
    for (int number = 2; number <= 5; ++number) {
        EXPECT_EQ(askAndClick("Overwrite?", ConflictAnswers, number), number);
    }
    EXPECT_TRUE(app->children().empty()) << "the dialog is gone afterwards";
    EXPECT_EQ(findTopLevel("questionDialog"), nullptr);
}

TEST_F(QuestionDialog, EscCloseBoxAndQuit) {
    QuestionSeen seen;
    whenAsked(seen,
              [](QWidget* dialog) { QTest::keyClick(answerButton(dialog, 3), Qt::Key_Escape); });
    EXPECT_EQ(askChoice("Overwrite?", ConflictAnswers), -1);
    whenAsked(seen, [](QWidget* dialog) { dialog->close(); });
    EXPECT_EQ(askChoice("Overwrite?", ConflictAnswers), -1);
    whenAsked(seen, [](QWidget*) { requestQuit(); });
    EXPECT_EQ(askChoice("Overwrite?", ConflictAnswers), 0);
}

TEST_F(QuestionDialog, EnterAndTabOnTheButtons) {
    QuestionSeen seen;
    whenAsked(seen,
              [](QWidget* dialog) { QTest::keyClick(answerButton(dialog, 1), Qt::Key_Return); });
    EXPECT_EQ(askChoice("Overwrite?", ConflictAnswers), 1);
    EXPECT_TRUE(seen.firstFocused);
    EXPECT_TRUE(seen.firstDefault);

    whenAsked(seen, [](QWidget* dialog) {
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(askChoice("Overwrite?", ConflictAnswers), 3) << "Tab goes from button to button";
}

TEST_F(QuestionDialog, NoAnswersGiveOneOkButton) {
    QuestionSeen seen;
    whenAsked(seen,
              [](QWidget* dialog) { QTest::mouseClick(answerButton(dialog, 1), Qt::LeftButton); });
    EXPECT_EQ(askChoice("Done.", ""), 1);
    EXPECT_EQ(seen.captions, QStringList{"  &OK  "});
}

TEST_F(QuestionDialog, AnEmptyAnswerGivesAButtonOfSpaces) {
    QuestionSeen seen;
    whenAsked(seen,
              [](QWidget* dialog) { QTest::mouseClick(answerButton(dialog, 2), Qt::LeftButton); });
    EXPECT_EQ(askChoice("Which?", "a//b"), 2);
    EXPECT_EQ(seen.captions, (QStringList{"  &a  ", "    ", "  &b  "}));
}

TEST_F(QuestionDialog, ButtonRowIsSpacedCentredAndEndsTheForm) {
    QuestionSeen seen;
    whenAsked(seen, [](QWidget* dialog) { dialog->close(); });
    askChoice("Short?", "Yes/No");
    ASSERT_EQ(seen.buttons.size(), 2u);
    const QRect& first = seen.buttons.front();
    const QRect& second = seen.buttons.back();
    EXPECT_EQ(first.height(), 22);
    EXPECT_EQ(second.left() - (first.left() + first.width()), 14);
    EXPECT_EQ(first.top(), seen.area.bottom() + 1 + 8) << "8 below the message";
    EXPECT_EQ(seen.area.topLeft(), QPoint(8, 8));
    EXPECT_EQ(seen.area.width(), 278);
    EXPECT_EQ(seen.client.width(), 300) << "the row fits: the form keeps its width";
    // The row is centred: (client width - row end) / 2 was added to every button.
    const int rowEndBefore = second.left() + second.width() + 12 - (first.left() - 8);
    EXPECT_EQ(first.left() - 8, (300 - rowEndBefore) / 2);
    EXPECT_EQ(seen.client.height(), first.top() + 22 + 8);
}

TEST_F(QuestionDialog, AWideRowWidensTheDialog) {
    QuestionSeen seen;
    whenAsked(seen, [](QWidget* dialog) { dialog->close(); });
    askChoice("Overwrite?",
              "Overwrite this one/Overwrite all of them/Skip this one/Skip all of them");
    const QRect& first = seen.buttons.front();
    const QRect& last = seen.buttons.back();
    EXPECT_GT(seen.client.width(), 300);
    EXPECT_EQ(seen.client.width(), last.left() + last.width() + 12);
    EXPECT_EQ(first.left(), 8);
}

TEST_F(QuestionDialog, ALongMessageGrowsTheDialogIn4PixelSteps) {
    QuestionSeen seen;
    whenAsked(seen, [](QWidget* dialog) { dialog->close(); });
    askChoice("One line.", "OK");
    const int oneLine = seen.area.height();
    EXPECT_EQ((oneLine - 20) % 4, 0);

    std::string text;
    for (int i = 0; i < 12; ++i) text += "The file on the medium is older than the one on disk. ";
    whenAsked(seen, [](QWidget* dialog) { dialog->close(); });
    askChoice(text, "OK");
    EXPECT_GT(seen.area.height(), oneLine + 40);
    EXPECT_EQ((seen.area.height() - 20) % 4, 0);
    EXPECT_LT(seen.lastLineTop, seen.area.height() - seen.lineRoom) << "the last line shows";
    EXPECT_GE(seen.lastLineTop, seen.area.height() - 4 - seen.lineRoom) << "it grew no further";
}

TEST_F(QuestionDialog, NeverTallerThanTheScreenLess40) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i) + "\n";
    QuestionSeen seen;
    whenAsked(seen,
              [](QWidget* dialog) { QTest::mouseClick(answerButton(dialog, 1), Qt::LeftButton); });
    EXPECT_EQ(askChoice(text, "OK"), 1);
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    EXPECT_LE(seen.client.height(), screenHeight - 40);
    EXPECT_GT(seen.client.height() + 4, screenHeight - 40) << "grown as far as it may";
    EXPECT_EQ((seen.area.height() - 20) % 4, 0);
}

TEST_F(QuestionDialog, WithoutApplicationWindowTheTitleSaysWhatItIs) {
    app.reset();
    QuestionSeen seen;
    whenAsked(seen, [](QWidget* dialog) { dialog->close(); });
    EXPECT_EQ(askChoice("Go on?", "Yes/No"), -1);
    EXPECT_EQ(seen.title, "Question");
    whenAsked(seen, [](QWidget* dialog) { dialog->close(); });
    askChoice("Done.", "");
    EXPECT_EQ(seen.title, "Information");
}

TEST_F(QuestionDialog, ScriptedAnswersShowNothingAndAreRecorded) {
    dialog_script::answerNextChoice(4);
    dialog_script::answerNextChoice(-1);
    QtUserPrompt prompt;
    EXPECT_EQ(prompt.askChoice("Overwrite a?", ConflictAnswers), 4);
    EXPECT_EQ(prompt.askChoice("Overwrite b?", ConflictAnswers), -1);
    ASSERT_EQ(dialog_script::askedQuestions().size(), 2u);
    EXPECT_EQ(dialog_script::askedQuestions()[1].text, "Overwrite b?");
    EXPECT_EQ(dialog_script::askedQuestions()[1].answers, ConflictAnswers);
    EXPECT_TRUE(app->children().empty()) << "no dialog was made";
}

using MessageBox = testkit::WindowTest;

TEST_F(MessageBox, TitledOneOkButtonNoIconInFront) {
    Window* main = createForm(*app, "Ferryman v1.2");
    main->show();
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    qsizetype buttons = 0;
    QWidget* parent = nullptr;
    whenShown<QMessageBox>("messageBox", [&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons().size();
        parent = box->parentWidget();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    QtUserPrompt().showMessage("Copied <b>3</b> files");
    EXPECT_EQ(title, "Ferryman");
    EXPECT_EQ(text, "Copied <b>3</b> files");
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(parent, main->handle()) << "it stands over the program's window";
    EXPECT_EQ(dialog_script::shownMessages(), (std::vector<std::string>{"Copied <b>3</b> files"}));
    EXPECT_EQ(findTopLevel("messageBox"), nullptr);
}

TEST_F(MessageBox, TextIsShownAsItIs) {
    Qt::TextFormat format = Qt::AutoText;
    whenShown<QMessageBox>("messageBox", [&format](QMessageBox* box) {
        format = box->textFormat();
        box->accept();
    });
    showMessage("<i>/home/ann/proj</i>");
    EXPECT_EQ(format, Qt::PlainText);
}

TEST_F(MessageBox, AQuitRequestClosesIt) {
    whenShown<QMessageBox>("messageBox", [](QMessageBox*) { requestQuit(); });
    showMessage("Clock is wrong");
    EXPECT_EQ(findTopLevel("messageBox"), nullptr);
}

TEST_F(MessageBox, ScriptedCloseShowsNothing) {
    dialog_script::answerNextMessage();
    showMessage("Report");
    EXPECT_EQ(dialog_script::shownMessages(), (std::vector<std::string>{"Report"}));
}

using FolderDialogs = testkit::WindowTest;

TEST_F(FolderDialogs, InitialPathRule) {
    std::unique_ptr<FolderDialog> dialog = newFolderDialog("", 0);
    EXPECT_EQ(dialog->options(), FolderOnlyFileSystem);
    dialog->setInitialPath("/");
    EXPECT_EQ(dialog->initialPath(), "/") << "the root keeps its separator";
    dialog->setInitialPath("/home/ann/work/");
    EXPECT_EQ(dialog->initialPath(), "/home/ann/work");
    dialog->setInitialPath("/home/ann/work");
    EXPECT_EQ(dialog->initialPath(), "/home/ann/work");
    dialog->setInitialPath("");
    EXPECT_EQ(dialog->initialPath(), "");
}

TEST_F(FolderDialogs, OpensAtTheRoot) {
    std::unique_ptr<FolderDialog> dialog = newFolderDialog("", 0);
    dialog->setInitialPath("/");
    QString opened;
    whenShown<QFileDialog>("folderDialog", [&opened](QFileDialog* shown) {
        opened = shown->directory().absolutePath();
        shown->reject();
    });
    EXPECT_FALSE(dialog->execute());
    EXPECT_EQ(opened, "/");
}

TEST_F(FolderDialogs, ChoosingAFolderGivesItsPathWithoutSeparator) {
    testkit::TempDir temp;
    std::unique_ptr<FolderDialog> dialog = newFolderDialog("", 0);
    dialog->setInitialPath(temp.path());
    whenShown<QFileDialog>("folderDialog", [](QFileDialog* shown) {
        EXPECT_EQ(shown->fileMode(), QFileDialog::Directory);
        static_cast<QDialog*>(shown)->accept();
    });
    ASSERT_TRUE(dialog->execute());
    EXPECT_EQ(dialog->path() + "/", temp.path());

    whenShown<QFileDialog>("folderDialog", [](QFileDialog* shown) { shown->reject(); });
    EXPECT_FALSE(dialog->execute());
    EXPECT_EQ(dialog->path() + "/", temp.path()) << "a cancel keeps the last choice";
}

TEST_F(FolderDialogs, ScriptedAnswers) {
    std::unique_ptr<FolderDialog> dialog = newFolderDialog("", 0);
    dialog->setInitialPath("/media/stick/");
    dialog_script::answerNextFolder("/media/stick/Work");
    dialog_script::cancelNextFolder();
    EXPECT_TRUE(dialog->execute());
    EXPECT_EQ(dialog->path(), "/media/stick/Work");
    EXPECT_FALSE(dialog->execute());
    EXPECT_EQ(dialog->path(), "/media/stick/Work");
    EXPECT_EQ(dialog_script::folderStarts(),
              (std::vector<std::string>{"/media/stick", "/media/stick"}));
}

// Stands for the desktop's handler of local files.
class FileUrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

TEST(FileManager, HandsTheFolderToTheDesktopAsALocalFile) {
    FileUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    EXPECT_TRUE(openInFileManager("/media/stick/My Work/"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.front().toLocalFile(), QStringLiteral("/media/stick/My Work/"));
}

}  // namespace
}  // namespace ferry

#include "test_dialogs.moc"
