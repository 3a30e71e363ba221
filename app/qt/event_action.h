#pragma once

#include <QObject>

#include <functional>

class QEvent;

namespace rankmoth::shell {

// Runs an action for the events of one type that reach its parent, the target it filters.
class EventAction : public QObject {
public:
    EventAction(QObject* target, int type, std::function<bool(QEvent*)> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int type_;
    std::function<bool(QEvent*)> action_;
};

// Calls `action` for every event of `type` that reaches `target`; the event is left to the target unless
// `action` returns true.
void OnEvent(QObject* target, int type, std::function<bool(QEvent*)> action);

} // namespace rankmoth::shell
