#pragma once

#include <string>
#include <string_view>

namespace rankmoth::base {

// The release is named once, as major.minor.patch (the package's and rankmoth-cli's form). The window and the
// notice service know it in older forms, derived here: the window shows major.minor ("1.1"), and the notice
// service compares one integer, major*100 + minor*10 + patch (110). That integer only orders releases while
// every part is a single digit (1.10.0 would give 200, the number of 2.0.0), so a version outside that
// range is refused rather than mapped.

namespace version_detail {
constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace version_detail

// The version's number for the notice service; 0 when `version` is not three single digits joined by dots
// (and for 0.0.0, which no release is).
constexpr long long VersionNumberOf(std::string_view version) {
    if (version.size() != 5 || version[1] != '.' || version[3] != '.')
        return 0;
    if (!version_detail::IsDigit(version[0]) || !version_detail::IsDigit(version[2]) ||
        !version_detail::IsDigit(version[4]))
        return 0;
    return (version[0] - '0') * 100 + (version[2] - '0') * 10 + (version[4] - '0');
}

// The window's form: the version up to its second dot; empty when the version has no number.
constexpr std::string_view WindowVersionOf(std::string_view version) {
    return VersionNumberOf(version) > 0 ? version.substr(0, 3) : std::string_view();
}

// Whether `date` is a calendar date written YYYY-MM-DD (the metainfo's and the package changelog's form).
constexpr bool IsReleaseDate(std::string_view date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-')
        return false;
    for (const std::size_t at : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
        if (!version_detail::IsDigit(date[at]))
            return false;
    }
    const int year = (date[0] - '0') * 1000 + (date[1] - '0') * 100 + (date[2] - '0') * 10 + (date[3] - '0');
    const int month = (date[5] - '0') * 10 + (date[6] - '0');
    const int day = (date[8] - '0') * 10 + (date[9] - '0');
    if (month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// The window's form of a release date: 2013-12-01 becomes 2013.12.1, without leading zeros; empty when
// `date` is not a release date.
std::string WindowDateOf(std::string_view date);

} // namespace rankmoth::base
