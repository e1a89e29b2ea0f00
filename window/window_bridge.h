#pragma once

#include <QObject>

class QEvent;
class QItemSelection;

namespace ferry {

class Window;

// Turns the Qt events and signals of one window's widget into the window's events, and
// gives forms their keys (Enter, Esc) and close handling.
class WindowBridge : public QObject {
  public:
    explicit WindowBridge(Window& window);
    ~WindowBridge() override;
    WindowBridge(const WindowBridge&) = delete;
    WindowBridge& operator=(const WindowBridge&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void connectSignals();
    void reportSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void reportCurrent(int current, int previous);
    bool closeRequested(QEvent* event);

    Window& window_;
};

}  // namespace ferry
