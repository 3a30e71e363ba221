#pragma once

#include "base/pass_outcome.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rankmoth::history {

// An item's place in one pass; page and slice are 0 unless found.
struct Place {
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;

    friend bool operator==(const Place&, const Place&) = default;
};

// What one pass saw of one item under its sort.
struct PassObservation {
    std::int64_t passId = 0;
    std::string started; // the pass's start, IsoTime
    Place place;
    std::string checkedAt;
};

// What the store keeps per shop, item and sort, so the history page reads one row instead of every result.
struct Standing {
    std::int64_t passId = 0; // of the latest pass that looked for the item
    std::string started;
    Place latest;
    std::string checkedAt;
    // The latest earlier place that was not incomplete: a failed pass must never show as a drop.
    std::optional<Place> previous;
    int bestPosition = 0; // 0 while never found

    friend bool operator==(const Standing&, const Standing&) = default;
};

// The one rule both the pass writer and the rebuild move a standing on by; `held` is null for the first pass. A pass
// older than the one held (two writers, or a late arrival) leaves the standing as it is but still counts for the best
// position.
Standing AdvanceStanding(const Standing* held, const PassObservation& seen);

} // namespace rankmoth::history
