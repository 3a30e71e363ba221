#include "app/qt/event_wiring.h"

#include "app/qt/window_design.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

namespace rankmoth::shell {

namespace {
template <class W> W* Child(QWidget* window, std::string_view name) {
    return window->findChild<W*>(QtName(name));
}

void Wire(QWidget* w, const EventWire& wire) {
    const std::function<void()>& hook = wire.hook;
    switch (wire.signal) {
    case Signal::Clicked:
        if (auto* button = Child<QAbstractButton>(w, wire.control))
            QObject::connect(button, &QAbstractButton::clicked, w, hook);
        break;
    case Signal::Toggled:
        if (auto* button = Child<QAbstractButton>(w, wire.control))
            QObject::connect(button, &QAbstractButton::toggled, w, hook);
        break;
    case Signal::TextChanged:
        if (auto* edit = Child<QLineEdit>(w, wire.control))
            QObject::connect(edit, &QLineEdit::textChanged, w, hook);
        break;
    case Signal::EditingFinished:
        if (auto* edit = Child<QLineEdit>(w, wire.control))
            QObject::connect(edit, &QLineEdit::editingFinished, w, hook);
        break;
    case Signal::FocusIn:
    case Signal::FocusOut:
        // The control still takes the focus change itself.
        if (auto* control = Child<QWidget>(w, wire.control))
            OnEvent(control, wire.signal == Signal::FocusIn ? QEvent::FocusIn : QEvent::FocusOut, [hook](QEvent*) {
                hook();
                return false;
            });
        break;
    case Signal::ContextMenu:
        if (auto* control = Child<QWidget>(w, wire.control))
            QObject::connect(control, &QWidget::customContextMenuRequested, w, hook);
        break;
    case Signal::LeftPress:
        if (auto* control = Child<QWidget>(w, wire.control))
            OnEvent(control, QEvent::MouseButtonPress, [hook](QEvent* event) {
                if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                    return false;
                hook();
                return true;
            });
        break;
    case Signal::LinkActivated:
        if (auto* link = Child<QLabel>(w, wire.control))
            QObject::connect(link, &QLabel::linkActivated, w, hook);
        break;
    case Signal::Timeout:
        if (auto* timer = Child<QTimer>(w, wire.control))
            QObject::connect(timer, &QTimer::timeout, w, hook);
        break;
    }
}
} // namespace

void WireEvents(QWidget* window, const std::vector<EventWire>& wiring) {
    if (!window)
        return;
    for (const EventWire& wire : wiring)
        Wire(window, wire);
}

} // namespace rankmoth::shell
