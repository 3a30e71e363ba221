#include "base/version_scheme.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace rankmoth::base {
namespace {

TEST(VersionScheme, DerivesTheWindowsFormAndTheNoticeNumber) {
    struct Case {
        std::string_view version;
        long long number; // 0: refused
        std::string_view window;
    };
    const Case cases[] = {
        {"1.1.0", 110, "1.1"},
        {"1.1.1", 111, "1.1"},
        {"1.2.0", 120, "1.2"},
        {"2.0.0", 200, "2.0"},
        {"0.0.1", 1, "0.0"},
        // A two-digit part would give 1.10.0 the number of 2.0.0, so the notice service could no longer tell
        // an older release from a newer one.
        {"1.10.0", 0, ""},
        {"10.0.0", 0, ""},
        {"1.1.10", 0, ""},
        {"0.0.0", 0, ""},
        {"1.1", 0, ""},
        {"1.1.0-rc1", 0, ""},
        {"1-1-0", 0, ""},
        {"a.b.c", 0, ""},
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionNumberOf(c.version), c.number) << c.version;
        EXPECT_EQ(WindowVersionOf(c.version), c.window) << c.version;
    }
}

TEST(VersionScheme, WritesTheReleaseDateAsTheWindowDoes) {
    struct Case {
        std::string_view date;
        std::string window; // "": not a date
    };
    const Case cases[] = {
        {"2013-12-01", "2013.12.1"}, {"2026-01-09", "2026.1.9"},  {"2026-10-30", "2026.10.30"},
        {"2024-02-29", "2024.2.29"}, {"2000-02-29", "2000.2.29"}, {"1900-02-29", ""},
        {"2025-02-29", ""},          {"2026-04-31", ""},          {"2026-13-01", ""},
        {"2026-00-10", ""},          {"2026-01-00", ""},          {"2026-1-9", ""},
        {"2026/01/09", ""},          {"2026-01-09T00:00", ""},    {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowDateOf(c.date), c.window) << c.date;
        EXPECT_EQ(IsReleaseDate(c.date), !c.window.empty()) << c.date;
    }
}

} // namespace
} // namespace rankmoth::base
