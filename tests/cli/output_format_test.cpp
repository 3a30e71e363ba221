// The text the command line prints: CSV quoting, zones, local time with its offset, terminal widths.
#include "cli/output_format.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>

namespace rankmoth::cli {
namespace {

std::string InZone(const char* tz, std::time_t when) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", tz, 1);
    ::tzset();
    std::string text = IsoLocalTime(when);
    old ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
    return text;
}

base::PassOutcome OnePass(base::ItemState state, int page, int slice, int hits) {
    base::PassOutcome pass;
    pass.request = {Text("demo"), "clothing", {}, "hot30day", 3};
    pass.requests = 33;
    pass.failedRequests = state == base::ItemState::Incomplete ? 1 : 0;
    pass.items.push_back({Text("52000107"), "5\"寸 A,B款"_gbk, state, page, slice, hits, {}});
    return pass;
}

std::string RowWithoutTime(base::ItemState state, int page, int slice, int hits) {
    const auto pass = OnePass(state, page, slice, hits);
    const std::string row = CsvRow(pass, pass.items[0]);
    return row.substr(0, row.rfind(','));
}

TEST(OutputFormatTest, PrintedTextsMatchTheirFormats) {
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 8;
    when.tm_hour = 6;
    when.tm_min = 3;
    when.tm_sec = 5;
    const std::time_t utc = ::timegm(&when);
    using base::ItemState;
    const struct {
        const char* what;
        std::function<std::string()> got;
        std::string want;
    } cases[] = {
        {"plain field", [] { return CsvField("52000107"); }, "52000107"},
        {"empty field", [] { return CsvField(""); }, ""},
        {"comma", [] { return CsvField("A,B"); }, "\"A,B\""},
        {"quote doubled", [] { return CsvField("5\"寸"); }, "\"5\"\"寸\""},
        {"line break", [] { return CsvField("a\r\nb"); }, "\"a\r\nb\""},
        {"east of UTC", [&] { return InZone("CST-8", utc); }, "2026-12-08T14:03:05+08:00"},
        {"UTC", [&] { return InZone("UTC0", utc); }, "2026-12-08T06:03:05+00:00"},
        {"west, half hour", [&] { return InZone("<-0330>3:30", utc); }, "2026-12-08T02:33:05-03:30"},
        {"slice 3 upper", [] { return RowWithoutTime(ItemState::Found, 2, 3, 1); },
         "52000107,\"5\"\"寸 A,B款\",hot30day,found,2,3,upper,1"},
        {"slice 4 middle", [] { return RowWithoutTime(ItemState::Found, 1, 4, 2); },
         "52000107,\"5\"\"寸 A,B款\",hot30day,found,1,4,middle,2"},
        {"slice 7 lower", [] { return RowWithoutTime(ItemState::Found, 1, 7, 1); },
         "52000107,\"5\"\"寸 A,B款\",hot30day,found,1,7,lower,1"},
        {"not found: no place", [] { return RowWithoutTime(ItemState::NotFound, 0, 0, 0); },
         "52000107,\"5\"\"寸 A,B款\",hot30day,not_found,,,,0"},
        {"incomplete: no place", [] { return RowWithoutTime(ItemState::Incomplete, 0, 0, 0); },
         "52000107,\"5\"\"寸 A,B款\",hot30day,incomplete,,,,0"},
        {"json totals and an unplaced item",
         [] {
             const auto json = nlohmann::json::parse(PassJson(OnePass(ItemState::Incomplete, 0, 0, 0)));
             return json["sort"].dump() + json["requests"].dump() + json["failed_requests"].dump() +
                    json["items"][0]["page"].dump() + json["items"][0]["title"].dump();
         },
         "\"hot30day\"331null\"5\\\"寸 A,B款\""},
        {"width of CJK", [] { return std::to_string(DisplayWidth("ab衣服ｔ")); }, "8"},
        {"cut to width", [] { return FitWidth("复古衬衫 款号01", 8); }, "复古衬…"},
        {"fits uncut", [] { return FitWidth("复古衬衫", 8); }, "复古衬衫"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got(), c.want) << c.what;
}

} // namespace
} // namespace rankmoth::cli
