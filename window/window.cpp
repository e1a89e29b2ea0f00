#include "window/window.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

#include "window/window_bridge.h"
#include "window/window_internal.h"

namespace ferry {
namespace {

constexpr const char* WindowProperty = "ferryWindow";
// Above and below a list row's text.
constexpr int RowPadding = 6;

Window*& currentApplication() {
    static Window* application = nullptr;
    return application;
}

// A system colour index (the low byte of a colour with the high bit set) to the palette
// role that plays its part in Qt.
QPalette::ColorRole systemColorRole(std::uint32_t index) {
    switch (index) {
        case 5: return QPalette::Base;              // window background
        case 8: return QPalette::Text;              // window text
        case 13: return QPalette::Highlight;        // selection
        case 14: return QPalette::HighlightedText;  // selected text
        case 18: return QPalette::ButtonText;       // button text
        case 24: return QPalette::ToolTipBase;      // tool tip background
        default: return QPalette::Window;           // button face and the rest
    }
}

// The caption without its mnemonic marks ("&&" stands for a shown "&").
QString withoutMnemonic(const QString& caption) {
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        plain += caption[i];
    }
    return plain;
}

// Where the caption's mnemonic goes: the first word start, else the first letter, that
// is not taken yet; -1 when every one is.
qsizetype mnemonicPlace(const QString& caption, const QString& taken) {
    for (const bool wordStartsOnly : {true, false}) {
        for (qsizetype i = 0; i < caption.size(); ++i) {
            const bool wordStart = i == 0 || caption[i - 1].isSpace();
            const QChar letter = caption[i].toLower();
            if (letter.isLetterOrNumber() && !taken.contains(letter) &&
                (wordStart || !wordStartsOnly)) {
                return i;
            }
        }
    }
    return -1;
}

// A label that moves the focus to a control answers to Alt and a letter, as a button does.
QLabel* labelWithTarget(QWidget* widget) {
    auto* label = qobject_cast<QLabel*>(widget);
    return label != nullptr && label->buddy() != nullptr ? label : nullptr;
}

QString mnemonicCaption(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (QLabel* label = labelWithTarget(widget)) return label->text();
    return {};
}

void setMnemonicCaption(QWidget* widget, const QString& caption) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(caption);
    if (QLabel* label = labelWithTarget(widget)) label->setText(caption);
}

// Every button of the form, and every label leading to a control, answers to Alt and a
// letter of its caption that none before it took.
void giveMnemonics(QWidget* form) {
    QList<QWidget*> captioned;
    for (QWidget* widget : form->findChildren<QWidget*>())
        if (!mnemonicCaption(widget).isEmpty()) captioned.push_back(widget);
    QString taken;
    for (QWidget* widget : captioned) {
        const QString caption = mnemonicCaption(widget);
        const qsizetype mark = caption.indexOf('&');
        if (mark >= 0 && mark + 1 < caption.size()) taken += caption[mark + 1].toLower();
    }
    for (QWidget* widget : captioned) {
        QString caption = mnemonicCaption(widget);
        if (caption.contains('&')) continue;
        if (const qsizetype place = mnemonicPlace(caption, taken); place >= 0) {
            taken += caption[place].toLower();
            setMnemonicCaption(widget, caption.insert(place, '&'));
        }
    }
}

QColor toQColor(Color color) {
    if ((color & 0x80000000u) != 0) {
        return QApplication::palette().color(systemColorRole(color & 0xFFu));
    }
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

bool takesFocus(WindowKind kind) {
    return kind == WindowKind::Button || kind == WindowKind::CheckBox ||
           kind == WindowKind::EditBox || kind == WindowKind::ComboBox ||
           kind == WindowKind::ListView;
}

// Controls that paint their own text field get the colour there; the rest as background.
QPalette::ColorRole backgroundRole(WindowKind kind) {
    const bool field =
        kind == WindowKind::EditBox || kind == WindowKind::ComboBox || kind == WindowKind::ListView;
    return field ? QPalette::Base : QPalette::Window;
}

}  // namespace

Window* windowOf(const QObject* widget) {
    return widget == nullptr
               ? nullptr
               : static_cast<Window*>(widget->property(WindowProperty).value<void*>());
}

Window* applicationWindow() {
    return currentApplication();
}

Window::Window(WindowKind kind, Window* parent, QWidget* widget)
    : kind_(kind), parent_(parent), widget_(widget) {
    widget_->setProperty(WindowProperty, QVariant::fromValue(static_cast<void*>(this)));
    bridge_ = std::make_unique<WindowBridge>(*this);
}

