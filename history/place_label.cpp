#include "history/place_label.h"

namespace rankmoth::history {

int SortIndex(std::string_view sort) {
    for (int i = 0; i < kSortCount; ++i)
        if (kSorts[i] == sort)
            return i;
    return -1;
}

std::string PlaceLabel(base::ItemState, int, int) { return {}; }
std::string IsoTime(base::Clock::time_point) { return {}; }
bool ParseIsoTime(std::string_view, base::Clock::time_point&) { return false; }

} // namespace rankmoth::history
