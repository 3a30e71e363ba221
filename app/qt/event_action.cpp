#include "app/qt/event_action.h"

#include <QEvent>

namespace rankmoth::shell {

EventAction::EventAction(QObject* target, int type, std::function<bool(QEvent*)> action)
    : QObject(target), type_(type), action_(std::move(action)) {
    target->installEventFilter(this);
}

bool EventAction::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == type_)
        return action_(event);
    return false;
}

void OnEvent(QObject* target, int type, std::function<bool(QEvent*)> action) {
    new EventAction(target, type, std::move(action));
}

} // namespace rankmoth::shell