Window::~Window() {
    if (events_.destroy) events_.destroy(*this);
    while (!children_.empty()) children_.pop_back();
    while (!owned_.empty()) owned_.pop_back();
    for (Window* up = parent_; up != nullptr; up = up->parent_) up->forgetDescendant(this);
    if (currentApplication() == this) {
        currentApplication() = nullptr;
        clearQuitRequest();
    }
    bridge_.reset();  // no events from a widget on its way out
    delete widget_;
}

void Window::forgetDescendant(Window* child) {
    if (defaultButton_ == child) defaultButton_ = nullptr;
    if (cancelButton_ == child) cancelButton_ = nullptr;
    if (focusedControl_ == child) focusedControl_ = nullptr;
    if (mainForm_ == child) mainForm_ = nullptr;
}

void releaseWindow(Window* window) {
    if (window == nullptr || window->parent_ == nullptr) return;
    auto& siblings = window->parent_->children_;
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [window](const auto& child) { return child.get() == window; });
    if (found == siblings.end()) return;
    std::unique_ptr<Window> going = std::move(*found);
    siblings.erase(found);
    going.reset();
}

Window* Window::form() {
    Window* window = this;
    while (window != nullptr && window->kind_ != WindowKind::Form) window = window->parent_;
    return window;
}

void Window::setName(std::string_view name) {
    widget_->setObjectName(toQt(name));
}

std::string Window::name() const {
    return fromQt(widget_->objectName());
}

std::string Window::text() const {
    if (isTopLevel()) return fromQt(widget_->windowTitle());
    if (QLabel* label = labelWithTarget(widget_)) return fromQt(withoutMnemonic(label->text()));
    if (auto* label = qobject_cast<QLabel*>(widget_)) return fromQt(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget_)) {
        return fromQt(withoutMnemonic(button->text()));
    }
    if (auto* line = qobject_cast<QLineEdit*>(widget_)) return fromQt(line->text());
    if (auto* area = qobject_cast<QTextEdit*>(widget_)) return fromQt(area->toPlainText());
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) return fromQt(combo->currentText());
    return "";
}

void Window::setText(std::string_view text) {
    const QString value = toQt(text);
    if (isTopLevel()) {
        widget_->setWindowTitle(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget_)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget_)) {
        button->setText(value);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget_)) {
        line->setText(value);
    } else if (auto* area = qobject_cast<QTextEdit*>(widget_)) {
        area->setPlainText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget_); combo && combo->isEditable()) {
        combo->setEditText(value);
    }
    applyAutoSize();
}

void Window::setEnabled(bool on) {
    widget_->setEnabled(on);
}

bool Window::enabled() const {
    return widget_->isEnabled();
}

