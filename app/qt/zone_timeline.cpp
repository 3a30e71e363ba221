#include "app/qt/zone_timeline.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace rankmoth::shell {

namespace {
constexpr int kLabelWidth = 34;
constexpr int kCell = 26;
constexpr int kRowHeight = 24;
constexpr int kSpacing = 2;
constexpr int kBreak = 12;
constexpr int kTop = 4;
constexpr int kLegendHeight = 22;

QColor Rgb(std::uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

int RowWidth(const history::TimelineRow& row) {
    int width = 0;
    for (const history::TimelineCell& cell : row.cells)
        width += kCell + kSpacing + (cell.breakBefore ? kBreak : 0);
    return width;
}
} // namespace

ZoneTimeline::ZoneTimeline(QWidget* parent) : QWidget(parent) {
    setObjectName("时间线_区位");
    setAccessibleName("区位时间线");
}

void ZoneTimeline::setRows(std::vector<history::TimelineRow> rows) {
    rows_ = std::move(rows);
    updateGeometry();
    resize(sizeHint().expandedTo(parentWidget() ? parentWidget()->size() : QSize()));
    update();
}

bool ZoneTimeline::event(QEvent* event) {
    // The area it is shown in may grow (the page in a window of its own): the timeline grows with it, so its
    // background never stops short of the area's edge.
    if (event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    else if (event->type() == QEvent::ParentChange && parentWidget())
        parentWidget()->installEventFilter(this);
    return QWidget::event(event);
}

bool ZoneTimeline::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        resize(sizeHint().expandedTo(parentWidget()->size()));
    return QWidget::eventFilter(watched, event);
}

QBrush ZoneTimeline::CellBrush(const history::TimelineCell& cell) {
    if (cell.hatched())
        return QBrush(Rgb(history::kHatchColour), Qt::BDiagPattern);
    return QBrush(Rgb(history::ZoneColour(cell.zone, cell.state)));
}

QString ZoneTimeline::CellText(const history::TimelineCell& cell) {
    return cell.state == base::ItemState::Found ? QString::number(cell.page) : QString();
}

QSize ZoneTimeline::sizeHint() const {
    int width = 0;
    for (const history::TimelineRow& row : rows_)
        width = std::max(width, RowWidth(row));
    const int rows = static_cast<int>(rows_.size());
    return {kLabelWidth + width + 8, kTop + rows * (kRowHeight + kSpacing * 2) + kLegendHeight};
}

void ZoneTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    QFont small = font();
    small.setPixelSize(11);
    painter.setFont(small);

    int y = kTop;
    for (const history::TimelineRow& row : rows_) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(2, y, kLabelWidth - 4, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                         QString::fromStdString(app::SortLabel(row.sort)));
        int x = kLabelWidth;
        for (const history::TimelineCell& cell : row.cells) {
            if (cell.breakBefore) {
                // A pause much longer than usual: a dashed rule in its own space, so the eye never reads the two
                // neighbours as consecutive passes.
                painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1, Qt::DashLine));
                painter.drawLine(x + kBreak / 2 - 1, y - 1, x + kBreak / 2 - 1, y + kRowHeight + 1);
                x += kBreak;
            }
            const QRect box(x, y, kCell, kRowHeight);
            if (cell.hatched())
                painter.fillRect(box, palette().base());
            painter.fillRect(box, CellBrush(cell));
            painter.setPen(QColor(0xff, 0xff, 0xff, 0xa0));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            const QString text = CellText(cell);
            if (!text.isEmpty()) {
                painter.setPen(Qt::white);
                painter.drawText(box, Qt::AlignCenter, text);
            }
            x += kCell + kSpacing;
        }
        y += kRowHeight + kSpacing * 2;
    }

    // The legend: what each kind of cell means.
    struct Key {
        history::TimelineCell cell;
        const char* label;
    };
    const Key keys[] = {
        {{base::ItemState::Found, 1, base::Zone::Upper, {}, false}, "上"},
        {{base::ItemState::Found, 1, base::Zone::Middle, {}, false}, "中"},
        {{base::ItemState::Found, 1, base::Zone::Lower, {}, false}, "下"},
        {{base::ItemState::NotFound, 0, base::Zone::None, {}, false}, "未找到"},
        {{base::ItemState::Incomplete, 0, base::Zone::None, {}, false}, "未查完"},
    };
    int x = kLabelWidth;
    const int ly = y + 4;
    for (const Key& key : keys) {
        const QRect swatch(x, ly + 2, 12, 10);
        painter.fillRect(swatch, palette().base());
        painter.fillRect(swatch, CellBrush(key.cell));
        painter.setPen(palette().color(QPalette::Text));
        const QString label = QString::fromUtf8(key.label);
        painter.drawText(QPoint(x + 15, ly + 11), label);
        x += 22 + painter.fontMetrics().horizontalAdvance(label);
    }
    painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1, Qt::DashLine));
    painter.drawLine(x + 2, ly, x + 2, ly + 14);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPoint(x + 8, ly + 11), QString::fromUtf8("间断"));
}

} // namespace rankmoth::shell
