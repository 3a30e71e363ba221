#pragma once

#include "history/history_store.h"

#include <QChartView>

namespace rankmoth::shell {

// Shows `chart` in `view` and deletes the one it showed: a view lets go of its chart without deleting it, so
// every item or listing shown would leave one behind.
void ReplaceChart(QChartView* view, QChart* chart);

// One item's positions over time, a line per sort: found results joined in runs, and misses and unfinished
// passes as marks on a band below the worst position, so that none reads as a place.
class PositionChart : public QChartView {
public:
    explicit PositionChart(QWidget* parent = nullptr);

    // `any` false: no item, or no store to read it from; the chart is empty.
    void setTimeline(const history::ItemTimeline& timeline, bool any);
};

} // namespace rankmoth::shell
