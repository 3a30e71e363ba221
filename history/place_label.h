#pragma once

#include "base/pass_outcome.h"
#include "base/sort.h"

#include <string>
#include <string_view>

namespace rankmoth::history {

using base::kSortCount;
using base::PositionOf;
using base::SortIndex;

// How a place reads to a seller, in UTF-8: "第2页·上", "未找到", "未查完".
std::string PlaceLabel(base::ItemState state, int page, int slice);

// Seconds since the epoch as stored: ISO 8601 in UTC, "2026-12-08T11:40:06Z", so that text order is time order.
std::string IsoTime(base::Clock::time_point time);
// The reverse; false for anything but that exact form.
bool ParseIsoTime(std::string_view text, base::Clock::time_point& time);

} // namespace rankmoth::history
