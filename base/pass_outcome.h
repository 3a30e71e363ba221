#pragma once

#include "base/request_failure.h"
#include "base/text.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::base {

// What one listing walk found out about each item of a shop. Both front ends and the history store read it;
// nothing in it refers to a window.

enum class ItemState {
    Found,      // a hit on some page: the first hit's page and slice are kept
    NotFound,   // every page up to the limit, or to the listing's end, was read cleanly without a hit
    Incomplete, // not found, and some request of the pass failed or the pass was stopped
};

// The part of a listing page a slice stands for.
enum class Zone { None, Upper, Middle, Lower };

// Slices 1-3 upper, 4-6 middle, 7-10 lower; None outside 1..10.
constexpr Zone ZoneOfSlice(int slice) {
    if (slice < 1 || slice > 10)
        return Zone::None;
    return slice <= 3 ? Zone::Upper : slice <= 6 ? Zone::Middle : Zone::Lower;
}

// The stored and printed names: "found" / "not_found" / "incomplete", "upper" / "middle" / "lower" ("" for None).
std::string_view StateName(ItemState state);
std::string_view ZoneName(Zone zone);
// The reverse of StateName; false for an unknown name.
bool StateFromName(std::string_view name, ItemState& state);

// What a pass was asked to do.
struct PassRequest {
    Text shop;               // the shop ID
    std::string category;    // the listing's path word: "clothing", "shoes", ...
    Text subCategory;        // the sub-category entry as chosen, empty when none
    std::string sort;        // "pop", "hot30day" or "new"
    int pageLimit = 0;
};

using Clock = std::chrono::system_clock;

// (page - 1) * 10 + slice for a found item, 0 otherwise: the one number that orders places and that a chart plots.
constexpr int PositionOf(ItemState state, int page, int slice) {
    return state == ItemState::Found && page > 0 && slice > 0 ? (page - 1) * 10 + slice : 0;
}

struct ItemResult {
    Text itemId;
    Text title;
    ItemState state = ItemState::Incomplete;
    int page = 0;  // of the first hit; 0 unless found
    int slice = 0; // 1..10, of the first hit; 0 unless found
    int hits = 0;  // slices the title was found in
    Clock::time_point checkedAt{}; // the first hit, or the end of the pass when not found

    Zone zone() const { return state == ItemState::Found ? ZoneOfSlice(slice) : Zone::None; }
    int position() const { return PositionOf(state, page, slice); }
};

// One pass of the listing walk for one sort.
struct PassOutcome {
    PassRequest request;
    Clock::time_point started{};
    Clock::time_point finished{};
    int pagesWalked = 0;
    int requests = 0;       // listing pages and slices asked for
    int failedRequests = 0; // empty or timed-out answers, pages or slices without their markers
    bool stopped = false;   // the user (or a signal) stopped the walk before its end
    FailureTally failures;  // the failed requests by kind; its counts add up to failedRequests
    std::vector<ItemResult> items;
    // The watch run's walk this pass was cut from, shared by every shop's pass of it; empty for a pass of
    // one shop's own walk.
    std::string walkId;

    // A clean pass ran to its end with every request answered: only such a pass may serve as a baseline.
    bool clean() const { return !stopped && failedRequests == 0; }
};

} // namespace rankmoth::base
