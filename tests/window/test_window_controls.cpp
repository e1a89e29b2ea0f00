// Controls: texts, items, the report view, check boxes, edit options, events, ownership.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "tests/window/window_test_kit.h"

namespace ferry {
namespace {

using Controls = testkit::WindowTest;

TEST_F(Controls, FoundByObjectName) {
    Window* form = createForm(*app, "Named");
    Window* ok = createButton(*form, "OK");
    ok->setName("okButton");
    EXPECT_EQ(ok->name(), "okButton");
    auto* button = form->handle()->findChild<QPushButton*>("okButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "OK");
}

TEST_F(Controls, TextsOfEveryKind) {
    Window* form = createForm(*app, "Ferryman v1.2");
    EXPECT_EQ(form->text(), "Ferryman v1.2");
    EXPECT_EQ(app->text(), "Ferryman");
    Window* label = createLabel(*form, "Path");
    label->setText("Mask");
    EXPECT_EQ(label->text(), "Mask");
    Window* edit = createEditBox(*form, 0);
    edit->setText("/home/ann/proj");
    EXPECT_EQ(qobject_cast<QLineEdit*>(edit->handle())->text(), "/home/ann/proj");
    EXPECT_EQ(edit->text(), "/home/ann/proj");
    Window* area = createEditBox(*form, EditMultiLine);
    area->setText("one\ntwo");
    EXPECT_EQ(area->text(), "one\ntwo");
    Window* kind = createComboBox(*form, ComboDropDownList);
    kind->addItem("Removable");
    kind->addItem("Directory");
    kind->setCurrentIndex(1);
    EXPECT_EQ(kind->text(), "Directory") << "a drop-down list shows its selected entry";
    Window* label2 = createLabel(*form, "<b>not bold</b>");
    EXPECT_EQ(qobject_cast<QLabel*>(label2->handle())->textFormat(), Qt::PlainText);
}

TEST_F(Controls, ComboBoxItems) {
    Window* form = createForm(*app, "Combo");
    Window* combo = createComboBox(*form, 0);
    EXPECT_EQ(combo->currentIndex(), -1);
    combo->setText("typed");
    EXPECT_EQ(combo->addItem("m1"), 0);
    EXPECT_EQ(combo->addItem("m2"), 1);
    EXPECT_EQ(combo->currentIndex(), -1) << "adding entries selects nothing";
    EXPECT_EQ(combo->text(), "typed") << "and leaves the typed text";
    EXPECT_EQ(combo->insertItem(0, "M3"), 0);
    EXPECT_EQ(combo->insertItem(4, "past the end"), -1);
    EXPECT_EQ(combo->itemCount(), 3);
    EXPECT_EQ(combo->itemText(0), "M3");
    EXPECT_EQ(combo->itemText(3), "");
    EXPECT_EQ(combo->itemText(-1), "");
    EXPECT_EQ(combo->findItemExact("m3"), 0) << "letter case is ignored";
    EXPECT_EQ(combo->findItemExact("m"), -1) << "whole texts only";

    combo->setCurrentIndex(2);
    EXPECT_EQ(combo->text(), "m2");
    combo->setText("m1");
    combo->deleteItem(2);
    EXPECT_EQ(combo->currentIndex(), -1) << "the selection goes with its entry";
    EXPECT_EQ(combo->text(), "m1");
    combo->deleteItem(7);
    EXPECT_EQ(combo->itemCount(), 2);
    combo->clearItems();
    EXPECT_EQ(combo->itemCount(), 0);
    EXPECT_EQ(qobject_cast<QComboBox*>(combo->handle())->maxVisibleItems(), 8);
}

TEST_F(Controls, ReportViewRowsCellsAndData) {
    Window* form = createForm(*app, "List");
    Window* list = createListView(*form, ListViewKind::Report, ListGridLines | ListFullRowSelect);
    list->addColumn("Path", 250, ColumnAlign::Left);
    list->addColumn("Mask", 150, ColumnAlign::Right);
    auto* table = qobject_cast<QTableWidget*>(list->handle());
    EXPECT_EQ(table->columnWidth(0), 250);
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "Mask");
    EXPECT_TRUE(table->showGrid());

    EXPECT_EQ(list->selectedRow(), -1);
    EXPECT_EQ(list->addRow("/home/ann/proj/"), 0);
    EXPECT_EQ(list->addRow("/srv/work/"), 1);
    EXPECT_EQ(list->selectedRow(), -1) << "rows are not selected by being added";
    EXPECT_EQ(list->currentIndex(), -1);
    const std::string longText(5000, 'x');
    list->setCellText(1, 1, longText);
    EXPECT_EQ(list->cellText(1, 1), longText) << "long texts come back whole";
    EXPECT_EQ(table->item(1, 1)->textAlignment() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(list->cellText(0, 1), "");
    EXPECT_EQ(list->cellText(2, 0), "");
    list->setCellText(0, 2, "no such column");
    EXPECT_EQ(list->cellText(0, 2), "");

    list->setRowData(1, 42);
    EXPECT_EQ(list->rowData(1), 42u);
    EXPECT_EQ(list->rowData(0), 0u);
    EXPECT_EQ(list->rowData(9), 0u);

    list->selectRow(1);
    EXPECT_EQ(list->selectedRow(), 1);
    list->selectRow(0);
    EXPECT_EQ(list->selectedRow(), 0) << "the previous selection is cleared";
    list->selectRow(5);
    EXPECT_EQ(list->selectedRow(), 0) << "no such row: nothing changes";
    list->ensureRowVisible(-1);
    list->deleteItem(0);
    EXPECT_EQ(list->itemText(0), "/srv/work/");
    list->clearItems();
    EXPECT_EQ(list->itemCount(), 0);
    EXPECT_EQ(list->selectedRow(), -1);
}

TEST_F(Controls, ReportViewTellsSelectionAndFocusChanges) {
    Window* form = createForm(*app, "List");
    Window* list = createListView(*form, ListViewKind::Report, ListFullRowSelect);
    list->addColumn("Path", 100, ColumnAlign::Left);
    list->addRow("a");
    list->addRow("b");
    std::vector<ItemStateChange> changes;
    list->events().itemStateChange = [&changes](Window&, const ItemStateChange& change) {
        changes.push_back(change);
    };
    list->selectRow(1);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back().from, 1);
    EXPECT_EQ(changes.back().newState, ItemSelected | ItemFocused);
    changes.clear();
    list->selectRow(0);
    bool rowOneLostSelection = false;
    for (const ItemStateChange& change : changes) {
        if (change.from == 1 && (change.oldState & ItemSelected) &&
            !(change.newState & ItemSelected)) {
            rowOneLostSelection = true;
        }
    }
    EXPECT_TRUE(rowOneLostSelection);
}

TEST_F(Controls, CheckBoxTogglesItselfAndReportsClicks) {
    Window* form = createForm(*app, "Check");
    Window* check = createCheckBox(*form, "Including subfolders");
    int clicks = 0;
    check->events().click = [&clicks](Window&) { ++clicks; };
    EXPECT_FALSE(check->checked());
    QTest::mouseClick(check->handle(), Qt::LeftButton);
    EXPECT_TRUE(check->checked());
    EXPECT_EQ(clicks, 1);
    check->setChecked(false);
    EXPECT_FALSE(check->checked());
    EXPECT_EQ(clicks, 1) << "the program's own change is no click";
    check->setAutoSize(true);
    EXPECT_EQ(check->bounds().height(), check->handle()->sizeHint().height());
}

TEST_F(Controls, EditBoxOptions) {
    Window* form = createForm(*app, "Edits");
    Window* upper = createEditBox(*form, EditUpperCase);
    QTest::keyClicks(upper->handle(), "abc");
    EXPECT_EQ(upper->text(), "ABC");
    Window* digits = createEditBox(*form, EditDigitsOnly);
    QTest::keyClicks(digits->handle(), "1a2");
    EXPECT_EQ(digits->text(), "12");
    Window* secret = createEditBox(*form, EditPassword | EditReadOnly);
    auto* line = qobject_cast<QLineEdit*>(secret->handle());
    EXPECT_EQ(line->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(line->isReadOnly());
    Window* plain = createEditBox(*form, 0);
    plain->setExStyle(0);
    EXPECT_FALSE(qobject_cast<QLineEdit*>(plain->handle())->hasFrame());
    plain->setStyle(0);
    EXPECT_EQ(plain->handle()->focusPolicy(), Qt::ClickFocus) << "no Tab stop";
}

TEST_F(Controls, ChangeEvents) {
    Window* form = createForm(*app, "Changes");
    Window* edit = createEditBox(*form, 0);
    int editChanges = 0;
    edit->events().change = [&editChanges](Window&) { ++editChanges; };
    edit->setText("/tmp");
    QTest::keyClicks(edit->handle(), "/x");
    EXPECT_EQ(editChanges, 3) << "set by the program, and each typed character";

    Window* combo = createComboBox(*form, 0);
    combo->addItem("first");
    combo->addItem("second");
    std::vector<std::string> seen;
    combo->events().change = [&seen](Window& sender) { seen.push_back(sender.text()); };
    combo->setCurrentIndex(0);
    combo->setText("quiet");
    EXPECT_TRUE(seen.empty()) << "the program's own selection and text are no change";
    QTest::keyClicks(qobject_cast<QComboBox*>(combo->handle())->lineEdit(), "Q");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen.back(), "quietQ");

    Window* list = createComboBox(*form, ComboDropDownList);
    list->addItem("Removable");
    list->addItem("Directory");
    list->setCurrentIndex(0);
    seen.clear();
    list->events().change = [&seen](Window& sender) { seen.push_back(sender.text()); };
    QTest::keyClick(list->handle(), Qt::Key_Down);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen.back(), "Directory") << "the handler sees the new selection";
}

TEST_F(Controls, LeaveShowAndHideEvents) {
    Window* form = createForm(*app, "Focus");
    Window* first = createEditBox(*form, 0);
    Window* second = createEditBox(*form, 0);
    int leaves = 0;
    int shows = 0;
    int hides = 0;
    first->events().leave = [&leaves](Window&) { ++leaves; };
    first->events().show = [&shows](Window&) { ++shows; };
    form->events().hide = [&hides](Window&) { ++hides; };
    form->show();
    EXPECT_EQ(shows, 1) << "a control shows with its form";
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->handle()));
    first->handle()->setFocus();
    second->handle()->setFocus();
    EXPECT_EQ(leaves, 1);
    form->hide();
    EXPECT_EQ(hides, 1);
    EXPECT_FALSE(form->visible());
}

