#pragma once

#include "history/shop_comparison.h"

#include <QString>
#include <QWidget>

#include <vector>

class QChartView;
class QComboBox;
class QLabel;

namespace rankmoth::shell {

// The "店铺对比" view of the history page: for one listing of a watch at a time, each watched shop's share of
// the shops' total visibility per walk, a line per shop with the page's shop first and strongest. Nothing is
// worked out here: the points are history::CompareShops' walks through history::SharesOf, as the shared report
// draws them.
class ShopCompareView : public QWidget {
public:
    explicit ShopCompareView(QWidget* parent = nullptr);

    // The listings as CompareShops read them; none puts up the hint that the shop was never watched with
    // others. The listing picked before stays picked while it is still there.
    void setListings(std::vector<history::ListingVisibility> listings);
    // Nothing to draw, and `text` says why (a failed read, no history).
    void setHint(const QString& text);

    // "clothing / 连衣裙 · 潮流", the sub-category left out when there is none.
    static QString ListingCaption(const history::ListingVisibility& listing);

    QComboBox* listingChoice() const { return listingChoice_; }
    QChartView* chartView() const { return chart_; }
    QLabel* hint() const { return hint_; }

private:
    void ShowListing(int index);

    std::vector<history::ListingVisibility> listings_;
    QComboBox* listingChoice_;
    QChartView* chart_;
    QLabel* hint_;
    bool filling_ = false;
};

} // namespace rankmoth::shell
