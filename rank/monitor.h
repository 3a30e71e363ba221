#pragma once

#include "rank/rank_query.h"

namespace rankmoth::rank {

// " 本次已查询完成！  正在监测 -> 距下次查询还有: " + minutes left + " Min"
Text CountdownText(int minutesLeft);

// The minute countdown that repeats the query every `QueryState::interval` minutes, and the interval box.
class Monitor {
public:
    explicit Monitor(RankQuery& query);

    // 编辑框_检索间隔 edited (the shell calls it when editing finishes): 10..600 becomes the interval;
    // anything else puts "10" back.
    void IntervalChanged();
    // 时钟_监测间隔 tick, once a minute.
    void MonitorTick();
    // 单选框_自动监测 / 单选框_手动查询: automatic monitoring ticks the timer once a minute from a count of 0.
    void ModeChanged();

    int minutesCounted() const { return minutesCounted_; }

private:
    RankQuery& query_;
    int minutesCounted_ = 0;
    bool writingInterval_ = false;
};

} // namespace rankmoth::rank
