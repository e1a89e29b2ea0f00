// The message loop, modal loops and the quit request.

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include "window/window.h"
#include "window/window_internal.h"

namespace ferry {
namespace {

struct LoopState {
    std::vector<QEventLoop*> running;
    bool quit = false;
};

LoopState& loops() {
    static LoopState state;
    return state;
}

// While a form runs modally, a click on one of the forms it disabled brings it to the
// front, as the owner of a disabled window would.
class ForegroundKeeper : public QObject {
  public:
    ForegroundKeeper(QWidget* modal, std::vector<QPointer<QWidget>> disabled)
        : modal_(modal), disabled_(std::move(disabled)) {
        qApp->installEventFilter(this);
    }
    ~ForegroundKeeper() override {
        qApp->removeEventFilter(this);
        for (const QPointer<QWidget>& form : disabled_) {
            if (form) form->setEnabled(true);
        }
    }
    ForegroundKeeper(const ForegroundKeeper&) = delete;
    ForegroundKeeper& operator=(const ForegroundKeeper&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress || !watched->isWidgetType()) return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        const bool onDisabled = std::any_of(disabled_.begin(), disabled_.end(),
                                            [window](const auto& form) { return form == window; });
        if (onDisabled && modal_) {
            modal_->raise();
            modal_->activateWindow();
        }
        return false;
    }

  private:
    QPointer<QWidget> modal_;
    std::vector<QPointer<QWidget>> disabled_;
};

}  // namespace

void runEventsUntil(const std::function<bool()>& finished) {
    QEventLoop loop;
    loops().running.push_back(&loop);
    while (!finished() && !loops().quit) loop.exec();
    std::erase(loops().running, &loop);
}

void wakeEventLoops() {
    for (QEventLoop* loop : loops().running) loop->exit();
}

void clearQuitRequest() {
    loops().quit = false;
}

void requestQuit() {
    loops().quit = true;
    wakeEventLoops();
}

bool quitRequested() {
    return loops().quit;
}

void processMessages() {
    QCoreApplication::processEvents();
}

void runBesideWindows(const std::function<void()>& work) {
    std::atomic<bool> done = false;
    std::thread worker([&work, &done] {
        work();
        done = true;
        QMetaObject::invokeMethod(qApp, &wakeEventLoops, Qt::QueuedConnection);
    });
    runEventsUntil([&done] { return done.load(); });
    // Told to quit meanwhile: the work may still wait for a call on this thread.
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
}

void callOnWindowThread(const std::function<void()>& call) {
    if (QThread::currentThread() == qApp->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(qApp, call, Qt::BlockingQueuedConnection);
}

void postToWindow(Window& target, std::function<void()> call) {
    QMetaObject::invokeMethod(target.handle(), std::move(call), Qt::QueuedConnection);
}

void runApplication(std::unique_ptr<Window> application) {
    if (application == nullptr) return;
    // A program told to quit while it was being built does not show itself first.
    if (application->mainForm() != nullptr && !quitRequested()) application->mainForm()->show();
    runEventsUntil([] { return false; });
    application.reset();
}

std::int32_t Window::runModal() {
    if (kind_ != WindowKind::Form || inModalRun_) return -1;
    inModalRun_ = true;  // from now on a close request answers the loop
    QPointer<QWidget> previous = QApplication::activeWindow();
    std::vector<QPointer<QWidget>> disabled;
    if (parent_ != nullptr) {
        for (const auto& sibling : parent_->children_) {
            if (sibling.get() == this || !sibling->widget_->isEnabled()) continue;
            sibling->widget_->setEnabled(false);
            disabled.emplace_back(sibling->widget_);
        }
    }
    {
        ForegroundKeeper keeper(widget_, std::move(disabled));
        modalResult_ = 0;
        widget_->setEnabled(true);
        standOverMainForm();
        show();
        runEventsUntil([this] { return modalResult_ != 0; });
    }
    inModalRun_ = false;
    if (previous) previous->activateWindow();
    return modalResult_;
}

void Window::standOverMainForm() {
    QWidget* over = dialogParent(nullptr);
    if (over == nullptr || over == widget_) return;
    // Tied to the main window, a modal form cannot be minimized away from it or open
    // behind it, and the window manager moves the two together.
    widget_->winId();  // makes the native window that carries the tie
    widget_->windowHandle()->setTransientParent(over->windowHandle());
}

QWidget* dialogParent(Window* owner) {
    if (owner != nullptr) return owner->handle();
    // The application window itself is never on the screen; its main form stands for it.
    const Window* application = applicationWindow();
    const Window* main = application != nullptr ? application->mainForm() : nullptr;
    return main != nullptr && main->visible() ? main->handle() : nullptr;
}

int runDialog(QDialog& dialog) {
    bool finished = false;
    const QMetaObject::Connection done = QObject::connect(&dialog, &QDialog::finished, [&finished] {
        finished = true;
        wakeEventLoops();
    });
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    runEventsUntil([&finished] { return finished; });
    if (!finished) dialog.done(QDialog::Rejected);  // told to quit
    QObject::disconnect(done);
    return dialog.result();
}

}  // namespace ferry
