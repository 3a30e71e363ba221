#pragma once

#include "history/report_model.h"
#include "history/shop_comparison.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::history::html {

// The pieces of the shared report's page, each a complete piece of markup; text goes through Markup.

std::string Head(const std::string& shop);
std::string Tail();

struct HeaderFacts {
    std::string shop;
    std::string firstPass, lastPass; // IsoTime
    std::size_t passes = 0, cleanPasses = 0, items = 0;
    std::optional<RunRow> lastRun;  // the history's latest run, when it recorded a pass of the period's
    std::string lastRunWithoutShop; // otherwise its start, IsoTime; empty without runs
    std::array<int, kSortCount> upperFirstPage{}; // items on page 1, upper part, per sort
    std::string generated; // IsoTime
};
std::string Header(const HeaderFacts& facts);

std::string MoversSection(const Movers& sincePrevious, const Movers& overWeek);

std::string ItemsOpening();
struct ItemFacts {
    std::string itemId, title;
    std::array<SortStanding, kSortCount> latest;
    std::string firstFound, lastFound; // IsoTime, empty when never
};
std::string ItemSection(const ItemFacts& item, const std::string& strip, std::size_t perColumn,
                        const std::string& sparkline);
std::string ItemsClosing();

// An item that no pass of the period found, and how many of the period's passes looked for it.
struct UnseenItem {
    std::string itemId, title;
    std::size_t passes = 0;
};
std::string UnseenSection(const std::vector<UnseenItem>& items);

struct CrossRow {
    std::string itemId, title;
    std::array<SortStanding, kSortCount> sorts;
};
std::string CrossSection(const std::vector<CrossRow>& rows);

std::string ShareSection(const std::vector<ListingVisibility>& listings);

// A stored time as the report prints it, in local time: "2026-12-09 14:05".
std::string LocalShort(const std::string& stored);

} // namespace rankmoth::history::html
