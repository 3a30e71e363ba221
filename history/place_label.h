#pragma once

#include "base/pass_outcome.h"

#include <string>
#include <string_view>

namespace rankmoth::history {

// The sorts a listing is walked under, in the order the history page and the reports show them.
inline constexpr std::string_view kSorts[] = {"pop", "hot30day", "new"};
inline constexpr int kSortCount = 3;
// The index of `sort` in kSorts, or -1.
int SortIndex(std::string_view sort);

// (page - 1) * 10 + slice for a found item, 0 otherwise: the one number that orders places.
constexpr int PositionOf(base::ItemState state, int page, int slice) {
    return state == base::ItemState::Found && page > 0 && slice > 0 ? (page - 1) * 10 + slice : 0;
}

// How a place reads to a seller, in UTF-8: "第2页·上", "未找到", "未查完".
std::string PlaceLabel(base::ItemState state, int page, int slice);

// Seconds since the epoch as stored: ISO 8601 in UTC, "2026-12-08T11:40:06Z", so that text order is time order.
std::string IsoTime(base::Clock::time_point time);
// The reverse; false for anything but that exact form.
bool ParseIsoTime(std::string_view text, base::Clock::time_point& time);

} // namespace rankmoth::history
