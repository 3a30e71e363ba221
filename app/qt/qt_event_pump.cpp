#include "app/qt/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <thread>

namespace rankmoth::shell {

namespace {
bool OnWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
} // namespace

void QtEventPump::PumpingWait(std::chrono::microseconds duration) {
    if (!OnWindowThread()) {
        std::this_thread::sleep_for(duration);
        return;
    }
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(duration);
    if (milliseconds.count() <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    loop.exec();
}

void QtEventPump::DispatchPending() {
    if (OnWindowThread())
        QCoreApplication::processEvents();
}

void QtEventPump::WaitForDoneOrEvents(const base::DoneSignal& done, std::chrono::milliseconds limit) {
    // Qt cannot block on "a signal or an event" at once, so the window thread waits in short slices and
    // returns; its caller dispatches and comes back.
    done.WaitFor(OnWindowThread() ? std::min(limit, kSlice) : limit);
}

std::chrono::milliseconds QtEventPump::Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace rankmoth::shell
