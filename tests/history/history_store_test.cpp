#include "history/history_report.h"
#include "history/history_store.h"
#include "history/pass_recorder.h"

#include "history_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

namespace rankmoth::history {
namespace {

using base::ItemState;
using namespace testing::history_cases;

std::vector<ExportRow> Export(Store& store, const std::string& shop, const std::string& itemId = {}) {
    std::vector<ExportRow> rows;
    const auto read = store.ForEachExportRow(shop, itemId, [&rows](const ExportRow& row) {
        rows.push_back(row);
        return true;
    });
    EXPECT_TRUE(read) << read.error();
    return rows;
}

// One shop's history as the tests below read it: an item moving under pop, found once under new, beside an
// item that is missed and then read incompletely.
class RecordedShop : public BackendCase {
protected:
    std::string PlaceFileName() const override { return "sub/folder/history.sqlite"; }
    void SetUp() override {
        BackendCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        store_ = Opened(location());
        ASSERT_TRUE(store_);
        ASSERT_GT(Record(*store_, Pass("pop", 0, {Found("100", 3, 5, "旧标题"), Missing("200")})), 0);
        base::PassOutcome stopped =
            Pass("pop", 60, {Found("100", 1, 2, "新标题"), Missing("200", ItemState::Incomplete)});
        stopped.stopped = true;
        stopped.items[0].hits = 3;
        stopped.items[0].checkedAt = testing::At(61);
        stoppedId_ = Record(*store_, stopped);
        ASSERT_GT(Record(*store_, Pass("new", 120, {Found("100", 6, 1)})), 0);
    }
    SortStanding StandingOf(const std::string& itemId, int sort) {
        for (const ItemSummary& summary : store_->ItemSummaries("8001").value_or({}))
            if (summary.itemId == itemId)
                return summary.sorts[static_cast<std::size_t>(sort)];
        return {};
    }

    std::unique_ptr<Store> store_;
    std::int64_t stoppedId_ = 0;
};

TEST_P(RecordedShop, ExportRowsCarryTheResultAndItsPass) {
    const auto rows = Export(*store_, "8001");
    ASSERT_EQ(rows.size(), 5u);
    const ExportRow& hit = rows[2];
    EXPECT_EQ(hit.itemId, "100");
    EXPECT_EQ(hit.title, "新标题"); // an empty later title does not replace it
    EXPECT_EQ(hit.state, ItemState::Found);
    EXPECT_EQ(std::tuple(hit.page, hit.slice, hit.hits), std::tuple(1, 2, 3));
    EXPECT_EQ(hit.checkedAt, "2025-12-01T01:01:00Z");
    EXPECT_EQ(hit.pass.id, stoppedId_);
    EXPECT_EQ(hit.pass.started, "2025-12-01T01:00:00Z");
    EXPECT_EQ(hit.pass.finished, "2025-12-01T01:02:00Z");
    EXPECT_EQ(hit.pass.category, "clothing");
    EXPECT_EQ(hit.pass.sort, "pop");
    EXPECT_EQ(std::tuple(hit.pass.pageLimit, hit.pass.requests, hit.pass.stopped), std::tuple(10, 40, true));
    EXPECT_EQ(std::tuple(hit.pass.items, hit.pass.found), std::tuple(2, 1));
    // A result without a check time of its own was checked when its pass finished.
    EXPECT_EQ(rows[3].state, ItemState::Incomplete);
    EXPECT_EQ(rows[3].checkedAt, "2025-12-01T01:02:00Z");
    EXPECT_EQ(place_->Count("SELECT count(*) FROM items"), 2);
    // The one-item export and the single result read the same row.
    const auto one = Export(*store_, "8001", "100");
    ASSERT_EQ(one.size(), 3u);
    const auto single = store_->ResultOf(stoppedId_, "100");
    ASSERT_TRUE(single && single.value());
    for (const ExportRow& row : {one[1], *single.value()}) {
        EXPECT_EQ(std::tuple(row.itemId, row.title, row.checkedAt, row.pass.id, row.pass.items),
                  std::tuple(hit.itemId, hit.title, hit.checkedAt, hit.pass.id, hit.pass.items));
    }
    EXPECT_FALSE(store_->ResultOf(stoppedId_, "999").value_or(std::nullopt));
}

TEST_P(RecordedShop, StandingsCompareWithTheLastResultThatWasNotIncomplete) {
    // A later clean pass compares with the last result that was not incomplete, so a failed pass never shows
    // as a drop.
    ASSERT_GT(Record(*store_, Pass("pop", 180, {Found("200", 2, 1)})), 0);
    const struct {
        const char* item;
        int sort;
        bool checked;
        ItemState state;
        int position;
        bool hasChange;
        int change;
    } cases[] = {
        {"100", 0, true, ItemState::Found, 2, true, 23}, // from position 25 to 2
        {"100", 1, false, ItemState::Incomplete, 0, false, 0},
        {"100", 2, true, ItemState::Found, 51, false, 0},
        {"200", 0, true, ItemState::Found, 11, false, 0}, // not found before: no move to show
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " sort " + std::to_string(c.sort));
        const SortStanding standing = StandingOf(c.item, c.sort);
        EXPECT_EQ(standing.checked, c.checked);
        EXPECT_EQ(standing.state, c.state);
        EXPECT_EQ(standing.position(), c.position);
        EXPECT_EQ(standing.hasChange, c.hasChange);
        EXPECT_EQ(standing.change, c.change);
    }
    const auto summaries = store_->ItemSummaries("8001").value_or({});
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_EQ(summaries[0].bestPosition, 2);
    EXPECT_EQ(summaries[0].lastChecked, "2025-12-01T02:02:00Z");
    EXPECT_TRUE(CrossSort(summaries)[0].disagree); // page 1 under pop, page 6 under new
    EXPECT_FALSE(CrossSort(summaries)[1].disagree);

