#include "history/change_alerts.h"

#include "history/place_label.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace rankmoth::history {

namespace {

bool OnPage1(base::ItemState state, int page) {
    return state == base::ItemState::Found && page == 1;
}

// A not-found item stands somewhere past the last page the walk was allowed to read.
int PageOrBeyond(base::ItemState state, int page, int pageLimit) {
    return state == base::ItemState::Found ? page : pageLimit + 1;
}

// Cuts a UTF-8 title to `limit` characters so five lines still fit a balloon.
std::string Shortened(const std::string& text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == limit)
            return text.substr(0, i) + "…";
    }
    return text;
}

} // namespace

std::vector<ChangeAlert> ChangeAlerts(const base::PassOutcome& pass, const Baseline* baseline, int minPages) {
    std::vector<ChangeAlert> alerts;
    if (!baseline || !pass.clean())
        return alerts;
    minPages = std::max(minPages, 1);
    std::unordered_map<std::string, const BaselineItem*> before;
    for (const BaselineItem& item : baseline->items)
        before.emplace(item.itemId, &item);
    const int limitNow = pass.request.pageLimit > 0 ? pass.request.pageLimit : pass.pagesWalked;
    const int limitThen = baseline->pageLimit > 0 ? baseline->pageLimit : limitNow;

    for (const base::ItemResult& item : pass.items) {
        if (item.state == base::ItemState::Incomplete)
            continue;
        const auto found = before.find(item.itemId.ToUtf8());
        if (found == before.end() || found->second->state == base::ItemState::Incomplete)
            continue;
        const BaselineItem& then = *found->second;
        ChangeAlert alert{then.itemId, item.title.ToUtf8(), AlertKind::Moved, then.state, then.page,
                          then.slice,  item.state,          item.page,        item.slice};
        const bool was1 = OnPage1(then.state, then.page);
        const bool is1 = OnPage1(item.state, item.page);
        if (!was1 && is1)
            alert.kind = AlertKind::EnteredPage1;
        else if (was1 && !is1)
            alert.kind = AlertKind::LeftPage1;
        else if (was1 && is1) {
            if (base::ZoneOfSlice(then.slice) == base::ZoneOfSlice(item.slice))
                continue;
            alert.kind = AlertKind::ZoneChanged;
        } else {
            if (then.state == base::ItemState::NotFound && item.state == base::ItemState::NotFound)
                continue;
            const int from = PageOrBeyond(then.state, then.page, limitThen);
            const int to = PageOrBeyond(item.state, item.page, limitNow);
            if (std::abs(to - from) < minPages)
                continue;
        }
        alerts.push_back(std::move(alert));
    }
    return alerts;
}

std::string BalloonText(const std::vector<ChangeAlert>& alerts) {
    constexpr std::size_t kShown = 5;
    std::string text;
    for (std::size_t i = 0; i < alerts.size() && i < kShown; ++i) {
        const ChangeAlert& alert = alerts[i];
        if (!text.empty())
            text += '\n';
        text += alert.title.empty() ? alert.itemId : Shortened(alert.title, 20);
        text += ' ' + PlaceLabel(alert.fromState, alert.fromPage, alert.fromSlice) + " → " +
                PlaceLabel(alert.toState, alert.toPage, alert.toSlice);
    }
    if (alerts.size() > kShown)
        text += "\n…等 " + std::to_string(alerts.size()) + " 个宝贝";
    return text;
}

} // namespace rankmoth::history
