#pragma once

// Window objects: the application window, forms and the standard controls, as a thin
// layer over Qt widgets. The program builds all its windows from these.
//
// Ownership: a window owns its children and the objects handed to ownObject, and
// releases them with itself (children first, newest first). The application window is
// owned by the caller of createAppWindow; everything else by its parent.
//
// Positions and sizes are pixels in the parent's client area; for forms, on the screen.
// Operations meant for one kind of control do nothing on another kind (reads give "",
// 0 or -1).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "window/window_styles.h"

class QIcon;
class QSize;
class QStatusBar;
class QWidget;

namespace ferry {

class Window;
class WindowBridge;

enum class WindowKind {
    Application,
    Form,
    Panel,
    Label,
    Button,
    CheckBox,
    EditBox,
    ComboBox,
    ListView,
    ProgressBar
};

struct Bounds {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    friend bool operator==(const Bounds&, const Bounds&) = default;
};

// One change of a list view row: rows from..to went from oldState to newState
// (ItemSelected, ItemFocused bits).
struct ItemStateChange {
    std::int32_t from = -1;
    std::int32_t to = -1;
    std::uint32_t oldState = 0;
    std::uint32_t newState = 0;
};

// Handlers receive the window they are set on. Unset handlers are skipped.
struct WindowEvents {
    using Handler = std::function<void(Window& sender)>;
    Handler click;
    // An edit box's text changed (also when set by the program); a combo box's text was
    // typed or the user chose an entry (not when the program selects one).
    Handler change;
    // The control lost the keyboard focus.
    Handler leave;
    // The user asks to close a form; clearing `accept` keeps it open.
    std::function<void(Window& sender, bool& accept)> close;
    // The window is about to go; its children and owned objects are still there.
    Handler destroy;
    Handler show;
    Handler hide;
    std::function<void(Window& sender, const ItemStateChange& change)> itemStateChange;
};

class Window {
  public:
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    WindowKind kind() const { return kind_; }
    Window* parent() const { return parent_; }
    const std::vector<std::unique_ptr<Window>>& children() const { return children_; }
    WindowEvents& events() { return events_; }
    // The Qt widget behind this window; never null.
    QWidget* handle() const { return widget_; }

    // Object name, so that tests and tools can find the control.
    void setName(std::string_view name);
    std::string name() const;

    std::string text() const;
    void setText(std::string_view text);
    void setEnabled(bool on);
    bool enabled() const;
    void show();
    void hide();
    // Whether the window itself is shown, ignoring hidden ancestors.
    bool visible() const;

    Bounds bounds() const;
    void moveTo(std::int32_t left, std::int32_t top);
    // A width or height of 0 keeps that dimension.
    void resize(std::int32_t width, std::int32_t height);
    Bounds clientBounds() const;
    // A width or height of 0 or less keeps that dimension.
    void setClientSize(std::int32_t width, std::int32_t height);
    // A form on the screen, a control in its parent's client area.
    void center();

    Align align() const { return align_; }
    void setAlign(Align align);
    std::int32_t spacing() const { return spacing_; }
    // Kept between aligned children and used as the start position of new controls.
    void setSpacing(std::int32_t pixels);
    void setAutoSize(bool on);
    void setWordWrap();

    Color color() const { return color_; }
    void setColor(Color color);
    void setFontHeight(std::int32_t pixels);
    void setFontName(std::string_view name);

    std::uint32_t style() const { return style_; }
    std::uint32_t exStyle() const { return exStyle_; }
    void setStyle(std::uint32_t bits);
    void setExStyle(std::uint32_t bits);
    // Off: no sizing border, no maximize box, the size stays as set by the program.
    void setResizable(bool on);
    // A form cannot be made smaller than this by the user.
    void setMinimumClientSize(std::int32_t width, std::int32_t height);
    // A null icon removes the form's icon.
    void setIcon(const QIcon& icon);

    std::int32_t tag() const { return tag_; }
    void setTag(std::int32_t tag) { tag_ = tag; }

    // Released with this window, after its children.
    template <class T>
    T& ownObject(std::unique_ptr<T> object) {
        T& owned = *object;
        owned_.push_back(std::shared_ptr<T>(std::move(object)));
        return owned;
    }

    // Item operations of a combo box and a list view (rows, column 0).
    std::int32_t addItem(std::string_view text);
    // -1 when the index is past the end; a negative index appends.
    std::int32_t insertItem(std::int32_t index, std::string_view text);
    void deleteItem(std::int32_t index);
    std::int32_t itemCount() const;
    std::string itemText(std::int32_t index) const;
    void clearItems();
    std::int32_t currentIndex() const;
    void setCurrentIndex(std::int32_t index);
    // First item equal to the text, ignoring letter case; -1 when none.
    std::int32_t findItemExact(std::string_view text) const;

    bool checked() const;
    void setChecked(bool on);

    // Progress bar: `done` of `total` filled; nothing filled while total is 0.
    void setProgress(std::uint64_t done, std::uint64_t total);
    // The text shortened in its middle, with "…", to fit `width` pixels in this
    // window's font.
    std::string elidedText(std::string_view text, std::int32_t width) const;

    // List view in report view.
    void addColumn(std::string_view caption, std::int32_t width, ColumnAlign align);
    std::int32_t addRow(std::string_view text);
    std::string cellText(std::int32_t row, std::int32_t column) const;
    void setCellText(std::int32_t row, std::int32_t column, std::string_view text);
    std::uint32_t rowData(std::int32_t row) const;
    void setRowData(std::int32_t row, std::uint32_t value);
    std::int32_t selectedRow() const;
    void selectRow(std::int32_t row);
    void ensureRowVisible(std::int32_t row);

