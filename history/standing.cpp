#include "history/standing.h"

#include "history/place_label.h"

namespace rankmoth::history {

namespace {

int Better(int a, int b) {
    if (a == 0)
        return b;
    if (b == 0)
        return a;
    return a < b ? a : b;
}

} // namespace

Standing AdvanceStanding(const Standing* held, const PassObservation& seen) {
    const int position = PositionOf(seen.place.state, seen.place.page, seen.place.slice);
    if (!held)
        return Standing{seen.passId, seen.started, seen.place, seen.checkedAt, std::nullopt, position};
    Standing next = *held;
    next.bestPosition = Better(held->bestPosition, position);
    const bool newer = seen.started > held->started || (seen.started == held->started && seen.passId > held->passId);
    if (!newer)
        return next;
    if (held->latest.state != base::ItemState::Incomplete)
        next.previous = held->latest;
    next.passId = seen.passId;
    next.started = seen.started;
    next.latest = seen.place;
    next.checkedAt = seen.checkedAt;
    return next;
}

} // namespace rankmoth::history
