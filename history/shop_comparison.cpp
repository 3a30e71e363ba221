#include "history/shop_comparison.h"

#include "base/sort.h"
#include "history/place_label.h"
#include "history/report_model.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace rankmoth::history {

bool Period::Holds(const std::string& started) const {
    if (!since.empty() && started < since)
        return false;
    // A prefix compares below every longer text that starts with it, so an `until` of a day is cut one
    // character past its length to keep that day's passes.
    return until.empty() || started.compare(0, until.size(), until) <= 0;
}

base::Result<Period> CheckPeriod(const std::string& since, const std::string& until) {
    Period period;
    base::Clock::time_point ignored;
    const auto day = [&](const std::string& text) {
        return text.size() == 10 && ParseIsoTime(text + "T00:00:00Z", ignored);
    };
    for (const auto& [flag, text] : {std::pair{"--since", &since}, std::pair{"--until", &until}})
        if (!text->empty() && !day(*text) && !ParseIsoTime(*text, ignored))
            return base::Fail(std::string(flag) + " takes a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC), not \"" +
                              *text + "\"");
    period.since = day(since) ? since + "T00:00:00Z" : since;
    period.until = until;
    if (!since.empty() && !until.empty() && !period.Holds(period.since))
        return base::Fail("--until " + until + " comes before --since " + since + ": the period holds no time");
    return period;
}

namespace {

using ListingKey = std::tuple<std::string, std::string, std::string>;

struct Walk {
    ListingKey listing;
    std::string started;
    std::map<std::string, std::int64_t> passOfShop;
};

} // namespace

base::Result<std::vector<ListingVisibility>> CompareShops(Store& store, const std::string& shop,
                                                          const Period& period) {
    auto passes = store.Passes(PassFilter{});
    if (!passes.ok())
        return base::Fail(passes.error());

    std::set<std::string> ownWalks;
    for (const PassRow& pass : passes.value())
        if (pass.shop == shop && !pass.walkId.empty() && period.Holds(pass.started))
            ownWalks.insert(pass.walkId);
    if (ownWalks.empty())
        return std::vector<ListingVisibility>{};

    // One walk of a listing may serve a watch's shops under several passes (one per shop); the listing is
    // part of the key, as a walk ID names one run's walk of one listing.
    std::map<std::pair<std::string, ListingKey>, Walk> walks;
    std::map<std::string, std::set<std::int64_t>> passesOfShop;
    for (const PassRow& pass : passes.value()) {
        if (!ownWalks.count(pass.walkId))
            continue;
        const ListingKey listing{pass.category, pass.subCategory, pass.sort};
        Walk& walk = walks[{pass.walkId, listing}];
        walk.listing = listing;
        if (walk.started.empty() || pass.started < walk.started)
            walk.started = pass.started;
        walk.passOfShop[pass.shop] = pass.id;
        passesOfShop[pass.shop].insert(pass.id);
    }

    std::map<std::int64_t, std::vector<base::ItemResult>> resultsOfPass;
    for (const auto& shopPasses : passesOfShop) {
        const std::set<std::int64_t>& ids = shopPasses.second; // named, not bound: a lambda takes it
        auto read = store.ForEachExportRow(shopPasses.first, "", [&](const ExportRow& row) {
            if (ids.count(row.pass.id)) {
                base::ItemResult result;
                result.state = row.state;
                result.page = row.page;
                result.slice = row.slice;
                resultsOfPass[row.pass.id].push_back(result);
            }
            return true;
        });
        if (!read.ok())
            return base::Fail(read.error());
    }

    std::map<ListingKey, ListingVisibility> listings;
    for (const auto& [key, walk] : walks) {
        ListingVisibility& listing = listings[walk.listing];
        std::tie(listing.category, listing.subCategory, listing.sort) = walk.listing;
        for (const auto& [other, id] : walk.passOfShop)
            if (std::find(listing.shops.begin(), listing.shops.end(), other) == listing.shops.end())
                listing.shops.push_back(other);
    }
    for (auto& [key, listing] : listings) {
        std::sort(listing.shops.begin(), listing.shops.end(), [&](const std::string& a, const std::string& b) {
            return std::make_pair(a != shop, a) < std::make_pair(b != shop, b);
        });
    }
    for (const auto& [key, walk] : walks) {
        ListingVisibility& listing = listings[walk.listing];
        VisibilityPoint point{key.first, walk.started, std::vector<double>(listing.shops.size(), 0.0)};
        for (std::size_t k = 0; k < listing.shops.size(); ++k) {
            const auto pass = walk.passOfShop.find(listing.shops[k]);
            if (pass != walk.passOfShop.end())
                point.scores[k] = VisibilityOf(resultsOfPass[pass->second]);
        }
        listing.points.push_back(std::move(point));
    }

    std::vector<ListingVisibility> compared;
    for (auto& [key, listing] : listings) {
        std::stable_sort(listing.points.begin(), listing.points.end(),
                         [](const VisibilityPoint& a, const VisibilityPoint& b) { return a.started < b.started; });
        // A listing where the shop stood alone compares nothing.
        if (listing.shops.size() > 1)
            compared.push_back(std::move(listing));
    }
    // The sorts of a listing in the order the window shows them everywhere, not by their keys' spelling.
    std::stable_sort(compared.begin(), compared.end(), [](const ListingVisibility& a, const ListingVisibility& b) {
        const int sortA = base::SortIndex(a.sort), sortB = base::SortIndex(b.sort);
        return std::tie(a.category, a.subCategory, sortA) < std::tie(b.category, b.subCategory, sortB);
    });
    return compared;
}

} // namespace rankmoth::history
