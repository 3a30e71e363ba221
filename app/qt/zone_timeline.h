#pragma once

#include "app/history_view.h"

#include <QBrush>
#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

namespace rankmoth::shell {

// One item's zone timeline: a row per sort, a cell per pass in time order, coloured by the zone with the page
// number in it. A miss is grey; a failed or stopped pass is hatched and never coloured, so it cannot pass for a
// drop; a long pause shows as a break between cells.
class ZoneTimeline : public QWidget {
public:
    explicit ZoneTimeline(QWidget* parent = nullptr);

    void setRows(std::vector<history::TimelineRow> rows);
    // What the painter draws, for whoever needs to check a cell without reading pixels.
    const std::vector<history::TimelineRow>& rows() const { return rows_; }
    static QBrush CellBrush(const history::TimelineCell& cell);
    static QString CellText(const history::TimelineCell& cell);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<history::TimelineRow> rows_;
};

} // namespace rankmoth::shell