TEST_F(Controls, FormFocusesItsFirstTabStopUnlessTold) {
    Window* form = createForm(*app, "Focus");
    createLabel(*form, "Path");
    Window* path = createEditBox(*form, 0);
    Window* mask = createComboBox(*form, 0);
    EXPECT_EQ(form->focusedControl(), path);
    form->show();
    EXPECT_EQ(form->handle()->focusWidget(), path->handle());
    form->hide();
    form->setFocusedControl(mask);
    form->show();
    EXPECT_EQ(form->handle()->focusWidget(), mask->handle());
}

TEST_F(Controls, FontsAndColours) {
    Window* form = createForm(*app, "Fonts");
    form->setFontName("Arial");
    form->setFontHeight(16);
    Window* panel = createPanel(*form, PanelEdge::None);
    panel->setFontHeight(14);
    Window* button = createButton(*panel, "Synchronize");
    EXPECT_EQ(button->handle()->font().pixelSize(), 14) << "from its parent";
    EXPECT_EQ(button->handle()->font().family(), form->handle()->font().family());
    EXPECT_EQ(form->handle()->font().pixelSize(), 16);

    Window* list = createListView(*form, ListViewKind::Report, 0);
    list->setColor(SystemColorWindow);
    EXPECT_EQ(list->color(), SystemColorWindow);
    EXPECT_EQ(list->handle()->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));
    Window* label = createLabel(*form, "red");
    label->setColor(0x000000FF);
    EXPECT_EQ(label->handle()->palette().color(QPalette::Window), QColor(255, 0, 0));
}