    const ItemTimeline timeline = store_->Timeline("8001", "100").value_or({});
    ASSERT_EQ(timeline.sorts[0].size(), 2u);
    EXPECT_FALSE(timeline.sorts[0][0].passStopped);
    EXPECT_TRUE(timeline.sorts[0][1].passStopped);
    EXPECT_EQ(timeline.sorts[2].size(), 1u);
}

TEST_P(RecordedShop, DeletingAnItemKeepsItsPassesAndDeletingTheShopLeavesNothing) {
    ASSERT_TRUE(store_->DeleteItem("8001", "100").ok());
    EXPECT_EQ(store_->ItemSummaries("8001").value_or({}).size(), 1u);
    EXPECT_TRUE(store_->Timeline("8001", "100").value_or({}).sorts[0].empty());
    EXPECT_EQ(store_->Passes({"8001", "", "pop", ""}).value_or({}).back().items, 1);
    ASSERT_TRUE(store_->DeleteShop("8001").ok());
    EXPECT_TRUE(store_->Shops().value_or({"?"}).empty());
    EXPECT_EQ(place_->Count("SELECT count(*) FROM results"), 0);
}

// What a report of a large shop reads, in one pass over its results, must be what the page reads item by item.
TEST_P(HistoryStore, TimelinesReadInOnePassEqualEachItemsOwnWhateverTheSpan) {
    auto store = Opened(location());
    ASSERT_TRUE(store);
    // Seven items over five passes of two sorts, each pass missing some (seeded, so that a span's edge falls
    // inside and outside the gaps), started out of their insertion order.
    std::mt19937 random(20261209);
    const char* sorts[] = {"pop", "new"};
    for (int p = 0; p < 5; ++p) {
        std::vector<base::ItemResult> items;
        for (int k = 0; k < 7; ++k) {
            const std::string id = "item" + std::to_string(k);
            if (random() % 3 == 0)
                continue;
            items.push_back(random() % 2 ? Found(id.c_str(), 1 + static_cast<int>(random() % 9), 1 + p)
                                         : Missing(id.c_str()));
        }
        Record(*store, Pass(sorts[p % 2], (p * 37) % 5 * 60, std::move(items)));
    }
    // The sink may not use the store while the read is going on (a database reads through one connection),
    // so the timelines are compared once it is over.
    std::vector<std::pair<std::string, ItemTimeline>> seen;
    const auto readAll = [&](std::size_t resultsAtOnce, std::size_t stopAfter = 0) {
        seen.clear();
        const auto read = store->ForEachTimeline(
            "8001",
            [&](const std::string& id, const ItemTimeline& timeline) {
                seen.emplace_back(id, timeline);
                return seen.size() != stopAfter;
            },
            resultsAtOnce);
        EXPECT_TRUE(read) << read.error();
    };
    for (const std::size_t resultsAtOnce : {std::size_t{1}, std::size_t{10}, std::size_t{16}, Store::kResultsAtOnce}) {
        readAll(resultsAtOnce);
        ASSERT_EQ(seen.size(), 7u) << resultsAtOnce;
        EXPECT_TRUE(
            std::is_sorted(seen.begin(), seen.end(), [](const auto& a, const auto& b) { return a.first < b.first; }));
        for (const auto& [id, timeline] : seen) {
            const ItemTimeline own = store->Timeline("8001", id).value();
            for (std::size_t s = 0; s < own.sorts.size(); ++s) {
                EXPECT_EQ(timeline.sorts[s].size(), own.sorts[s].size()) << id << " at " << resultsAtOnce;
                for (std::size_t k = 0; k < std::min(timeline.sorts[s].size(), own.sorts[s].size()); ++k) {
                    const TimelinePoint &a = timeline.sorts[s][k], &b = own.sorts[s][k];
                    EXPECT_EQ(std::tie(a.passId, a.started, a.state, a.page, a.slice, a.passFailed),
                              std::tie(b.passId, b.started, b.state, b.page, b.slice, b.passFailed))
                        << id << " at " << resultsAtOnce;
                }
            }
        }
    }
    // A reader that has seen enough stops the read, and the history goes on answering.
    readAll(1, 2);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(store->Timeline("8001", "item0"));
    readAll(Store::kResultsAtOnce);
    EXPECT_EQ(seen.size(), 7u);
}

// Every standing the pass writer moves on must be the one a rebuild from the results computes: the two run the
// same rule, and the rebuild repairs files in the field.
TEST_P(HistoryStore, RecordedStandingsEqualRebuiltOnes) {
    const unsigned seed = 20261209;
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto store = Opened(location());
    ASSERT_TRUE(store);
    const char* const sorts[] = {"pop", "hot30day", "new"};
    const char* const shops[] = {"8001", "9009"};
    int minute = 0;
    for (int p = 0; p < 300; ++p) {
        minute += pick(3); // equal start times too: the pass id breaks the tie
        std::vector<base::ItemResult> items;
        for (int i = pick(6); i >= 0; --i) {
            const std::string id = std::to_string(100 + pick(5));
            const int state = pick(3);
            items.push_back(state == 0   ? Found(id.c_str(), 1 + pick(10), 1 + pick(10))
                            : state == 1 ? Missing(id.c_str())
                                         : Missing(id.c_str(), ItemState::Incomplete));
            if (pick(4) == 0)
                items.back().checkedAt = testing::At(minute + 1);
        }
        ASSERT_GT(Record(*store, Pass(sorts[pick(3)], minute, std::move(items), shops[pick(2)])), 0) << "seed " << seed;
    }
    const std::string recorded = place_->Dump("SELECT * FROM standings ORDER BY shop, item_id, sort");
    ASSERT_TRUE(store->RebuildStandings().ok());
    EXPECT_EQ(place_->Dump("SELECT * FROM standings ORDER BY shop, item_id, sort"), recorded) << "seed " << seed;
    EXPECT_GT(place_->Count("SELECT count(*) FROM standings"), 20) << "seed " << seed;
}

TEST(SqliteHistory, MigratesVersion1) {
    const testing::HistoryPlace place(Backend::Sqlite);
    const std::string& path = place.location();
    // Version 1 as it shipped: no standings, no check times, no item counts.
    place.Exec(R"sql(
        CREATE TABLE passes(id INTEGER PRIMARY KEY, shop TEXT NOT NULL, category TEXT NOT NULL,
            sub_category TEXT NOT NULL DEFAULT '', sort TEXT NOT NULL, page_limit INTEGER NOT NULL,
            started TEXT NOT NULL, finished TEXT NOT NULL, pages_walked INTEGER NOT NULL, requests INTEGER NOT NULL,
            failed_requests INTEGER NOT NULL, stopped INTEGER NOT NULL);
        CREATE TABLE results(pass_id INTEGER NOT NULL REFERENCES passes(id) ON DELETE CASCADE,
            item_id TEXT NOT NULL, state TEXT NOT NULL CHECK(state IN ('found', 'not_found', 'incomplete')),
            page INTEGER NOT NULL, slice INTEGER NOT NULL, hits INTEGER NOT NULL,
            PRIMARY KEY(pass_id, item_id)) WITHOUT ROWID;
        CREATE TABLE items(shop TEXT NOT NULL, item_id TEXT NOT NULL, title TEXT NOT NULL, first_seen TEXT NOT NULL,
            last_seen TEXT NOT NULL, PRIMARY KEY(shop, item_id)) WITHOUT ROWID;
        CREATE INDEX passes_by_shop ON passes(shop, sort, started);
        INSERT INTO passes VALUES(1, '8001', 'clothing', '', 'pop', 10, '2025-11-01T08:00:00Z',
            '2025-11-01T08:05:00Z', 10, 40, 0, 0);
        INSERT INTO passes VALUES(2, '8001', 'clothing', '', 'pop', 10, '2025-11-02T08:00:00Z',
            '2025-11-02T08:05:00Z', 10, 40, 0, 0);
        INSERT INTO passes VALUES(3, '8001', 'clothing', '', 'pop', 10, '2025-11-03T08:00:00Z',
            '2025-11-03T08:05:00Z', 4, 20, 3, 0);
        INSERT INTO results VALUES(1, '100', 'found', 4, 4, 1), (1, '200', 'found', 1, 1, 1);
        INSERT INTO results VALUES(2, '100', 'found', 2, 8, 2), (2, '200', 'not_found', 0, 0, 0);
        INSERT INTO results VALUES(3, '100', 'incomplete', 0, 0, 0), (3, '200', 'found', 1, 5, 1);
        INSERT INTO items VALUES('8001', '100', '衬衫', '2025-11-01T08:00:00Z', '2025-11-03T08:00:00Z');
        INSERT INTO items VALUES('8001', '200', '裙子', '2025-11-01T08:00:00Z', '2025-11-03T08:00:00Z');
        PRAGMA user_version = 1;)sql");

    auto store = Opened(path);
    ASSERT_TRUE(store);
    EXPECT_EQ(Count(path, "PRAGMA user_version"), 4);
    const auto summaries = store->ItemSummaries("8001").value_or({});
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_EQ(summaries[0].title, "衬衫");
    EXPECT_EQ(summaries[0].sorts[0].state, ItemState::Incomplete);
    EXPECT_EQ(summaries[0].bestPosition, 18);
    EXPECT_EQ(summaries[1].sorts[0].position(), 5);
    EXPECT_EQ(summaries[1].bestPosition, 1);
    EXPECT_FALSE(summaries[1].sorts[0].hasChange); // the result before was not_found
    const auto passes = store->Passes({"8001", "", "", ""}).value_or({});
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_EQ(passes[0].found, 2);
    EXPECT_EQ(passes[1].items, 2);
    EXPECT_EQ(Export(*store, "8001", "100")[0].checkedAt, "2025-11-01T08:05:00Z");

    // The migrated standing moves on with the next pass, against the last result that was not incomplete.
    base::PassOutcome next = Pass("pop", 0, {Found("100", 1, 8), Found("200", 1, 3)});
    ASSERT_GT(Record(*store, next), 0);
    EXPECT_EQ(store->ItemSummaries("8001").value_or({})[0].sorts[0].change, 10);
    EXPECT_EQ(store->ItemSummaries("8001").value_or({})[1].sorts[0].change, 2);
}

TEST(SqliteHistory, RefusesWhatItCannotOwnAndLeavesTheFileAlone) {
    testing::TempFolder dir;
    const testing::HistoryPlace newerPlace(Backend::Sqlite), foreignPlace(Backend::Sqlite);
    const std::string& newer = newerPlace.location();
    newerPlace.Exec("CREATE TABLE passes(id INTEGER PRIMARY KEY, future TEXT); PRAGMA user_version = 5;");
    const std::string& foreign = foreignPlace.location();
    foreignPlace.Exec("CREATE TABLE contacts(name TEXT); INSERT INTO contacts VALUES('x');");
    const std::string text = dir.file("notes.txt");
    {
        std::ofstream out(text, std::ios::binary);
        out << "shop 8001: remember to check page 2\n" << std::string(5000, 'x');
    }
    const std::string damaged = dir.file("damaged.sqlite");
    if (auto store = Opened(damaged)) {
        ASSERT_GT(Record(*store, Pass("pop", 0, {Found("100", 1, 1, "衬衫")})), 0);
    }
    {
        std::string bytes = testing::FileBytes(damaged);
        ASSERT_GT(bytes.size(), 8192u);
        for (std::size_t i = 100; i < 8192; ++i)
            bytes[i] = static_cast<char>(0xA5 ^ i);
        std::ofstream(damaged, std::ios::binary | std::ios::trunc) << bytes;
    }

    struct Case {
        std::string path;
        std::string says;
    };
    const Case cases[] = {
        {newer, "was made by a newer version of Rankmoth (schema 5"},
        {foreign, "is an SQLite database of another program"},
        {text, "is not a Rankmoth history database"},
        {damaged, "is damaged"},
        {HistoryFile(dir), "is a folder"},
        {"/proc/rankmoth/history.sqlite", "cannot be made"},
    };
    std::filesystem::create_directory(HistoryFile(dir));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string before = testing::FileBytes(c.path);
        {
            const auto store = OpenStore(c.path, Access::ReadWrite);
            ASSERT_FALSE(store);
            EXPECT_NE(store.error().find(c.says), std::string::npos) << store.error();
        }
        EXPECT_EQ(testing::FileBytes(c.path), before);
    }
}

