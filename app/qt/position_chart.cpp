#include "app/qt/position_chart.h"

#include "app/history_view.h"
#include "app/qt/qt_controls.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

namespace rankmoth::shell {

namespace {
QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
} // namespace

void ReplaceChart(QChartView* view, QChart* chart) {
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

PositionChart::PositionChart(QWidget* parent) : QChartView(parent) {
    setObjectName("图表_排名曲线");
    setRenderHint(QPainter::Antialiasing);
    setChart(new QChart);
}

void PositionChart::setTimeline(const history::ItemTimeline& timeline, bool any) {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    if (!any) {
        ReplaceChart(this, chart);
        return;
    }

    std::vector<history::ChartPlan> plans;
    int worst = 0;
    qint64 first = 0, last = 0;
    for (const auto& points : timeline.sorts) {
        plans.push_back(history::PlanPositionChart(points));
        worst = std::max(worst, plans.back().worst);
    }
    const int band = history::MissBand(worst);
    const auto ms = [](base::Clock::time_point at) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    };
    const auto span = [&](qint64 t) {
        first = first == 0 ? t : std::min(first, t);
        last = std::max(last, t);
    };
    auto* notFound = new QScatterSeries;
    notFound->setName(QString::fromUtf8("未找到"));
    notFound->setMarkerSize(7);
    notFound->setColor(QColor(0xa0, 0xa0, 0xa0));
    notFound->setBorderColor(QColor(0xa0, 0xa0, 0xa0));
    auto* incomplete = new QScatterSeries;
    incomplete->setName(QString::fromUtf8("未查完"));
    incomplete->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    incomplete->setMarkerSize(8);
    incomplete->setBrush(QBrush(QColor(0x70, 0x70, 0x70), Qt::BDiagPattern));
    incomplete->setBorderColor(QColor(0x70, 0x70, 0x70));

    std::vector<QAbstractSeries*> series;
    for (std::size_t s = 0; s < plans.size(); ++s) {
        bool named = false;
        for (const auto& run : plans[s].runs) {
            // A run of one pass still needs a mark: a line of one point draws nothing.
            auto* line = new QLineSeries;
            line->setColor(QtControls::FromColour(base::kSortTable[s].chart));
            line->setPointsVisible(true);
            for (const history::ChartPoint& p : run) {
                line->append(static_cast<qreal>(ms(p.at)), p.position);
                span(ms(p.at));
            }
            line->setName(U(std::string(base::kSortTable[s].label)));
            if (named)
                line->setProperty("continued", true);
            named = true;
            series.push_back(line);
        }
        for (const history::ChartPoint& p : plans[s].notFound) {
            notFound->append(static_cast<qreal>(ms(p.at)), band);
            span(ms(p.at));
        }
        for (const history::ChartPoint& p : plans[s].incomplete) {
            incomplete->append(static_cast<qreal>(ms(p.at)), band);
            span(ms(p.at));
        }
    }
    series.push_back(notFound);
    series.push_back(incomplete);

    auto* x = new QDateTimeAxis;
    x->setFormat("MM-dd HH:mm");
    x->setTickCount(4);
    if (first > 0)
        x->setRange(QDateTime::fromMSecsSinceEpoch(first - 60000), QDateTime::fromMSecsSinceEpoch(last + 60000));
    auto* y = new QValueAxis;
    y->setReverse(true);
    const history::PositionAxis plan = history::PlanPositionAxis(band);
    y->setRange(plan.top, plan.bottom);
    // Ticks from position 1 on whole steps: evenly spread ticks would fall between positions, and "%d" would
    // print them as places the line never had.
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(1);
    y->setTickInterval(plan.step);
    y->setMinorTickCount(0);
    y->setLabelFormat("%d");
    y->setTitleText(QString::fromUtf8("位置"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : series) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // One legend entry per sort, not per run; no entry for a kind of point that is absent.
    for (QLegendMarker* marker : chart->legend()->markers()) {
        QAbstractSeries* owner = marker->series();
        const auto* scatter = qobject_cast<QScatterSeries*>(owner);
        if (owner->property("continued").toBool() || (scatter && scatter->count() == 0))
            marker->setVisible(false);
    }
    ReplaceChart(this, chart);
}

} // namespace rankmoth::shell
