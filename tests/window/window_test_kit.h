#pragma once

// What the window tests share: a fresh application window per test, finding widgets by
// object name, and waiting for the event loop.

#include <functional>
#include <memory>

#include <gtest/gtest.h>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "window/dialog_script.h"
#include "window/window.h"

namespace ferry::testkit {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog_script::clear();
        app = createAppWindow("Ferryman");
    }
    void TearDown() override {
        app.reset();
        dialog_script::clear();
    }

    std::unique_ptr<Window> app;
};

// The visible top-level widget with this object name, or null.
inline QWidget* findTopLevel(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName() == QLatin1String(name)) return widget;
    }
    return nullptr;
}

// Runs `action` from the event loop once the current code waits in one (a modal loop).
inline void whenWaiting(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

// Like whenWaiting, but first waits until the top-level widget `name` is shown.
template <class Widget>
void whenShown(const char* name, std::function<void(Widget*)> action) {
    whenWaiting([name, action = std::move(action)] {
        ASSERT_TRUE(QTest::qWaitFor([name] { return findTopLevel(name) != nullptr; }, 2000))
            << name << " did not appear";
        auto* widget = qobject_cast<Widget*>(findTopLevel(name));
        ASSERT_NE(widget, nullptr) << name << " is no " << Widget::staticMetaObject.className();
        action(widget);
    });
}

}  // namespace ferry::testkit