void Window::show() {
    const bool wasHidden = widget_->isHidden();
    widget_->show();
    if (kind_ != WindowKind::Form) return;
    giveMnemonics(widget_);
    widget_->raise();
    widget_->activateWindow();
    if (Window* control = wasHidden ? focusedControl() : nullptr) {
        control->widget_->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void Window::hide() {
    widget_->hide();
}

bool Window::visible() const {
    return !widget_->isHidden();
}

void Window::setSpacing(std::int32_t pixels) {
    spacing_ = pixels;
    alignChildren();
}

void Window::setAutoSize(bool on) {
    autoSize_ = on;
    applyAutoSize();
}

void Window::applyAutoSize() {
    if (!autoSize_) return;
    const QSize hint = widget_->sizeHint();
    const Bounds now = bounds();
    auto* label = qobject_cast<QLabel*>(widget_);
    std::int32_t width = hint.width();
    std::int32_t height = kind_ == WindowKind::Button ? now.height() : hint.height();
    if (label != nullptr && label->wordWrap()) {
        // A wrapping label keeps its width and takes the height its lines need there.
        width = now.width();
        height = label->heightForWidth(width);
    }
    setGeometryInParent({now.left, now.top, now.left + width, now.top + height});
}

void Window::setWordWrap() {
    if (auto* label = qobject_cast<QLabel*>(widget_)) label->setWordWrap(true);
    applyAutoSize();
}

void Window::setColor(Color color) {
    color_ = color;
    QPalette palette = widget_->palette();
    palette.setColor(backgroundRole(kind_), toQColor(color));
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(backgroundRole(kind_) == QPalette::Window);
}

void Window::setFontHeight(std::int32_t pixels) {
    fontHeight_ = pixels;
    applyFont();
}

void Window::setFontName(std::string_view name) {
    fontName_ = std::string(name);
    applyFont();
}

void Window::applyFont() {
    // Only what was set is given, so the rest still comes from the parent.
    QFont font;
    if (!fontName_.empty()) font.setFamily(toQt(fontName_));
    if (fontHeight_ > 0) font.setPixelSize(fontHeight_);
    widget_->setFont(font);
    applyAutoSize();
}

void Window::fitRowsToFont() {
    auto* table = qobject_cast<QTableWidget*>(widget_);
    if (table == nullptr) return;
    table->verticalHeader()->setMinimumSectionSize(1);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + RowPadding);
}

void Window::setMinimumClientSize(std::int32_t width, std::int32_t height) {
    if (kind_ != WindowKind::Form) return;
    minimumWidth_ = width;
    minimumHeight_ = height;
    if ((style_ & StyleSizingBorder) != 0) widget_->setMinimumSize(width, height);
}

void Window::setStyle(std::uint32_t bits) {
    style_ = bits;
    applyStyle();
}

void Window::setExStyle(std::uint32_t bits) {
    exStyle_ = bits;
    applyStyle();
}

void Window::setResizable(bool on) {
    const std::uint32_t sizing = StyleSizingBorder | StyleMaximizeBox;
    setStyle(on ? style_ | sizing : style_ & ~sizing);
}

void Window::applyStyle() {
    if (kind_ == WindowKind::Form) {
        // A form that cannot be minimized is a dialog: desktops then keep it with its
        // main window instead of letting it hide behind or apart from it.
        const bool dialog = (style_ & StyleMinimizeBox) == 0;
        Qt::WindowFlags flags = (dialog ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
        if ((exStyle_ & ExStyleToolWindow) != 0) flags = Qt::Tool | Qt::CustomizeWindowHint;
        if ((style_ & StyleCaption) == StyleCaption) flags |= Qt::WindowTitleHint;
        if ((style_ & StyleSystemMenu) != 0) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        }
        if ((style_ & StyleMinimizeBox) != 0) flags |= Qt::WindowMinimizeButtonHint;
        if ((style_ & StyleMaximizeBox) != 0) flags |= Qt::WindowMaximizeButtonHint;
        if ((exStyle_ & ExStyleTopmost) != 0) flags |= Qt::WindowStaysOnTopHint;
        if (widget_->windowFlags() != flags) {
            // Qt hides a window whose flags change; a live one comes back at once.
            const bool wasVisible = widget_->isVisible();
            widget_->setWindowFlags(flags);
            if (wasVisible) widget_->show();
        }
        const QSize size = widget_->size();
        setClientPixels(size.width(), size.height());
        return;
    }
    if (takesFocus(kind_)) {
        widget_->setFocusPolicy((style_ & StyleTabStop) != 0 ? Qt::StrongFocus : Qt::ClickFocus);
    }
    const bool anyEdge =
        (exStyle_ & (ExStyleClientEdge | ExStyleDialogModalFrame | ExStyleStaticEdge)) != 0 ||
        (style_ & StyleBorder) != 0;
    if (auto* edit = qobject_cast<QLineEdit*>(widget_)) edit->setFrame(anyEdge);
    if (auto* frame = qobject_cast<QFrame*>(widget_); frame && kind_ != WindowKind::Label) {
        if ((exStyle_ & ExStyleClientEdge) != 0) {
            frame->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        } else if ((exStyle_ & ExStyleDialogModalFrame) != 0) {
            frame->setFrameStyle(QFrame::WinPanel | QFrame::Raised);
        } else if (anyEdge) {
            frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            frame->setLineWidth(1);
        } else {
            frame->setFrameStyle(QFrame::NoFrame);
        }
        alignChildren();  // the client area changed with the edge
    }
}

void Window::setIcon(const QIcon& icon) {
    if (!icon.isNull()) {
        widget_->setWindowIcon(icon);
        return;
    }
    // Qt would fall back to the program's icon; an empty picture shows none.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    widget_->setWindowIcon(QIcon(blank));
}

Window* Window::focusedControl() const {
    if (focusedControl_ != nullptr) return focusedControl_;
    for (const auto& child : children_) {
        if (takesFocus(child->kind_) && (child->style_ & StyleTabStop) != 0) return child.get();
    }
    return nullptr;
}

void Window::setFocusedControl(Window* control) {
    focusedControl_ = control;
}

void Window::setDefaultButton(Window* button) {
    // The default button shows that Enter presses it.
    if (auto* shown =
            defaultButton_ ? qobject_cast<QPushButton*>(defaultButton_->widget_) : nullptr)
        shown->setDefault(false);
    defaultButton_ = button;
    if (auto* shown = button ? qobject_cast<QPushButton*>(button->widget_) : nullptr)
        shown->setDefault(true);
}

void Window::setFocusTarget(Window* control) {
    if (auto* label = qobject_cast<QLabel*>(widget_))
        label->setBuddy(control != nullptr ? control->widget_ : nullptr);
}

void Window::setCancelButton(Window* button) {
    cancelButton_ = button;
}

void Window::setModalResult(std::int32_t result) {
    modalResult_ = result;
    if (result != 0) wakeEventLoops();
}

void Window::close() {
    if (kind_ == WindowKind::Form) widget_->close();
}

bool Window::pressIfUsable() {
    if (!widget_->isVisible() || !widget_->isEnabled()) return false;
    auto* button = qobject_cast<QAbstractButton*>(widget_);
    if (button == nullptr) return false;
    button->setFocus(Qt::ShortcutFocusReason);
    button->click();
    return true;
}

bool Window::handleDialogKey(int key) {
    Window* owner = form();
    if (owner == nullptr) return false;
    if (key == Qt::Key_Escape) {
        return owner->cancelButton_ != nullptr && owner->cancelButton_->pressIfUsable();
    }
    // Enter or Return, received by the control that has the focus.
    switch (kind_) {
        case WindowKind::Button: pressIfUsable(); return true;
        case WindowKind::CheckBox: return true;
        case WindowKind::EditBox:
            if (qobject_cast<QTextEdit*>(widget_) != nullptr) return false;
            break;
        default: break;
    }
    return owner->defaultButton_ != nullptr && owner->defaultButton_->pressIfUsable();
}

Window& WindowFactory::adopt(Window& parent, WindowKind kind, QWidget* widget, std::int32_t width,
                             std::int32_t height, std::uint32_t style, std::uint32_t exStyle) {
    parent.children_.push_back(std::unique_ptr<Window>(new Window(kind, &parent, widget)));
    Window& window = *parent.children_.back();
    window.style_ = style;
    window.exStyle_ = exStyle;
    window.applyStyle();
    const std::int32_t start = parent.spacing_;
    window.setGeometryInParent({start, start, start + width, start + height});
    widget->show();  // shown with its parent, as controls are by default
    return window;
}

std::unique_ptr<Window> WindowFactory::makeForm(Window* owner, std::string_view caption) {
    auto* widget = new QWidget(nullptr, Qt::Window);
    std::unique_ptr<Window> form(new Window(WindowKind::Form, owner, widget));
    form->style_ = StyleOverlappedWindow;
    form->exStyle_ = ExStyleWindowEdge;
    form->color_ = SystemColorButtonFace;
    form->setText(caption);
    widget->resize(64, 64);
    form->applyStyle();
    return form;
}

Window& WindowFactory::adoptForm(Window& owner, std::unique_ptr<Window> form) {
    if (owner.mainForm_ == nullptr) owner.mainForm_ = form.get();
    owner.children_.push_back(std::move(form));
    return *owner.children_.back();
}

std::unique_ptr<Window> WindowFactory::makeApplication(std::string_view caption) {
    // Each form shows on the task bar by itself here, so the application window is
    // never shown: it keeps the program's title and owns the forms.
    std::unique_ptr<Window> application(
        new Window(WindowKind::Application, nullptr, new QWidget(nullptr, Qt::Window)));
    application->style_ = StyleCaption | StyleSystemMenu | StyleMinimizeBox;
    application->exStyle_ = ExStyleAppWindow;
    application->setText(caption);
    return application;
}

std::unique_ptr<Window> createAppWindow(std::string_view caption) {
    // Closing windows never ends the program by itself; the main form's close does.
    QApplication::setQuitOnLastWindowClosed(false);
    std::unique_ptr<Window> application = WindowFactory::makeApplication(caption);
    currentApplication() = application.get();
    clearQuitRequest();
    return application;
}

Window* createForm(Window& parent, std::string_view caption) {
    return &WindowFactory::adoptForm(parent, WindowFactory::makeForm(&parent, caption));
}

}  // namespace ferry
