#pragma once

// Shared by the window layer's own sources; callers use window.h and the dialog headers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <QString>

#include "window/window.h"

class QDialog;

namespace ferry {

inline QString toQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string fromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

// A progress bar's range: fine enough for every pixel of any bar.
inline constexpr int ProgressSteps = 10000;

// Builds window objects around widgets the creation functions have prepared.
class WindowFactory {
  public:
    // Takes over `widget` (already a child widget of parent's) as the newest child of
    // `parent`, placed at (spacing, spacing) of the parent with the given size.
    static Window& adopt(Window& parent, WindowKind kind, QWidget* widget, std::int32_t width,
                         std::int32_t height, std::uint32_t style, std::uint32_t exStyle);
    // A form with the given owner; without one the caller owns it.
    static std::unique_ptr<Window> makeForm(Window* owner, std::string_view caption);
    static Window& adoptForm(Window& owner, std::unique_ptr<Window> form);
    static std::unique_ptr<Window> makeApplication(std::string_view caption);
};

// The window object a widget belongs to, or null.
Window* windowOf(const QObject* widget);

// Runs events until `finished` holds or the program is told to quit. wakeEventLoops
// makes every running wait look at its condition again.
void runEventsUntil(const std::function<bool()>& finished);
void wakeEventLoops();
void clearQuitRequest();

// The widget a dialog stands over: the owner when given, else the application's main
// form, else none.
QWidget* dialogParent(Window* owner);
// Shows a Qt dialog modally and waits for it; the result, or rejected when the program
// is told to quit meanwhile.
int runDialog(QDialog& dialog);

}  // namespace ferry
