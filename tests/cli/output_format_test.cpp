// The text the command line prints: CSV quoting, zones, local time with its offset, terminal widths.
#include "cli/output_format.h"
#include "cli/pass_printer.h"
#include "history/history_report.h"
#include "tests/history/history_fixture.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <set>
#include <sstream>

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

base::PassOutcome FailedPass(const char* sort, std::vector<std::tuple<base::FailureKind, const char*, int>> failures) {
    base::PassOutcome pass = OnePass(base::ItemState::Incomplete, 0, 0, 0);
    pass.request.sort = sort;
    for (const auto& [kind, reason, count] : failures) {
        for (int i = 0; i < count; ++i)
            pass.failures.Add(kind, i == 0 ? reason : "a later reason");
    }
    return pass;
}

TEST(OutputFormatTest, FailuresAreCountedByKindWithTheirFirstReason) {
    using K = base::FailureKind;
    const auto refused = FailedPass("pop", {{K::Refused, "connection refused", 3}, {K::HttpStatus, "HTTP 503", 1}});
    const auto later =
        FailedPass("new", {{K::HttpStatus, "HTTP 429", 2}, {K::CutOff, "answer cut off after 812 of 4096 bytes", 1}});
    const auto json = nlohmann::ordered_json::parse(PassJson(refused));
    EXPECT_EQ(json["failures"].dump(), "[{\"kind\":\"refused\",\"reason\":\"connection refused\",\"count\":3},"
                                       "{\"kind\":\"http_status\",\"reason\":\"HTTP 503\",\"count\":1}]");
    EXPECT_EQ(nlohmann::json::parse(PassJson(OnePass(base::ItemState::Found, 1, 1, 1)))["failures"].dump(), "[]");
    // Once per run, not per request or per pass: the first reason of each kind with the run's count.
    const std::vector<std::string> want = {"3 requests failed: connection refused", "3 requests failed: HTTP 503",
                                           "1 request failed: answer cut off after 812 of 4096 bytes"};
    EXPECT_EQ(FailureLines({refused, later}), want);
}

TEST(OutputFormatTest, MarketplaceTextIsSafeInEveryFormat) {
    base::PassOutcome pass = OnePass(base::ItemState::Found, 1, 2, 1);
    pass.items[0].itemId = Text("=1+1");
    pass.items[0].title = Text::FromUtf8("@SUM(1)\x1B]0;pwned\x07");
    pass.items.push_back({Text("-9"), Text("\xFF\xFE"), base::ItemState::NotFound, 0, 0, 0, {}});
    const std::string row = CsvRow(pass, pass.items[0]);
    EXPECT_EQ(row.substr(0, row.find(",hot30day")), "\"'=1+1\",\"'@SUM(1)\x1B]0;pwned\x07\"");
    EXPECT_EQ(CsvRow(pass, pass.items[1]).substr(0, 5), "\"'-9\"");
    const std::string table = PassTable({pass});
    EXPECT_EQ(table.find_first_of("\x1B\x07"), std::string::npos) << table;
    EXPECT_NE(table.find("@SUM(1)\xEF\xBF\xBD]0;pwned\xEF\xBF\xBD"), std::string::npos) << table;
    const std::string json = PassJson(pass);
    EXPECT_TRUE(base::IsValidUtf8(json)) << json;
    EXPECT_TRUE(nlohmann::json::accept(json));
}

// The query's output and the history's export print one row contract: a result reads the same in both, and
// their JSON objects carry the same keys.
TEST(OutputFormatTest, QueryAndHistoryPrintTheSameRow) {
    testing::TempFolder dir;
    auto store = testing::Opened(testing::HistoryFile(dir));
    ASSERT_TRUE(store);
    base::PassOutcome pass = testing::Pass("pop", 0, {testing::Found("=1", 2, 5, "衬衫,长袖"), testing::Missing("7")});
    pass.items[0].checkedAt = testing::At(1);
    pass.items[1].checkedAt = pass.finished;
    ASSERT_GT(testing::Record(*store, pass), 0);

    std::ostringstream exported;
    ASSERT_TRUE(history::WriteExportCsv(*store, "8001", "", exported, false).ok());
    // The export lists a pass's results in item ID order.
    const std::string queried = history::ResultCsvHeader() + CsvRow(pass, pass.items[1]) + CsvRow(pass, pass.items[0]);
    std::istringstream a(exported.str()), b(queried);
    for (std::string fromHistory, fromQuery; std::getline(b, fromQuery);) {
        ASSERT_TRUE(std::getline(a, fromHistory));
        ASSERT_EQ(fromQuery.back(), '\r');
        fromQuery.pop_back();
        EXPECT_EQ(fromHistory.substr(0, fromQuery.size() + 1), fromQuery + ",") << "every line ends CRLF";
    }

    const auto keys = [](const nlohmann::json& object, std::initializer_list<const char*> without) {
        std::set<std::string> names;
        for (const auto& [key, value] : object.items())
            names.insert(key);
        for (const char* name : without)
            names.erase(name);
        return names;
    };
    const auto queryJson = nlohmann::json::parse(PassJson(pass));
    std::string printed;
    const auto filter = history::CheckHistoryQuery({"8001", "=1", "", ""});
    ASSERT_TRUE(filter);
    ASSERT_TRUE(history::PrintHistory(*store, filter.value(), OutputFormat::Jsonl, [&](std::string_view text) {
        printed += text;
        return true;
    }));
    const auto historyJson = nlohmann::json::parse(printed);
    EXPECT_EQ(keys(queryJson, {"failures", "items"}), keys(historyJson, {"pass_id", "result"}));
    EXPECT_EQ(keys(queryJson["items"][0], {}), keys(historyJson["result"], {}));
    EXPECT_EQ(queryJson["items"][0]["checked_at"], historyJson["result"]["checked_at"]);
}

} // namespace
} // namespace rankmoth::cli
