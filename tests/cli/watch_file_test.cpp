// The watch file: what a good one gives, and that each bad one is refused with its line and key.
#include "cli/watch_file.h"
#include "cli/watch_round.h"

#include <gtest/gtest.h>

namespace rankmoth::cli {
namespace {

constexpr const char* kShop = "[[shop]]\nid = \"demo\"\n";
constexpr const char* kWalk = "[[walk]]\ncategory = \"clothing\"\n";

TEST(WatchFile, AGoodFileGivesShopsInOrderWalksAndRunSettings) {
    std::string error;
    const auto watch = ParseWatch(R"([[shop]]
id = " demo "
name = "我的店"

[[shop]]
id = "8848"
role = "competitor"

[[walk]]
category = "鞋子"
sorts = ["new", "pop"]
pages = 20

[[walk]]
category = "clothing"
sorts = "all"

[run]
delay_ms = 0
retries = 1
max_minutes = 50
every = "30min"

[alerts]
page_moves = 2
competitors = true
desktop = true
webhook = "http://127.0.0.1:8080/rank"
quiet_hours = "22:00-07:30"

[history]
url = "postgresql:///rankmoth?host=/run/postgresql"
)",
                                  "watch.toml", error);
    ASSERT_TRUE(watch) << error;
    ASSERT_EQ(watch->shops.size(), 2u);
    EXPECT_EQ(watch->shops[0].id, Text("demo"));
    EXPECT_EQ(watch->shops[0].role, ShopRole::Own);
    EXPECT_EQ(watch->shops[0].name, "我的店");
    EXPECT_EQ(watch->shops[1].role, ShopRole::Competitor);
    ASSERT_EQ(watch->walks.size(), 2u);
    EXPECT_EQ(watch->walks[0].category.slug, "shoes");
    ASSERT_EQ(watch->walks[0].sorts.size(), 2u);
    EXPECT_EQ(watch->walks[0].sorts[0].key, Text("new"));
    EXPECT_EQ(watch->walks[0].pageLimit, 20);
    EXPECT_EQ(watch->walks[1].sorts.size(), 3u);
    EXPECT_EQ(watch->walks[1].pageLimit, 10);
    EXPECT_EQ(watch->delay.count(), 0);
    EXPECT_EQ(watch->retries, 1);
    EXPECT_EQ(watch->maxMinutes, 50);
    EXPECT_EQ(watch->every.count(), 30);
    EXPECT_EQ(watch->alerts.pageMoves, 2);
    EXPECT_TRUE(watch->alerts.competitors && watch->alerts.desktop);
    EXPECT_EQ(watch->alerts.webhook, "http://127.0.0.1:8080/rank");
    EXPECT_EQ(watch->historyUrl, "postgresql:///rankmoth?host=/run/postgresql");
    // Quiet across midnight: from 22:00 up to, not including, 07:30.
    EXPECT_TRUE(watch->alerts.Quiet(22 * 60) && watch->alerts.Quiet(3 * 60) && watch->alerts.Quiet(7 * 60 + 29));
    EXPECT_FALSE(watch->alerts.Quiet(7 * 60 + 30) || watch->alerts.Quiet(12 * 60));

