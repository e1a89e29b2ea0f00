// Window geometry: bounds, sizes, the status bar and the alignment of children.

#include <algorithm>

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QWidget>

#include "window/window.h"
#include "window/window_internal.h"

namespace ferry {
namespace {

constexpr const char* StatusLabelName = "statusText";

QPoint clientOrigin(const QWidget* widget) {
    return widget->contentsRect().topLeft();
}

}  // namespace

QSize Window::frameExtra() const {
    return widget_->frameGeometry().size() - widget_->size();
}

Bounds Window::bounds() const {
    QRect area = isTopLevel() ? widget_->frameGeometry() : widget_->geometry();
    if (!isTopLevel()) area.translate(-clientOrigin(parent_->widget_));
    return {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

Bounds Window::clientBounds() const {
    const QRect client = widget_->contentsRect();
    return {0, 0, client.width(), client.height()};
}

void Window::moveTo(std::int32_t left, std::int32_t top) {
    const Bounds now = bounds();
    setGeometryInParent({left, top, left + now.width(), top + now.height()});
}

void Window::resize(std::int32_t width, std::int32_t height) {
    const Bounds now = bounds();
    if (width == 0) width = now.width();
    if (height == 0) height = now.height();
    setGeometryInParent({now.left, now.top, now.left + width, now.top + height});
}

void Window::setClientSize(std::int32_t width, std::int32_t height) {
    const Bounds now = bounds();
    const Bounds client = clientBounds();
    if (width > 0) width += now.width() - client.width();
    if (height > 0) height += now.height() - client.height();
    resize(std::max(width, 0), std::max(height, 0));
}

void Window::center() {
    const Bounds now = bounds();
    QRect area;
    if (isTopLevel()) {
        area = QGuiApplication::primaryScreen()->geometry();
    } else {
        const Bounds client = parent_->clientBounds();
        area = QRect(0, 0, client.width(), client.height());
    }
    moveTo(area.left() + (area.width() - now.width()) / 2,
           area.top() + (area.height() - now.height()) / 2);
}

void Window::setGeometryInParent(const Bounds& target) {
    const std::int32_t width = std::max(target.width(), 0);
    const std::int32_t height = std::max(target.height(), 0);
    if (isTopLevel()) {
        widget_->move(target.left, target.top);
        const QSize frame = frameExtra();
        setClientPixels(width - frame.width(), height - frame.height());
        return;
    }
    const QSize before = widget_->size();
    const QPoint origin = clientOrigin(parent_->widget_);
    widget_->setGeometry(origin.x() + target.left, origin.y() + target.top, width, height);
    if (widget_->size() != before) sizeChanged();
}

void Window::setClientPixels(std::int32_t width, std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if ((style_ & StyleSizingBorder) != 0) {
        widget_->setMinimumSize(minimumWidth_, minimumHeight_);
        widget_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        widget_->resize(width, height);
    } else {
        widget_->setFixedSize(width, height);  // the user cannot size it
    }
    sizeChanged();
}

void Window::sizeChanged() {
    if (statusBar_ != nullptr) {
        const std::int32_t height = statusBar_->sizeHint().height();
        statusBar_->setGeometry(0, widget_->height() - height, widget_->width(), height);
    }
    alignChildren();
}

Bounds Window::alignmentArea() const {
    Bounds area = clientBounds();
    if (statusBar_ != nullptr && !statusBar_->isHidden()) area.bottom -= statusBar_->height();
    return area;
}

void Window::setAlign(Align align) {
    align_ = align;
    if (parent_ != nullptr) parent_->alignChildren();
}

void Window::alignChildren() {
    if (kind_ == WindowKind::Application) return;
    Bounds area = alignmentArea();
    const std::int32_t s = spacing_;
    const auto inPass = [](Align align, int pass) {
        switch (pass) {
            case 0: return align == Align::Top || align == Align::Bottom;
            case 1: return align == Align::Left || align == Align::Right;
            default: return align == Align::Client;
        }
    };
    for (int pass = 0; pass < 3; ++pass) {
        for (const auto& child : children_) {
            if (!child->visible() || !inPass(child->align_, pass)) continue;
            const Bounds now = child->bounds();
            const std::int32_t w = now.width();
            const std::int32_t h = now.height();
            switch (child->align_) {
                case Align::Top:
                    child->setGeometryInParent(
                        {area.left + s, area.top + s, area.right - s, area.top + s + h});
                    area.top += s + h;
                    break;
                case Align::Bottom:
                    child->setGeometryInParent(
                        {area.left + s, area.bottom - s - h, area.right - s, area.bottom - s});
                    area.bottom -= s + h;
                    break;
                case Align::Left:
                    child->setGeometryInParent(
                        {area.left + s, area.top + s, area.left + s + w, area.bottom - s});
                    area.left += s + w;
                    break;
                case Align::Right:
                    child->setGeometryInParent(
                        {area.right - s - w, area.top + s, area.right - s, area.bottom - s});
                    area.right -= s + w;
                    break;
                default:
                    child->setGeometryInParent(
                        {area.left + s, area.top + s, area.right - s, area.bottom - s});
                    break;
            }
        }
    }
}

void Window::setStatusText(std::int32_t index, std::string_view text) {
    // Without parts set up the bar has one part, so part 0 and the simple bar are one.
    if (kind_ != WindowKind::Form || (index != 0 && index != SimpleStatusPart)) return;
    if (statusBar_ == nullptr) {
        statusBar_ = new QStatusBar(widget_);  // a Qt child: it goes with the form's widget
        statusBar_->setSizeGripEnabled(false);
        auto* label = new QLabel(statusBar_);
        label->setObjectName(StatusLabelName);
        statusBar_->addWidget(label, 1);
        statusBar_->show();
        sizeChanged();
    }
    statusBar_->findChild<QLabel*>(StatusLabelName)->setText(toQt(text));
}

std::string Window::statusText(std::int32_t index) const {
    if (statusBar_ == nullptr || (index != 0 && index != SimpleStatusPart)) return "";
    return fromQt(statusBar_->findChild<QLabel*>(StatusLabelName)->text());
}

}  // namespace ferry
