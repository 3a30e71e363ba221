#include "app/qt/shop_compare_view.h"

#include "app/history_view.h"
#include "app/qt/position_chart.h"
#include "app/qt/window_design.h"
#include "base/control_names.h"
#include "history/report_model.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>

namespace rankmoth::shell {

namespace names = base::names::history_page;

namespace {
QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The page's shop in the blue every chart of the program opens with; the others in colours that stay apart
// from it and from each other, and lighter, so the eye finds the seller's own line first.
QPen ShopPen(std::size_t k) {
    if (k == 0)
        return QPen(QColor(0x2f, 0x6f, 0xd0), 3);
    static const std::array<QColor, 5> kOthers = {QColor(0xd0, 0x3a, 0x3a), QColor(0xe0, 0x9a, 0x0c),
                                                  QColor(0x2e, 0x9d, 0x4f), QColor(0x8e, 0x5a, 0xc8),
                                                  QColor(0x80, 0x80, 0x80)};
    return QPen(kOthers[(k - 1) % kOthers.size()], 1.6);
}
} // namespace

ShopCompareView::ShopCompareView(QWidget* parent) : QWidget(parent) {
    setObjectName(QtName(names::kCompareView));
    listingChoice_ = new QComboBox(this);
    listingChoice_->setObjectName(QtName(names::kCompareListing));
    listingChoice_->setAccessibleName(QString::fromUtf8("对比的榜单"));
    listingChoice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    chart_ = new QChartView(this);
    chart_->setObjectName(QtName(names::kCompareChart));
    chart_->setRenderHint(QPainter::Antialiasing);
    hint_ = new QLabel(this);
    hint_->setObjectName(QtName(names::kCompareHint));
    hint_->setAlignment(Qt::AlignCenter);

    auto* picker = new QHBoxLayout;
    picker->setContentsMargins(4, 4, 4, 0);
    picker->addWidget(listingChoice_);
    picker->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(picker);
    layout->addWidget(chart_, 1);
    layout->addWidget(hint_, 1);

    connect(listingChoice_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_)
            ShowListing(index);
    });
    setHint({});
}

QString ShopCompareView::ListingCaption(const history::ListingVisibility& listing) {
    QString caption = U(listing.category);
    if (!listing.subCategory.empty())
        caption += " / " + U(listing.subCategory);
    return caption + QString::fromUtf8(" · ") + U(app::SortLabel(listing.sort));
}

void ShopCompareView::setHint(const QString& text) {
    listings_.clear();
    filling_ = true;
    listingChoice_->clear();
    filling_ = false;
    ReplaceChart(chart_, new QChart);
    listingChoice_->setVisible(false);
    chart_->setVisible(false);
    hint_->setText(text);
    hint_->setVisible(true);
}

void ShopCompareView::setListings(std::vector<history::ListingVisibility> listings) {
    if (listings.empty()) {
        setHint(QString::fromUtf8("此店铺尚未与其他店铺一同监视（rankmoth-cli track）"));
        return;
    }
    const QString kept = listingChoice_->currentText();
    listings_ = std::move(listings);
    filling_ = true;
    listingChoice_->clear();
    for (const history::ListingVisibility& listing : listings_)
        listingChoice_->addItem(ListingCaption(listing));
    listingChoice_->setCurrentIndex(std::max(0, listingChoice_->findText(kept)));
    filling_ = false;
    hint_->setVisible(false);
    listingChoice_->setVisible(true);
    chart_->setVisible(true);
    ShowListing(listingChoice_->currentIndex());
}

void ShopCompareView::ShowListing(int index) {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    if (index < 0 || index >= static_cast<int>(listings_.size())) {
        ReplaceChart(chart_, chart);
        return;
    }
    const history::ListingVisibility& listing = listings_[static_cast<std::size_t>(index)];

    std::vector<QLineSeries*> lines;
    for (std::size_t k = 0; k < listing.shops.size(); ++k) {
        auto* line = new QLineSeries;
        line->setName(U(listing.shops[k]));
        line->setPen(ShopPen(k));
        // A walk is one reading, not a stretch of time: each shows as a mark on the line.
        line->setPointsVisible(true);
        // The walk nearest the pointer, in figures: a share read off the axis is a guess.
        connect(line, &QLineSeries::hovered, this, [this, line](const QPointF& at, bool entered) {
            const QList<QPointF> points = line->points();
            if (!entered || points.isEmpty()) {
                QToolTip::hideText();
                return;
            }
            const QPointF walk = *std::min_element(points.begin(), points.end(), [&](QPointF a, QPointF b) {
                return std::abs(a.x() - at.x()) < std::abs(b.x() - at.x());
            });
            QToolTip::showText(
                QCursor::pos(),
                QString("%1 · %2 · %3%")
                    .arg(line->name(),
                         QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(walk.x())).toString("MM-dd HH:mm"))
                    .arg(walk.y(), 0, 'f', 1),
                chart_);
        });
        lines.push_back(line);
    }
    qint64 first = 0, last = 0;
    for (const history::VisibilityPoint& point : listing.points) {
        const QDateTime at = QDateTime::fromString(U(point.started), Qt::ISODate);
        if (!at.isValid())
            continue;
        const qint64 ms = at.toMSecsSinceEpoch();
        first = first == 0 ? ms : std::min(first, ms);
        last = std::max(last, ms);
        const std::vector<double> shares = history::SharesOf(point.scores);
        for (std::size_t k = 0; k < lines.size() && k < shares.size(); ++k)
            lines[k]->append(static_cast<qreal>(ms), shares[k] * 100.0);
    }

    auto* x = new QDateTimeAxis;
    x->setFormat("MM-dd HH:mm");
    x->setTickCount(4);
    if (first > 0)
        x->setRange(QDateTime::fromMSecsSinceEpoch(first - 60000), QDateTime::fromMSecsSinceEpoch(last + 60000));
    auto* y = new QValueAxis;
    y->setRange(0, 100);
    y->setTickCount(6);
    y->setMinorTickCount(0);
    y->setLabelFormat("%d%%");
    y->setTitleText(QString::fromUtf8("曝光份额"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* line : lines) {
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
    }
    ReplaceChart(chart_, chart);
}

} // namespace rankmoth::shell
