#include "cli/schedule_plan.h"

#include <charconv>

namespace rankmoth::cli {

namespace {

using std::chrono::minutes;

constexpr long kMinutesPerDay = 24 * 60;

// The calendar expression for `every`, when the interval divides an hour or a day, or is whole days of
// one: such runs land on the same clock marks every day.
std::optional<std::string> CalendarOf(minutes every) {
    const long m = every.count();
    if (m < 60 && 60 % m == 0)
        return "*-*-* *:00/" + std::to_string(m) + ":00";
    if (m == 60)
        return "hourly";
    if (m % 60 == 0 && m < kMinutesPerDay && kMinutesPerDay % m == 0)
        return "*-*-* 00/" + std::to_string(m / 60) + ":00:00";
    if (m == kMinutesPerDay)
        return "daily";
    return std::nullopt;
}

} // namespace

std::optional<minutes> ParseEvery(const std::string& text, std::string& error) {
    long number = 0;
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), number);
    const std::string unit(end, text.data() + text.size());
    long factor = 0;
    if (unit == "min" || unit == "m")
        factor = 1;
    else if (unit == "h")
        factor = 60;
    else if (unit == "d")
        factor = kMinutesPerDay;
    // Up to a year: beyond it the number says nothing a person means, and the product cannot overflow.
    if (failed != std::errc() || end == text.data() || factor == 0 || number <= 0 ||
        number > 366L * kMinutesPerDay / factor) {
        error = "--every \"" + text + "\" is not an interval such as 30min, 1h, 6h or 1d";
        return std::nullopt;
    }
    const minutes every{number * factor};
    if (every < kShortestEvery) {
        error = "--every " + text + " is too often: runs must be at least " + std::to_string(kShortestEvery.count()) +
                " minutes apart";
        return std::nullopt;
    }
    return every;
}

std::string EveryDropIn(minutes every) {
    // The empty OnCalendar= clears the unit's hourly schedule before the new one is set. An interval that
    // lands on clock marks stays a calendar one, which Persistent= makes up for after the machine was off;
    // any other is counted from the timer's start and from each run, which systemd can express but cannot
    // make up for.
    std::string text =
        "# Written by rankmoth-cli schedule enable; schedule disable removes it.\n[Timer]\nOnCalendar=\n";
    if (const auto calendar = CalendarOf(every))
        return text + "OnCalendar=" + *calendar + "\n";
    const std::string span = std::to_string(every.count()) + "min";
    return text + "OnActiveSec=" + span + "\nOnUnitActiveSec=" + span + "\n";
}

std::optional<std::string> CrontabLine(std::optional<minutes> every, const std::string& program) {
    const long m = every ? every->count() : 60;
    std::string when;
    if (m < 60 && 60 % m == 0)
        when = "*/" + std::to_string(m) + " * * * *";
    else if (m == 60)
        when = "0 * * * *";
    else if (m % 60 == 0 && m < kMinutesPerDay && kMinutesPerDay % m == 0)
        when = "0 */" + std::to_string(m / 60) + " * * *";
    else if (m == kMinutesPerDay)
        when = "0 0 * * *";
    else
        return std::nullopt;
    return when + " nice -n 10 " + program + " track";
}

std::string DropInFolder(const base::LocationEnv& env) {
    std::string config;
    if (env.xdgConfigHome && env.xdgConfigHome[0] == '/')
        config = env.xdgConfigHome;
    else if (env.home && env.home[0] == '/')
        config = std::string(env.home) + "/.config";
    else
        return {};
    return config + "/systemd/user/rankmoth-track.timer.d";
}

} // namespace rankmoth::cli
