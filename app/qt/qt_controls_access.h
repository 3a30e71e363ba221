#pragma once

// How QtControls reaches the window thread and its controls; for the files of the control layer only.

#include "app/qt/qt_controls.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThread>

#include <string>
#include <type_traits>

namespace rankmoth::shell {

inline QString Q(const Text& text) {
    return QString::fromStdString(text.ToUtf8());
}
inline Text T(const QString& text) {
    return Text::FromUtf8(text.toStdString());
}

template <class F> auto QtControls::Answer(F&& work) -> decltype(work()) {
    using R = decltype(work());
    if (QThread::currentThread() == context_->thread())
        return work();
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(context_, std::forward<F>(work), Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            context_, [&] { result = work(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

template <class F> void QtControls::Post(F&& work) {
    if (QThread::currentThread() == context_->thread())
        work();
    else
        QMetaObject::invokeMethod(context_, std::forward<F>(work), Qt::QueuedConnection);
}

template <class W, class F> void QtControls::Write(std::string_view window, std::string_view control, F&& action) {
    Post([this, w = std::string(window), c = std::string(control), action = std::forward<F>(action)]() mutable {
        if (auto* target = dynamic_cast<W*>(Find(w, c)))
            action(target);
    });
}

template <class W, class R, class F>
R QtControls::Read(std::string_view window, std::string_view control, R fallback, F&& read) {
    return Answer([&]() -> R {
        if (auto* target = dynamic_cast<W*>(Find(window, control)))
            return read(target);
        return fallback;
    });
}

} // namespace rankmoth::shell