TEST_P(HistoryStore, BaselineIsTheLatestCleanPassOfTheSameListing) {
    auto store = Opened(location());
    ASSERT_TRUE(store);
    const std::int64_t clean = Record(*store, Pass("pop", 0, {Found("100", 1, 1)}));
    base::PassOutcome failed = Pass("pop", 10, {Missing("100", ItemState::Incomplete)});
    failed.failedRequests = 2;
    base::PassOutcome stopped = Pass("pop", 20, {Found("100", 4, 1)});
    stopped.stopped = true;
    base::PassOutcome otherSub = Pass("pop", 30, {Found("100", 9, 1)});
    otherSub.request.subCategory = "半身裙"_gbk;
    for (const auto& pass : {failed, stopped, otherSub, Pass("new", 40, {}), Pass("pop", 50, {}, "9009")})
        ASSERT_GT(Record(*store, pass), 0);

    const base::PassOutcome now = Pass("pop", 60, {Found("100", 5, 1)});
    const auto baseline = store->BaselineFor(now).value_or(std::nullopt);
    ASSERT_TRUE(baseline);
    EXPECT_EQ(baseline->passId, clean);
    ASSERT_EQ(baseline->items.size(), 1u);
    EXPECT_EQ(ChangeAlerts(now, &*baseline).size(), 1u);
    EXPECT_FALSE(store->BaselineFor(Pass("pop", 0, {})).value_or(Baseline{}));
}

