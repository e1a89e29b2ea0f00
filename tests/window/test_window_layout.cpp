// Bounds, sizes, the status bar and the alignment of children.

#include <QStatusBar>

#include "tests/window/window_test_kit.h"

namespace ferry {
namespace {

using Layout = testkit::WindowTest;

Window* panelWithHeight(Window& parent, Align align, std::int32_t height) {
    Window* panel = createPanel(parent, PanelEdge::None);
    panel->resize(0, height);
    panel->setAlign(align);
    return panel;
}

TEST_F(Layout, NewControlsStartAtTheSpacingWithTheirKindsSize) {
    Window* form = createForm(*app, "Sizes");
    form->setSpacing(8);
    EXPECT_EQ(createButton(*form, "OK")->bounds(), (Bounds{8, 8, 72, 30}));
    EXPECT_EQ(createLabel(*form, "Path")->bounds(), (Bounds{8, 8, 72, 30}));
    EXPECT_EQ(createCheckBox(*form, "Sub")->bounds().width(), 72);
    EXPECT_EQ(createPanel(*form, PanelEdge::Raised)->bounds(), (Bounds{8, 8, 108, 108}));
    EXPECT_EQ(createEditBox(*form, 0)->bounds(), (Bounds{8, 8, 108, 30}));
    EXPECT_EQ(createEditBox(*form, EditMultiLine)->bounds(), (Bounds{8, 8, 208, 208}));
}

TEST_F(Layout, ResizeWithZeroKeepsThatDimension) {
    Window* form = createForm(*app, "Sizes");
    Window* button = createButton(*form, "OK");
    button->moveTo(10, 20);
    button->resize(0, 30);
    EXPECT_EQ(button->bounds(), (Bounds{10, 20, 74, 50})) << "only the height changed";
    button->resize(90, 0);
    EXPECT_EQ(button->bounds(), (Bounds{10, 20, 100, 50}));

    form->setClientSize(575, 293);
    form->setClientSize(0, 100);
    EXPECT_EQ(form->clientBounds(), (Bounds{0, 0, 575, 100}));
    form->setClientSize(-5, 0);
    EXPECT_EQ(form->clientBounds(), (Bounds{0, 0, 575, 100})) << "0 or less keeps";
}

TEST_F(Layout, ListViewStaysExactlyBetweenTopAndBottomPanels) {
    Window* form = createForm(*app, "Main");
    form->setClientSize(575, 293);
    Window* top = panelWithHeight(*form, Align::Top, 61);
    Window* list = createListView(*form, ListViewKind::Report, ListGridLines | ListFullRowSelect);
    list->setAlign(Align::Client);
    Window* bottom = panelWithHeight(*form, Align::Bottom, 27);

    EXPECT_EQ(top->bounds(), (Bounds{0, 0, 575, 61}));
    EXPECT_EQ(list->bounds(), (Bounds{0, 61, 575, 266}));
    EXPECT_EQ(bottom->bounds(), (Bounds{0, 266, 575, 293}));

    form->setClientSize(700, 400);
    EXPECT_EQ(list->bounds(), (Bounds{0, 61, 700, 373}));
    EXPECT_EQ(bottom->bounds(), (Bounds{0, 373, 700, 400}));

    // The user sizing the shown window: the bars keep their heights, the list follows.
    form->show();
    form->handle()->resize(640, 480);
    EXPECT_EQ(top->bounds(), (Bounds{0, 0, 640, 61}));
    EXPECT_EQ(list->bounds(), (Bounds{0, 61, 640, 453}));
    EXPECT_EQ(bottom->bounds(), (Bounds{0, 453, 640, 480}));
}

TEST_F(Layout, StatusBarIsTakenOffTheBottom) {
    Window* form = createForm(*app, "Main");
    form->setClientSize(400, 300);
    Window* bottom = panelWithHeight(*form, Align::Bottom, 27);
    Window* list = createListView(*form, ListViewKind::Report, 0);
    list->setAlign(Align::Client);
    form->setStatusText(SimpleStatusPart, " ");

    auto* bar = form->handle()->findChild<QStatusBar*>();
    ASSERT_NE(bar, nullptr);
    const int barHeight = bar->height();
    EXPECT_GT(barHeight, 0);
    EXPECT_EQ(bar->geometry(), QRect(0, 300 - barHeight, 400, barHeight));
    EXPECT_EQ(bottom->bounds(), (Bounds{0, 300 - barHeight - 27, 400, 300 - barHeight}));
    EXPECT_EQ(list->bounds().bottom, bottom->bounds().top);

    form->setStatusText(SimpleStatusPart, "LastSync: today");
    EXPECT_EQ(form->statusText(SimpleStatusPart), "LastSync: today");
    EXPECT_EQ(form->handle()->findChildren<QStatusBar*>().size(), 1) << "made once";
}

TEST_F(Layout, ThreePassesWithSpacing) {
    Window* form = createForm(*app, "Spaced");
    form->setClientSize(300, 200);
    form->setSpacing(8);
    // Created in an order the passes must put right: client first, then left, then top.
    Window* client = createPanel(*form, PanelEdge::None);
    client->setAlign(Align::Client);
    Window* left = createPanel(*form, PanelEdge::None);
    left->resize(50, 0);
    left->setAlign(Align::Left);
    Window* right = createPanel(*form, PanelEdge::None);
    right->resize(40, 0);
    right->setAlign(Align::Right);
    Window* top = panelWithHeight(*form, Align::Top, 30);

    EXPECT_EQ(top->bounds(), (Bounds{8, 8, 292, 38}));
    EXPECT_EQ(left->bounds(), (Bounds{8, 46, 58, 192}));
    EXPECT_EQ(right->bounds(), (Bounds{252, 46, 292, 192}));
    EXPECT_EQ(client->bounds(), (Bounds{66, 46, 244, 192}));
}

TEST_F(Layout, NegativeSizesBecomeZeroAndHiddenChildrenAreSkipped) {
    Window* form = createForm(*app, "Tight");
    form->setClientSize(100, 50);
    Window* hidden = panelWithHeight(*form, Align::Top, 10);
    hidden->hide();
    Window* top = panelWithHeight(*form, Align::Top, 40);
    Window* bottom = panelWithHeight(*form, Align::Bottom, 40);
    Window* client = createPanel(*form, PanelEdge::None);
    client->setAlign(Align::Client);

    EXPECT_EQ(top->bounds(), (Bounds{0, 0, 100, 40})) << "the hidden panel takes no room";
    EXPECT_EQ(bottom->bounds(), (Bounds{0, 10, 100, 50}));
    EXPECT_EQ(client->bounds().height(), 0) << "-30 comes out as 0";
}

TEST_F(Layout, ChildrenAlignInTheClientAreaOfTheirParent) {
    Window* form = createForm(*app, "Nested");
    form->setClientSize(300, 200);
    Window* bar = createPanel(*form, PanelEdge::Sunken);
    bar->resize(0, 40);
    bar->setAlign(Align::Top);
    Window* label = createLabel(*bar, "progress");
    label->setAlign(Align::Client);

    const Bounds client = bar->clientBounds();
    EXPECT_LT(client.width(), 300) << "the sunken edge is not client area";
    EXPECT_EQ(label->bounds(), client);
    form->setClientSize(500, 0);
    EXPECT_EQ(label->bounds(), bar->clientBounds()) << "a resized child aligns its own";
    EXPECT_EQ(bar->clientBounds().width(), client.width() + 200);
}

TEST_F(Layout, CentreAFormOnTheScreenAndAControlInItsParent) {
    Window* form = createForm(*app, "Centred");
    form->setClientSize(300, 100);
    form->center();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form->bounds().left, (screen.width() - 300) / 2);
    EXPECT_EQ(form->bounds().top, (screen.height() - 100) / 2);

    Window* button = createButton(*form, "OK");
    button->center();
    EXPECT_EQ(button->bounds(), (Bounds{118, 39, 182, 61}));
}

TEST_F(Layout, NotResizableFormKeepsTheSizeTheProgramSets) {
    Window* form = createForm(*app, "Fixed");
    form->setResizable(false);
    form->setClientSize(200, 100);
    EXPECT_EQ(form->handle()->minimumSize(), QSize(200, 100));
    EXPECT_EQ(form->handle()->maximumSize(), QSize(200, 100));
    EXPECT_EQ(form->style() & StyleSizingBorder, 0u);
    EXPECT_FALSE(form->handle()->windowFlags() & Qt::WindowMaximizeButtonHint);
    form->setResizable(true);
    form->handle()->resize(250, 120);
    EXPECT_EQ(form->clientBounds(), (Bounds{0, 0, 250, 120}));
}

}  // namespace
}  // namespace ferry