    // Forms. The status bar appears on first use at the bottom, below aligned children.
    void setStatusText(std::int32_t index, std::string_view text);
    std::string statusText(std::int32_t index) const;
    // The control that gets the focus when the form is shown; by default the first
    // Tab stop among the form's own children.
    Window* focusedControl() const;
    void setFocusedControl(Window* control);
    Window* defaultButton() const { return defaultButton_; }
    Window* cancelButton() const { return cancelButton_; }
    // Enter pressed in the form presses the default button unless the focus is on
    // another button (a check box counts) or in a multi-line edit box; Esc presses the
    // cancel button wherever the focus is. Only visible and enabled buttons react.
    void setDefaultButton(Window* button);
    // For a label: Alt and a letter of its caption moves the focus to `control`.
    void setFocusTarget(Window* control);
    void setCancelButton(Window* button);
    std::int32_t modalResult() const { return modalResult_; }
    // Any value but 0 ends a modal loop running on this form.
    void setModalResult(std::int32_t result);
    // Asks a form to close as the user's close box does: its close handler decides, and
    // an accepted close of the main form tells the program to quit.
    void close();
    // Shows the form modally and returns its modal result: -1 when the user closed it,
    // 0 when the program was told to quit. The form stays visible; the caller hides it.
    std::int32_t runModal();

    // The application's first form, whose closing ends the program; null for others.
    Window* mainForm() const { return mainForm_; }

  private:
    friend class WindowBridge;
    friend class WindowFactory;
    friend void releaseWindow(Window* window);

    Window(WindowKind kind, Window* parent, QWidget* widget);

    bool isTopLevel() const {
        return kind_ == WindowKind::Form || kind_ == WindowKind::Application;
    }
    Window* form();
    QSize frameExtra() const;
    void setClientPixels(std::int32_t width, std::int32_t height);
    void setGeometryInParent(const Bounds& target);
    // After a change of size: the status bar and the aligned children follow.
    void sizeChanged();
    void alignChildren();
    Bounds alignmentArea() const;
    void applyStyle();
    void applyAutoSize();
    void applyFont();
    // A list view's rows as high as a line of its font, with a little room.
    void fitRowsToFont();
    bool pressIfUsable();
    // A modal form: the main form becomes its transient parent.
    void standOverMainForm();
    // Enter, Return or Esc received by this control; true when the form used it.
    bool handleDialogKey(int key);
    void forgetDescendant(Window* going);

    WindowKind kind_;
    Window* parent_;
    QWidget* widget_;
    std::unique_ptr<WindowBridge> bridge_;
    std::vector<std::unique_ptr<Window>> children_;
    std::vector<std::shared_ptr<void>> owned_;
    WindowEvents events_;

    std::uint32_t style_ = 0;
    std::uint32_t exStyle_ = 0;
    Color color_ = 0;
    std::int32_t fontHeight_ = 0;
    std::string fontName_;
    Align align_ = Align::None;
    std::int32_t spacing_ = 0;
    std::int32_t tag_ = 0;
    bool autoSize_ = false;

    // Forms.
    std::int32_t modalResult_ = 0;
    bool inModalRun_ = false;
    Window* defaultButton_ = nullptr;
    Window* cancelButton_ = nullptr;
    Window* focusedControl_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    std::int32_t minimumWidth_ = 0;
    std::int32_t minimumHeight_ = 0;
    // The application: its first form, whose closing ends the program.
    Window* mainForm_ = nullptr;
};

// Creation. Controls start at (spacing, spacing) of their parent with their kind's
// default size.
std::unique_ptr<Window> createAppWindow(std::string_view caption);
// A top-level form owned by `parent` (the application window). The first form of the
// application is its main form: closing it (when its close handler accepts) tells the
// program to quit.
Window* createForm(Window& parent, std::string_view caption);
Window* createPanel(Window& parent, PanelEdge edge);
Window* createLabel(Window& parent, std::string_view caption);
Window* createButton(Window& parent, std::string_view caption);
Window* createCheckBox(Window& parent, std::string_view caption);
Window* createEditBox(Window& parent, std::uint32_t options);
Window* createComboBox(Window& parent, std::uint32_t options);
Window* createListView(Window& parent, ListViewKind view, std::uint32_t options);
Window* createProgressBar(Window& parent);

// Takes a window from its parent and releases it with everything it owns. Null is
// ignored; the application window goes with its owner instead.
void releaseWindow(Window* window);

// The application window created last and still alive, or null.
Window* applicationWindow();

// Dispatches every event waiting and returns.
void processMessages();
// Runs `work` on a thread of its own while this, the window thread, goes on handling
// events (repaints, clicks, dialogs); returns when the work has ended, also after a quit
// request.
void runBesideWindows(const std::function<void()>& work);
// From any thread: runs `call` on the window thread and waits for it to return.
void callOnWindowThread(const std::function<void()>& call);
// From any thread: queues `call` for the window thread, dropped when `target` is gone
// before its turn.
void postToWindow(Window& target, std::function<void()> call);
// Tells the program to quit: ends every modal loop and runApplication.
void requestQuit();
bool quitRequested();
// Shows the main form, runs until the program is told to quit, then releases the
// application window with all its forms.
void runApplication(std::unique_ptr<Window> application);

}  // namespace ferry
