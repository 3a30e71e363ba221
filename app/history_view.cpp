#include "app/history_view.h"

#include <algorithm>
#include <ctime>

namespace rankmoth::app {

std::string SortLabel(std::string_view sort) {
    const auto known = base::SortOfKey(sort);
    return std::string(known ? base::EntryOf(*known).label : sort);
}

std::string ChangeText(const history::SortStanding& standing) {
    if (!standing.hasChange || standing.state != base::ItemState::Found)
        return {};
    if (standing.change == 0)
        return "=";
    return (standing.change > 0 ? "↑" : "↓") + std::to_string(standing.change > 0 ? standing.change : -standing.change);
}

std::string ShortLocalTime(const std::string& stored) {
    base::Clock::time_point at{};
    if (!history::ParseIsoTime(stored, at))
        return stored;
    const std::time_t t = base::Clock::to_time_t(at);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m-%d %H:%M", &local);
    return buffer;
}

int PlaceSortKey(const history::SortStanding& standing) {
    if (!standing.checked)
        return kUnplacedSortKey + 3;
    const int position = standing.position();
    if (position > 0)
        return position;
    return standing.state == base::ItemState::NotFound ? kUnplacedSortKey : kUnplacedSortKey + 1;
}

std::string BestPlaceText(int position) {
    if (position <= 0)
        return {};
    return history::PlaceLabel(base::ItemState::Found, (position - 1) / 10 + 1, (position - 1) % 10 + 1);
}

} // namespace rankmoth::app