TEST_F(Controls, FormFrameFollowsTheStyleWords) {
    Window* form = createForm(*app, "Add Project");
    const Qt::WindowFlags normal = form->handle()->windowFlags();
    EXPECT_TRUE(normal & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(normal & Qt::WindowMaximizeButtonHint);
    form->show();
    form->setStyle(form->style() & ~(StyleMinimizeBox | StyleMaximizeBox));
    EXPECT_FALSE(form->handle()->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(form->handle()->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(form->visible()) << "a live window takes the change at once and stays";
    form->setExStyle(ExStyleTopmost);
    EXPECT_TRUE(form->handle()->windowFlags() & Qt::WindowStaysOnTopHint);

    form->setIcon(QIcon());
    const QIcon icon = form->handle()->windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.pixmap(16, 16).toImage().pixelColor(8, 8).alpha() == 0) << "no picture";
}

struct Tracked {
    explicit Tracked(std::vector<std::string>& log) : log_(log) {}
    ~Tracked() { log_.push_back("owned object"); }
    std::vector<std::string>& log_;
};

TEST_F(Controls, ReleasingGoesDownTheTreeAndForgetsReleasedButtons) {
    std::vector<std::string> log;
    Window* form = createForm(*app, "Owner");
    Window* panel = createPanel(*form, PanelEdge::None);
    Window* ok = createButton(*panel, "OK");
    form->setDefaultButton(ok);
    form->setCancelButton(ok);
    form->setFocusedControl(ok);
    panel->ownObject(std::make_unique<Tracked>(log));
    panel->events().destroy = [&log](Window&) { log.push_back("panel"); };
    ok->events().destroy = [&log](Window&) { log.push_back("button"); };

    releaseWindow(panel);
    EXPECT_EQ(log, (std::vector<std::string>{"panel", "button", "owned object"}));
    EXPECT_TRUE(form->children().empty());
    EXPECT_EQ(form->defaultButton(), nullptr);
    EXPECT_EQ(form->cancelButton(), nullptr);
    EXPECT_EQ(form->focusedControl(), nullptr);
    EXPECT_EQ(form->handle()->findChild<QPushButton*>(), nullptr);
    releaseWindow(nullptr);

    log.clear();
    Window* second = createForm(*app, "Second");
    createButton(*second, "x")->events().destroy = [&log](Window&) { log.push_back("x"); };
    app.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"x"})) << "the application takes every form along";
    EXPECT_EQ(applicationWindow(), nullptr);
}

}  // namespace
}  // namespace ferry
