// Creation of the standard controls with their default sizes and styles.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QValidator>

#include "window/window.h"
#include "window/window_internal.h"

namespace ferry {
namespace {

constexpr std::int32_t DefaultSize = 64;
constexpr std::int32_t TextHeight = 22;

// Case folding and digits-only typing of a single-line edit box.
class EditValidator : public QValidator {
  public:
    EditValidator(std::uint32_t options, QObject* parent) : QValidator(parent), options_(options) {}

    State validate(QString& input, int& /*position*/) const override {
        if ((options_ & EditUpperCase) != 0) input = input.toUpper();
        if ((options_ & EditLowerCase) != 0) input = input.toLower();
        if ((options_ & EditDigitsOnly) != 0) {
            for (const QChar character : input) {
                if (!character.isDigit()) return Invalid;
            }
        }
        return Acceptable;
    }

  private:
    std::uint32_t options_;
};

QWidget* makeSingleLineEdit(QWidget* parent, std::uint32_t options) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly((options & EditReadOnly) != 0);
    if ((options & EditPassword) != 0) edit->setEchoMode(QLineEdit::Password);
    if ((options & (EditUpperCase | EditLowerCase | EditDigitsOnly)) != 0) {
        edit->setValidator(new EditValidator(options, edit));
    }
    return edit;
}

QWidget* makeMultiLineEdit(QWidget* parent, std::uint32_t options) {
    auto* edit = new QTextEdit(parent);
    edit->setAcceptRichText(false);
    edit->setReadOnly((options & EditReadOnly) != 0);
    edit->setTabChangesFocus((options & EditWantTab) == 0);
    // Without horizontal scrolling the lines wrap at the control's width.
    const bool wraps = (options & EditNoHorizontalScroll) != 0;
    edit->setLineWrapMode(wraps ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    edit->setHorizontalScrollBarPolicy(wraps ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    const bool scrollsDown = (options & EditNoVerticalScroll) == 0;
    edit->setVerticalScrollBarPolicy(scrollsDown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    return edit;
}

}  // namespace

Window* createPanel(Window& parent, PanelEdge edge) {
    const std::uint32_t exStyle = edge == PanelEdge::Raised   ? ExStyleDialogModalFrame
                                  : edge == PanelEdge::Sunken ? ExStyleClientEdge
                                                              : 0;
    return &WindowFactory::adopt(parent, WindowKind::Panel, new QFrame(parent.handle()), 100, 100,
                                 0, exStyle);
}

Window* createLabel(Window& parent, std::string_view caption) {
    auto* label = new QLabel(toQt(caption), parent.handle());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return &WindowFactory::adopt(parent, WindowKind::Label, label, DefaultSize, TextHeight, 0, 0);
}

Window* createButton(Window& parent, std::string_view caption) {
    auto* button = new QPushButton(toQt(caption), parent.handle());
    button->setAutoDefault(false);  // Enter is the form's business
    return &WindowFactory::adopt(parent, WindowKind::Button, button, DefaultSize, TextHeight,
                                 StyleTabStop, 0);
}

Window* createCheckBox(Window& parent, std::string_view caption) {
    return &WindowFactory::adopt(parent, WindowKind::CheckBox,
                                 new QCheckBox(toQt(caption), parent.handle()), 72, DefaultSize,
                                 StyleTabStop, 0);
}

Window* createEditBox(Window& parent, std::uint32_t options) {
    const bool multiLine = (options & EditMultiLine) != 0;
    QWidget* edit = multiLine ? makeMultiLineEdit(parent.handle(), options)
                              : makeSingleLineEdit(parent.handle(), options);
    return &WindowFactory::adopt(parent, WindowKind::EditBox, edit, multiLine ? 200 : 100,
                                 multiLine ? 200 : TextHeight, StyleTabStop, ExStyleClientEdge);
}

Window* createComboBox(Window& parent, std::uint32_t options) {
    auto* combo = new QComboBox(parent.handle());
    combo->setEditable((options & ComboDropDownList) == 0);
    combo->setInsertPolicy(QComboBox::NoInsert);  // typing never adds entries by itself
    combo->setMaxVisibleItems(8);
    if (combo->isEditable()) combo->setCompleter(nullptr);
    return &WindowFactory::adopt(parent, WindowKind::ComboBox, combo, DefaultSize, DefaultSize,
                                 StyleTabStop, 0);
}

Window* createListView(Window& parent, ListViewKind /*view*/, std::uint32_t options) {
    // Every view shows as the report view, the only one the program uses.
    auto* table = new QTableWidget(parent.handle());
    table->setShowGrid((options & ListGridLines) != 0);
    table->setSelectionBehavior((options & ListFullRowSelect) != 0
                                    ? QAbstractItemView::SelectRows
                                    : QAbstractItemView::SelectItems);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setStretchLastSection(false);
    return &WindowFactory::adopt(parent, WindowKind::ListView, table, DefaultSize, DefaultSize,
                                 StyleTabStop, ExStyleClientEdge);
}

Window* createProgressBar(Window& parent) {
    auto* bar = new QProgressBar(parent.handle());
    bar->setRange(0, ProgressSteps);
    bar->setValue(0);
    bar->setTextVisible(false);  // the progress line says how far
    return &WindowFactory::adopt(parent, WindowKind::ProgressBar, bar, DefaultSize, TextHeight, 0,
                                 0);
}

}  // namespace ferry
