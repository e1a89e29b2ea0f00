// The modal loop, Enter and Esc in forms, the quit request and the run loop.

#include <QCheckBox>
#include <QTextEdit>

#include "tests/window/window_test_kit.h"

namespace ferry {
namespace {

using testkit::whenWaiting;

// A dialog like the program's: an edit box, a check box, a multi-line box, OK and Cancel.
class ModalLoop : public testkit::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        main = createForm(*app, "Main");
        form = createForm(*app, "Dialog");
        edit = createEditBox(*form, 0);
        check = createCheckBox(*form, "Including subfolders");
        notes = createEditBox(*form, EditMultiLine);
        ok = createButton(*form, "OK");
        cancel = createButton(*form, "Cancel");
        ok->events().click = [this](Window&) { form->setModalResult(1); };
        cancel->events().click = [this](Window&) { form->setModalResult(-1); };
        form->setDefaultButton(ok);
        form->setCancelButton(cancel);
    }

    // Sends a key to the control once the modal loop runs, then ends the loop with 7 if
    // the key did not end it.
    std::int32_t runWithKey(Window* target, Qt::Key key) {
        whenWaiting([this, target, key] {
            QTest::keyClick(target->handle(), key);
            if (form->modalResult() == 0) form->setModalResult(7);
        });
        return form->runModal();
    }

    Window* main = nullptr;
    Window* form = nullptr;
    Window* edit = nullptr;
    Window* check = nullptr;
    Window* notes = nullptr;
    Window* ok = nullptr;
    Window* cancel = nullptr;
};

TEST_F(ModalLoop, CloseBoxGivesMinusOneAndTheFormStaysVisible) {
    bool closeHandlerRan = false;
    form->events().close = [&closeHandlerRan](Window&, bool&) { closeHandlerRan = true; };
    whenWaiting([this] { form->handle()->close(); });
    EXPECT_EQ(form->runModal(), -1);
    EXPECT_TRUE(form->visible());
    EXPECT_TRUE(form->handle()->isVisible());
    EXPECT_FALSE(closeHandlerRan) << "the modal loop takes the request";
    EXPECT_FALSE(quitRequested());
}

TEST_F(ModalLoop, ButtonHandlersEndTheLoopWithTheirResult) {
    whenWaiting([this] { QTest::mouseClick(ok->handle(), Qt::LeftButton); });
    EXPECT_EQ(form->runModal(), 1);
    form->hide();
    whenWaiting([this] { QTest::mouseClick(cancel->handle(), Qt::LeftButton); });
    EXPECT_EQ(form->runModal(), -1);
}

TEST_F(ModalLoop, EnterInASingleLineEditPressesTheDefaultButton) {
    EXPECT_EQ(runWithKey(edit, Qt::Key_Return), 1);
    EXPECT_EQ(form->handle()->focusWidget(), ok->handle()) << "pressing focuses the button";
    EXPECT_EQ(runWithKey(edit, Qt::Key_Enter), 1);
}

TEST_F(ModalLoop, EnterOnACheckBoxOrInAMultiLineEditDoesNot) {
    EXPECT_EQ(runWithKey(check, Qt::Key_Return), 7);
    EXPECT_FALSE(check->checked()) << "Enter does not toggle it either";
    notes->handle()->setFocus();
    EXPECT_EQ(runWithKey(notes, Qt::Key_Return), 7);
    EXPECT_EQ(notes->text(), "\n") << "the box takes the line break";
}

TEST_F(ModalLoop, EnterOnAnotherButtonPressesThatButton) {
    EXPECT_EQ(runWithKey(cancel, Qt::Key_Return), -1);
}

TEST_F(ModalLoop, EscPressesTheCancelButtonWhereverTheFocusIs) {
    EXPECT_EQ(runWithKey(edit, Qt::Key_Escape), -1);
    EXPECT_EQ(runWithKey(check, Qt::Key_Escape), -1);
    EXPECT_EQ(runWithKey(notes, Qt::Key_Escape), -1);
    EXPECT_EQ(runWithKey(ok, Qt::Key_Escape), -1);
}

TEST_F(ModalLoop, OnlyVisibleEnabledButtonsReact) {
    ok->setEnabled(false);
    EXPECT_EQ(runWithKey(edit, Qt::Key_Return), 7);
    cancel->hide();
    EXPECT_EQ(runWithKey(edit, Qt::Key_Escape), 7);
}

TEST_F(ModalLoop, OtherFormsAreDisabledMeanwhile) {
    main->show();
    bool mainEnabledDuring = true;
    bool clickBroughtDialogBack = false;
    whenWaiting([this, &mainEnabledDuring, &clickBroughtDialogBack] {
        mainEnabledDuring = main->enabled();
        main->handle()->activateWindow();
        if (QTest::qWaitForWindowActive(main->handle())) {
            QTest::mouseClick(main->handle(), Qt::LeftButton);
            clickBroughtDialogBack = QTest::qWaitForWindowActive(form->handle());
        }
        form->setModalResult(1);
    });
    EXPECT_EQ(form->runModal(), 1);
    EXPECT_FALSE(mainEnabledDuring);
    EXPECT_TRUE(clickBroughtDialogBack) << "a click on a disabled form brings the dialog back";
    EXPECT_TRUE(main->enabled()) << "enabled again afterwards";
}

TEST_F(ModalLoop, AQuitRequestEndsItWithZero) {
    whenWaiting([] { requestQuit(); });
    EXPECT_EQ(form->runModal(), 0);
    EXPECT_TRUE(quitRequested());
    bool released = false;
    main->events().destroy = [&released](Window&) { released = true; };
    runApplication(std::move(app));
    EXPECT_TRUE(released) << "the run loop ends at once and releases everything";
    EXPECT_FALSE(quitRequested()) << "a later application starts afresh";
}

TEST_F(ModalLoop, ProcessMessagesDispatchesWhatIsWaiting) {
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    processMessages();
    EXPECT_TRUE(ran);
}

using RunLoop = testkit::WindowTest;

TEST_F(RunLoop, ClosingTheMainFormEndsTheProgram) {
    Window* main = createForm(*app, "Main");
    Window* other = createForm(*app, "Other");
    EXPECT_EQ(app->mainForm(), main);
    int closeRequests = 0;
    bool refuse = true;
    main->events().close = [&closeRequests, &refuse](Window&, bool& accept) {
        ++closeRequests;
        if (refuse) accept = false;
    };
    std::vector<std::string> released;
    main->events().destroy = [&released](Window&) { released.push_back("main"); };
    other->events().destroy = [&released](Window&) { released.push_back("other"); };
    other->events().close = [](Window&, bool&) {};

    whenWaiting([main, other, &refuse] {
        EXPECT_TRUE(main->visible()) << "the run loop shows the main form";
        EXPECT_FALSE(other->visible());
        other->show();
        other->handle()->close();
        EXPECT_FALSE(quitRequested()) << "another form's close is only a close";
        main->handle()->close();
        EXPECT_TRUE(main->visible()) << "its handler refused";
        EXPECT_FALSE(quitRequested());
        refuse = false;
        main->close();  // as the program asks
    });
    runApplication(std::move(app));
    EXPECT_EQ(closeRequests, 2);
    EXPECT_EQ(released, (std::vector<std::string>{"other", "main"}));
}

TEST_F(RunLoop, AProgramToldToQuitWhileBuildingShowsNothing) {
    Window* main = createForm(*app, "Main");
    int shows = 0;
    main->events().show = [&shows](Window&) { ++shows; };
    requestQuit();
    runApplication(std::move(app));
    EXPECT_EQ(shows, 0);
}

}  // namespace
}  // namespace ferry
