#include "history/place_label.h"

#include <cstdio>
#include <ctime>

namespace rankmoth::history {

std::string PlaceLabel(base::ItemState state, int page, int slice) {
    switch (state) {
    case base::ItemState::Found:
        break;
    case base::ItemState::NotFound:
        return "未找到";
    case base::ItemState::Incomplete:
        return "未查完";
    }
    std::string label = "第" + std::to_string(page) + "页";
    switch (base::ZoneOfSlice(slice)) {
    case base::Zone::Upper:
        return label + "·上";
    case base::Zone::Middle:
        return label + "·中";
    case base::Zone::Lower:
        return label + "·下";
    case base::Zone::None:
        break;
    }
    return label;
}

std::string IsoTime(base::Clock::time_point time) {
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

bool ParseIsoTime(std::string_view text, base::Clock::time_point& time) {
    // YYYY-MM-DDTHH:MM:SSZ, nothing looser: stored times must compare as text.
    static constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i])
            return false;
    }
    const auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    std::tm parts{};
    parts.tm_year = number(0, 4) - 1900;
    parts.tm_mon = number(5, 2) - 1;
    parts.tm_mday = number(8, 2);
    parts.tm_hour = number(11, 2);
    parts.tm_min = number(14, 2);
    parts.tm_sec = number(17, 2);
    if (parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_mday > 31 || parts.tm_hour > 23 || parts.tm_min > 59 ||
        parts.tm_sec > 60)
        return false;
    // Days from the civil date by arithmetic (what timegm computes, without its locking and normalising): the
    // report reads this for every result it draws. A day past the month's end runs into the next, as timegm's.
    const int year = parts.tm_year + 1900 - (parts.tm_mon < 2 ? 1 : 0);
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int month = parts.tm_mon + 1;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + parts.tm_mday - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
    const long long seconds = days * 86400 + parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec;
    time = base::Clock::from_time_t(static_cast<std::time_t>(seconds));
    return true;
}

} // namespace rankmoth::history
