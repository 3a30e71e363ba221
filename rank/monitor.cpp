#include "rank/monitor.h"

#include "base/control_names.h"
#include "rank/listing.h"

namespace rankmoth::rank {

namespace {
using namespace base::names::main_window;
constexpr std::string_view kWindow = base::kMainWindow;
constexpr std::string_view kTimer = kMonitorTimer;
constexpr int kMinuteMs = 60000;
} // namespace

Text CountdownText(int minutesLeft) {
    static const Text kHead = " 本次已查询完成！  正在监测 -> 距下次查询还有: "_gbk;
    return kHead + TextOfInteger(minutesLeft) + Text(" Min");
}

Monitor::Monitor(RankQuery& query) : query_(query) {}

void Monitor::IntervalChanged() {
    static const Text kHint = "注意：自动查询间隔不能＜10分钟、不能＞600分钟！"_gbk;
    // Putting "10" back changes the box again; that change is ours.
    if (writingInterval_)
        return;
    base::Controls& c = query_.env().controls;
    const long long value = BoxInteger(c.GetText(kWindow, kIntervalBox));
    if (value < 10 || value > 600) {
        writingInterval_ = true;
        c.SetText(kWindow, kIntervalBox, Text("10"));
        writingInterval_ = false;
        query_.ShowHint(kHint, kIntervalBox);
        return;
    }
    query_.env().state.interval = static_cast<int>(value);
}

void Monitor::MonitorTick() {
    ++minutesCounted_;
    const int interval = query_.env().state.interval;
    query_.env().controls.SetStatusText(kWindow, kStatusBar, 1, CountdownText(interval - minutesCounted_));
    if (minutesCounted_ >= interval) {
        minutesCounted_ = 0;
        query_.RunRankQuery();
    }
}

void Monitor::ModeChanged() {
    base::Controls& c = query_.env().controls;
    if (c.IsChecked(kWindow, kAutomaticRadio)) {
        // A click on the radio button that is already selected switches nothing on: the countdown keeps its
        // count and its minute.
        if (c.TimerInterval(kWindow, kTimer) > 0)
            return;
        // The interval is otherwise only taken when the box is edited or a query starts; monitoring switched
        // on before either would count down from the empty state's 0 and query every minute.
        const long long value = BoxInteger(c.GetText(kWindow, kIntervalBox));
        if (value >= 10 && value <= 600)
            query_.env().state.interval = static_cast<int>(value);
        minutesCounted_ = 0;
        c.SetTimerInterval(kWindow, kTimer, kMinuteMs);
    } else if (c.IsChecked(kWindow, kManualRadio)) {
        c.SetTimerInterval(kWindow, kTimer, 0);
    }
}

} // namespace rankmoth::rank