// Feed loads tell new items from those gone; an item gone keeps its passes, and a watch's walk stays with them.
TEST_P(HistoryStore, FeedLoadsCountNewAndRetiredItemsAndPassesKeepTheirWalk) {
    auto store = Opened(location());
    ASSERT_TRUE(store);
    const auto load = [&](int minute, std::vector<std::pair<std::string, std::string>> items) {
        return store->RecordFeed({"8001", testing::At(minute), std::move(items), 3}).value_or({-1, -1});
    };
    const FeedChange first = load(0, {{"100", "衬衫"}, {"200", "裙子"}});
    EXPECT_EQ(first.added, 2);
    EXPECT_EQ(first.retired, 0);
    base::PassOutcome walked = Pass("pop", 1, {Found("100", 1, 1), Missing("200")});
    walked.walkId = "20261209T000000Z-1";
    Record(*store, walked);
    const FeedChange second = load(10, {{"100", "衬衫 新款"}, {"300", "外套"}});
    EXPECT_EQ(second.added, 1);
    EXPECT_EQ(second.retired, 1);
    EXPECT_EQ(load(20, {{"100", "衬衫 新款"}, {"300", "外套"}}).retired, 0); // gone once, counted once

    const auto retired = store->RetiredItems("8001").value_or({});
    ASSERT_EQ(retired.size(), 1u);
    EXPECT_EQ(retired[0].itemId, "200");
    EXPECT_EQ(retired[0].title, "裙子");
    EXPECT_EQ(retired[0].firstSeen, "2025-12-01T00:00:00Z");
    const auto latest = store->LatestFeed("8001").value_or(std::nullopt);
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->items, 2);
    EXPECT_EQ(latest->requests, 3);
    EXPECT_EQ(store->ItemSummaries("8001").value_or({})[0].title, "衬衫 新款");
    const auto passes = store->Passes({"8001", "200", "", ""}).value_or({});
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].walkId, "20261209T000000Z-1");
    EXPECT_FALSE(store->LatestFeed("9009").value_or(FeedRow{}).has_value());
}