    const auto plain = ParseWatch(std::string(kShop) + kWalk, "w.toml", error);
    ASSERT_TRUE(plain) << error;
    EXPECT_EQ(plain->walks[0].sorts.size(), 1u);
    EXPECT_EQ(plain->delay.count(), 200);
    EXPECT_EQ(plain->retries, 2);
    EXPECT_EQ(plain->maxMinutes, 0);
    EXPECT_EQ(plain->every.count(), 60);
    EXPECT_FALSE(plain->alerts.desktop || plain->alerts.Quiet(0));
}

TEST(WatchFile, EachBadFileIsRefusedNamingFileLineAndKey) {
    const std::string shop = kShop, walk = kWalk;
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {walk, "w.toml:1: shop: lists nothing; the watch needs at least one [[shop]]"},
        {shop, "w.toml:1: walk: lists nothing; the watch needs at least one [[walk]]"},
        {"colour = 1\n" + shop + walk, "w.toml:1: colour: is not a key of the watch file here"},
        {"[[shop]]\nid = \"demo\"\nrank = 3\n" + walk, "w.toml:3: shop.rank: is not a key of the watch file here"},
        {"[[shop]]\nid = 8848\n" + walk, "w.toml:2: shop.id: is a whole number, not a string"},
        {"[[shop]]\nname = \"x\"\n" + walk, "w.toml:1: shop.id: is missing"},
        {"[[shop]]\nid = \"a/b\"\n" + walk,
         "w.toml:2: shop.id: the shop ID \"a/b\" holds a character that cannot be part of one"},
        {shop + "[[shop]]\nid = \"demo\"\n" + walk, "w.toml:4: shop.id: shop \"demo\" is listed twice"},
        {"[[shop]]\nid = \"demo\"\nrole = \"rival\"\n" + walk, "w.toml:3: shop.role: \"rival\" is not own or competitor"},
        {shop + "[[walk]]\ncategory = \"hats\"\n", "w.toml:4: walk.category: unknown category \"hats\"; one of"},
        {shop + walk + "pages = 0\n", "w.toml:5: walk.pages: 0 is not a whole number from 1 to 100"},
        {shop + walk + "pages = \"20\"\n", "w.toml:5: walk.pages: a string is not a whole number from 1 to 100"},
        {shop + walk + "sorts = [\"pop\", \"pop\"]\n", "w.toml:5: walk.sorts: \"pop\" is listed twice"},
        {shop + walk + "sorts = [\"all\"]\n", "w.toml:5: walk.sorts: \"all\" cannot stand in a list"},
        {shop + walk + "sorts = []\n", "w.toml:5: walk.sorts: must be a list of sorts"},
        {shop + walk + walk, "w.toml:5: walk.sorts: clothing sorted by pop is walked by an earlier [[walk]]"},
        {shop + walk + "[run]\nretries = 11\n", "w.toml:6: run.retries: 11 is not a whole number from 0 to 10"},
        {shop + walk + "[run]\nmax_minutes = 0\n", "w.toml:6: run.max_minutes: 0 is not a whole number from 1 to 1440"},
        {shop + walk + "[run]\ndelay = 5\n", "w.toml:6: run.delay: is not a key of the watch file here"},
        {shop + walk + "[run]\nevery = \"hourly\"\n", "w.toml:6: run.every: \"hourly\" is not an interval such as 30min"},
        {shop + walk + "[run]\nevery = \"5min\"\n", "w.toml:6: run.every: 5min is too often"},
        {"run = 5\n" + shop + walk, "w.toml:1: run: must be a [run] table"},
        {"[shop]\nid = \"demo\"\n" + walk, "w.toml:1: shop: must be written as [[shop]] tables"},
        {shop + walk + "[alerts]\ndesktop = \"yes\"\n", "w.toml:6: alerts.desktop: is a string, not true or false"},
        {shop + walk + "[alerts]\nwebhook = \"ftp://x\"\n", "w.toml:6: alerts.webhook: \"ftp://x\" is not an http"},
        {shop + walk + "[alerts]\nquiet_hours = \"22-7\"\n", "w.toml:6: alerts.quiet_hours: \"22-7\" is not HH:MM"},
        {shop + walk + "[alerts]\nsound = true\n", "w.toml:6: alerts.sound: is not a key of the watch file here"},
        {shop + walk + "[history]\nurl = \"postgresql://a:pw@h/x\"\nfile = \"h.sqlite\"\n",
         "w.toml:7: history.file: is not a key of the watch file here"},
        {shop + walk + "[history]\nurl = \"/home/a/h.sqlite\"\n",
         "w.toml:6: history.url: \"/home/a/h.sqlite\" is not a postgresql:// or postgres:// address"},
        {shop + "id = \"x\"\n" + walk, "w.toml:3: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        EXPECT_FALSE(ParseWatch(c.text, "w.toml", error));
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    }
    std::string error;
    EXPECT_FALSE(ReadWatch("/nonexistent/watch.toml", error));
    EXPECT_EQ(error.rfind("/nonexistent/watch.toml: cannot be read", 0), 0u) << error;
}

// Machines agree on a round from the work the watch asks for, whatever else their copies of the file differ in.
TEST(WatchRound, SameWorkSameRoundOtherWorkOrSpanAnother) {
    const auto parse = [](const std::string& text) {
        std::string error;
        auto watch = ParseWatch(text, "w.toml", error);
        EXPECT_TRUE(watch) << error;
        return *watch;
    };
    const std::string rival = "[[shop]]\nid = \"rival\"\nrole = \"competitor\"\n";
    const std::string shoes = "[[walk]]\ncategory = \"shoes\"\nsorts = [\"new\", \"pop\"]\n";
    const Watch watch = parse(std::string(kShop) + rival + kWalk + shoes);
    const std::string digest = WatchDigest(watch);
    EXPECT_EQ(WatchDigest(parse("# a comment\n" + rival + "name = \"R\"\n" + kShop +
                                "[[walk]]\ncategory = \"shoes\"\nsorts = [\"pop\", \"new\"]\n" + kWalk +
                                "[run]\ndelay_ms = 0\nevery = \"2h\"\n")),
              digest);
    EXPECT_NE(WatchDigest(parse(std::string(kShop) + kWalk + shoes)), digest);
    EXPECT_NE(WatchDigest(parse(std::string(kShop) + rival + kWalk + "pages = 11\n" + shoes)), digest);

    const Round first = RoundOf(watch, 7199), next = RoundOf(watch, 7200);
    EXPECT_EQ(first.id, digest + "-1");
    EXPECT_EQ(first.starts, 3600);
    EXPECT_EQ(first.ends, 7200);
    EXPECT_EQ(next.id, digest + "-2");
}

} // namespace
} // namespace rankmoth::cli