TEST_P(HistoryReport, PrintsPassesAndOneItemsPlaces) {
    auto store = Opened(location());
    ASSERT_TRUE(store);
    ASSERT_GT(Record(*store, Pass("pop", 0, {Found("100", 2, 4, "=HYPERLINK(\"x\"),衬衫")})), 0);
    base::PassOutcome failed = Pass("new", 1440, {Missing("100", ItemState::Incomplete)});
    failed.failedRequests = 1;
    ASSERT_GT(Record(*store, failed), 0);

    // Times in the export are local with their offset: a fixed zone without tzdata keeps the text known.
    const char* zone = std::getenv("TZ");
    const std::string savedZone = zone ? zone : "";
    ::setenv("TZ", "CST-8", 1);
    ::tzset();
    const std::string csv = testing::Printed(*store, {"8001", "100", "", ""}, OutputFormat::Csv);
    EXPECT_EQ(csv,
              "0|item_id,title,sort,state,page,slice,zone,hits,checked_at,pass_id,shop,category,sub_category,"
              "page_limit,started,finished,pages_walked,requests,failed_requests,stopped,clean,walk_id\r\n"
              "100,\"'=HYPERLINK(\"\"x\"\"),衬衫\",pop,found,2,4,middle,1,2025-12-01T08:02:00+08:00,1,8001,clothing,,"
              "10,2025-12-01T08:00:00+08:00,2025-12-01T08:02:00+08:00,10,40,0,0,1,\r\n"
              "100,\"'=HYPERLINK(\"\"x\"\"),衬衫\",new,incomplete,,,,0,2025-12-02T08:02:00+08:00,2,8001,clothing,,"
              "10,2025-12-02T08:00:00+08:00,2025-12-02T08:02:00+08:00,10,40,1,0,0,\r\n");
    std::ostringstream streamed;
    ASSERT_TRUE(WriteExportCsv(*store, "8001", "", streamed, true).ok());
    EXPECT_EQ(streamed.str(), "\xEF\xBB\xBF" + csv.substr(2));
    // Every result as data: the same lines, whichever reader asks; a sort filter keeps its own.
    const auto results = [&](const PassFilter& filter, OutputFormat format) {
        std::string out;
        const auto written = PrintResults(*store, filter, format, [&out](std::string_view text) {
            out += text;
            return true;
        });
        return written ? std::to_string(written.value()) + "|" + out : "store|" + written.error();
    };
    EXPECT_EQ(results({"8001", "", "", ""}, OutputFormat::Csv), "2|" + csv.substr(2));
    const std::string jsonl = results({"8001", "", "new", ""}, OutputFormat::Jsonl);
    ASSERT_EQ(jsonl.substr(0, 2), "1|");
    EXPECT_EQ(nlohmann::json::parse(jsonl.substr(2))["result"]["state"], "incomplete");
    EXPECT_TRUE(nlohmann::json::accept(results({"8001", "", "", ""}, OutputFormat::Json).substr(2)));
    EXPECT_EQ(results({"9009", "", "", ""}, OutputFormat::Json), "0|[]\n");
    EXPECT_EQ(results({"8001", "", "", ""}, OutputFormat::Table).substr(0, 6), "store|");
    zone ? ::setenv("TZ", savedZone.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();

    const std::string json = testing::Printed(*store, {"8001", "", "", "2025-12-02"}, OutputFormat::Json);
    EXPECT_NE(json.find("\"failed_requests\": 1"), std::string::npos) << json;
    EXPECT_EQ(json.find("\"pop\""), std::string::npos);
    EXPECT_TRUE(nlohmann::json::accept(json.substr(2))) << json;

    for (const HistoryQuery& bad : {HistoryQuery{"8001", "", "newest", ""}, HistoryQuery{"8001", "", "", "yesterday"},
                                    HistoryQuery{"", "", "", ""}})
        EXPECT_EQ(testing::Printed(*store, bad, OutputFormat::Table).substr(0, 6), "usage|");
}

TEST(PassRecorder, AlertsAfterWritingAndWarnsOnceWhenItCannot) {
    testing::TempFolder dir;
    PassRecorder recorder(HistoryFile(dir));
    EXPECT_TRUE(recorder.Record(Pass("pop", 0, {Found("100", 2, 1)})).recorded);
    const auto second = recorder.Record(Pass("pop", 60, {Found("100", 1, 1)}));
    EXPECT_TRUE(second.recorded);
    ASSERT_EQ(second.alerts.size(), 1u);
    EXPECT_EQ(second.alerts[0].kind, AlertKind::EnteredPage1);

    const std::string notADatabase = dir.file("notes.txt");
    std::ofstream(notADatabase) << std::string(4096, 'n');
    PassRecorder broken(notADatabase);
    const auto first = broken.Record(Pass("pop", 0, {Found("100", 2, 1)}));
    EXPECT_FALSE(first.recorded);
    EXPECT_NE(first.warning.find("not a Rankmoth history database"), std::string::npos) << first.warning;
    EXPECT_EQ(broken.Record(Pass("pop", 60, {})).warning, "");
    EXPECT_EQ(testing::FileBytes(notADatabase), std::string(4096, 'n'));
    EXPECT_FALSE(PassRecorder(RecordingPath("x.sqlite", true)).Record(Pass("pop", 0, {})).recorded);
}

RANKMOTH_ON_EACH_BACKEND(RecordedShop);
RANKMOTH_ON_EACH_BACKEND(HistoryStore);
RANKMOTH_ON_EACH_BACKEND(HistoryReport);

} // namespace
} // namespace rankmoth::history
