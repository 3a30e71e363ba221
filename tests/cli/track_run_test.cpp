// rankmoth-cli track against rankmoth-sim: several shops served by one walk of each listing.
#include "tests/cli/child_process.h"
#include "tests/support/private_bus.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <thread>

namespace rankmoth::testing {
namespace {

// Two shops share a title, so one place in the listing is a hit for both; "third" is placed in another sort.
constexpr const char* kCatalogue = "pages 3\n"
                                   "shop own1 2\n"
                                   "item own1 7001 晴天 短袖\n"
                                   "item own1 7002 同款 长裙\n"
                                   "item own1 7003 无处可寻\n"
                                   "shop rival 2\n"
                                   "item rival 8001 同款 长裙\n"
                                   "item rival 8002 雨天 风衣\n"
                                   "shop third 2\n"
                                   "item third 9001 夏日 凉鞋\n"
                                   "place clothing pop 1 2 7001\n"
                                   "place clothing pop 2 5 7002\n"
                                   "place clothing pop 3 8 8002\n"
                                   "place clothing new 1 1 9001\n";

// Competitors listed first: the report still puts the seller's own shop first.
constexpr const char* kWatch = "[[shop]]\nid = \"rival\"\nrole = \"competitor\"\n"
                               "[[shop]]\nid = \"own1\"\n"
                               "[[shop]]\nid = \"third\"\nrole = \"competitor\"\n"
                               "[[walk]]\ncategory = \"clothing\"\nsorts = [\"pop\", \"new\"]\npages = 3\n"
                               "[run]\ndelay_ms = 0\n";

struct Files {
    TempFolder folder{"rankmoth-track"};
    std::string catalogue = folder / "market.catalogue";
    std::string watch = folder / "watch.toml";
    explicit Files(const std::string& moreRunSettings = "") {
        std::ofstream(catalogue) << kCatalogue;
        std::ofstream(watch) << kWatch << moreRunSettings;
    }
};

// The CSV rows without their checked_at column.
std::vector<std::string> Rows(const std::string& csv) {
    std::vector<std::string> rows;
    std::size_t from = csv.find('\n') + 1;
    for (std::size_t end; (end = csv.find('\n', from)) != std::string::npos; from = end + 1)
        rows.push_back(csv.substr(from, csv.rfind(',', end) - from));
    return rows;
}

std::vector<std::string> MarketLines(const std::string& log, const std::string& under) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = log.find('\n', from)) != std::string::npos; from = end + 1) {
        const std::string line = log.substr(from, end - from);
        if (line.rfind("market: ", 0) == 0 && line.find(under) != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

TEST(TrackRunTest, OneWalkPerListingServesEveryShopOwnShopsFirst) {
    Files files;
    LoggedSim sim({"--catalogue=" + files.catalogue});
    ASSERT_TRUE(sim.running());
    const CliRun run = RunCliAgainst(sim, {"track", "--watch", files.watch, "--format", "csv", "--no-history"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Rows(run.out), (std::vector<std::string>{
                                 "own1,7001,晴天 短袖,pop,found,1,2,upper,1",
                                 "own1,7002,同款 长裙,pop,found,2,5,middle,1",
                                 "own1,7003,无处可寻,pop,not_found,,,,0",
                                 "own1,7001,晴天 短袖,new,not_found,,,,0",
                                 "own1,7002,同款 长裙,new,not_found,,,,0",
                                 "own1,7003,无处可寻,new,not_found,,,,0",
                                 "rival,8001,同款 长裙,pop,found,2,5,middle,1",
                                 "rival,8002,雨天 风衣,pop,found,3,8,lower,1",
                                 "rival,8001,同款 长裙,new,not_found,,,,0",
                                 "rival,8002,雨天 风衣,new,not_found,,,,0",
                                 "third,9001,夏日 凉鞋,pop,not_found,,,,0",
                                 "third,9001,夏日 凉鞋,new,found,1,1,upper,1",
                             }));
    EXPECT_NE(run.err.find("own1 (own): 3 items in 2 listings: 2 found, 4 not found, 0 incomplete; 1 on page 1 upper"),
              std::string::npos)
        << run.err;

    // The walk's requests are those of one shop's query of the same listing, to the byte.
    const std::vector<std::string> tracked = MarketLines(sim.Log(), "/book/");
    const std::size_t before = sim.Log().size();
    const CliRun query = RunCliAgainst(
        sim, {"query", "--shop", "third", "--sort", "pop", "--pages", "3", "--delay", "0", "--no-history"});
    ASSERT_EQ(query.exit, 0) << query.err;
    const std::vector<std::string> queried = MarketLines(sim.Log().substr(before), "/book/");
    ASSERT_EQ(queried.size(), 33u);
    ASSERT_EQ(tracked.size(), 66u);
    EXPECT_EQ(std::vector<std::string>(tracked.begin(), tracked.begin() + 33), queried);
}

TEST(TrackRunTest, AWalkThatFailsPartWayLeavesEveryShopIncompleteFromThere) {
    // Without retries: each slice after the broken one has no token to go on, and fails at once.
    Files files("retries = 0\n");
    LoggedSim sim({"--catalogue=" + files.catalogue, "--broken-slice=2:3"});
    ASSERT_TRUE(sim.running());
    const CliRun run = RunCliAgainst(sim, {"track", "--watch", files.watch, "--format", "csv", "--no-history"});
    EXPECT_EQ(run.exit, 3) << run.err;
    const std::vector<std::string> rows = Rows(run.out);
    ASSERT_EQ(rows.size(), 12u) << run.out;
    EXPECT_EQ(rows[0], "own1,7001,晴天 短袖,pop,found,1,2,upper,1");
    EXPECT_EQ(rows[2], "own1,7003,无处可寻,pop,incomplete,,,,0");
    EXPECT_EQ(rows[10], "third,9001,夏日 凉鞋,pop,incomplete,,,,0");
}

TEST(TrackRunTest, AFeedChangeBetweenRunsIsCountedAndTheGoneItemListedApart) {
    Files files;
    const std::string history = files.folder / "history.sqlite";
    const std::vector<std::string> track = {"track", "--watch", files.watch, "--history", history};
    {
        LoggedSim sim({"--catalogue=" + files.catalogue});
        ASSERT_TRUE(sim.running());
        const CliRun first = RunCliAgainst(sim, track);
        ASSERT_EQ(first.exit, 0) << first.err;
        EXPECT_NE(first.out.find("own1 (own): 3 items in 2 listings: 2 found, 4 not found, 0 incomplete; 1 on page 1 "
                                 "upper; 3 new and 0 retired in the feed"),
                  std::string::npos)
            << first.out;
    }
    std::string changed = kCatalogue;
    changed.replace(changed.find("item own1 7003 无处可寻"), std::string("item own1 7003 无处可寻").size(),
                    "item own1 7004 新到 外套");
    std::ofstream(files.catalogue) << changed;
    LoggedSim sim({"--catalogue=" + files.catalogue});
    ASSERT_TRUE(sim.running());
    const CliRun second = RunCliAgainst(sim, track);
    ASSERT_EQ(second.exit, 0) << second.err;
    EXPECT_NE(second.out.find("1 on page 1 upper; 1 new and 1 retired in the feed"), std::string::npos) << second.out;

    const CliRun listed = RunCliAgainst(sim, {"history", "--shop", "own1", "--history", history});
    ASSERT_EQ(listed.exit, 0) << listed.err;
    const std::size_t apart = listed.out.find("Items no longer in the shop's feed");
    ASSERT_NE(apart, std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("7003", apart), std::string::npos);
    EXPECT_EQ(listed.out.find("7004", apart), std::string::npos);

    // Every shop's pass of one listing carries the same walk.
    const CliRun own = RunCliAgainst(sim, {"history", "--shop", "own1", "--history", history, "--format", "jsonl"});
    const CliRun rival = RunCliAgainst(sim, {"history", "--shop", "rival", "--history", history, "--format", "jsonl"});
    const auto walks = [](const std::string& jsonl) {
        std::vector<std::string> ids;
        for (std::size_t at = jsonl.find("\"walk_id\":\""); at != std::string::npos;
             at = jsonl.find("\"walk_id\":\"", at + 1))
            ids.push_back(jsonl.substr(at + 11, jsonl.find('"', at + 11) - at - 11));
        return ids;
    };
    ASSERT_EQ(walks(own.out).size(), 4u) << own.out;
    EXPECT_EQ(walks(own.out), walks(rival.out));
}

// An own item leaves page 1 between two runs: one webhook POST says so, the desktop's absence is one line, and
// status reads the run back. A competitor's move is no alert unless the watch asks for them.
TEST(TrackRunTest, AMoveBetweenRunsIsPostedOnceAndStatusReadsTheRunBack) {
    RawHttpServer receiver([](const RawRequest&) { return RawReply::Http(204, ""); });
    Files files("[alerts]\npage_moves = 1\ndesktop = true\nwebhook = \"" + receiver.BaseUrl() + "/rank\"\n");
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + files.folder / "no-bus").c_str(), 1);
    const std::string history = files.folder / "history.sqlite";
    const std::vector<std::string> track = {"track", "--watch", files.watch, "--history", history};
    {
        LoggedSim sim({"--catalogue=" + files.catalogue});
        ASSERT_TRUE(sim.running());
        ASSERT_EQ(RunCliAgainst(sim, track).exit, 0);
    }
    EXPECT_TRUE(receiver.Requests().empty()); // nothing to compare the first run with
    // The history keeps times to the second, and a baseline must have started before the pass it serves.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    std::string moved = kCatalogue;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"pop 1 2 7001", "pop 3 1 7001"},
                                   {"pop 3 8 8002", "pop 1 1 8002"}})
        moved.replace(moved.find(from), from.size(), to);
    std::ofstream(files.catalogue) << moved;
    LoggedSim sim({"--catalogue=" + files.catalogue});
    ASSERT_TRUE(sim.running());
    const CliRun second = RunCliAgainst(sim, track);
    EXPECT_EQ(second.exit, 0) << second.err;
    EXPECT_NE(second.err.find("desktop notification not shown"), std::string::npos) << second.err;

    const auto posts = receiver.Requests();
    ASSERT_EQ(posts.size(), 1u);
    const auto body = nlohmann::json::parse(posts[0].body);
    ASSERT_EQ(body["alerts"].size(), 1u) << posts[0].body;
    const auto& alert = body["alerts"][0];
    EXPECT_EQ(alert["shop"], "own1");
    EXPECT_EQ(alert["role"], "own");
    EXPECT_EQ(alert["item_id"], "7001");
    EXPECT_EQ(alert["sort"], "pop");
    EXPECT_EQ(alert["kind"], "left_page1");
    EXPECT_EQ(alert["from"], (nlohmann::json{{"page", 1}, {"zone", "upper"}}));
    EXPECT_EQ(alert["to"], (nlohmann::json{{"page", 3}, {"zone", "upper"}}));
    EXPECT_EQ(body["run"].get<std::string>().size(), 16u);

    const CliRun status = RunCliAgainst(sim, {"status", "--history", history, "--format", "json"});
    ASSERT_EQ(status.exit, 0) << status.err;
    const auto object = nlohmann::json::parse(status.out);
    EXPECT_EQ(object["last_run"]["exit_status"], 0);
    EXPECT_EQ(object["last_run"]["passes"], 6);
    EXPECT_EQ(object["alerts"], body["alerts"]);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// The desktop hears of a run's moves once per run, the new popup replacing the last; not in quiet hours, and
// never from a pass that failed part-way.
TEST(TrackRunTest, EachRunWithMovesNotifiesTheDesktopOnceReplacingTheLastPopup) {
    PrivateBus bus;
    NotificationService service(bus.address());
    ASSERT_TRUE(service.ready()) << bus.err();
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
    Files files;
    const std::string history = files.folder / "history.sqlite";
    const auto runWith = [&](const std::string& from, const std::string& to, const std::string& alerts,
                             std::vector<std::string> simOptions = {}) {
        std::string catalogue = kCatalogue;
        catalogue.replace(catalogue.find(from), from.size(), to);
        std::ofstream(files.catalogue) << catalogue;
        std::ofstream(files.watch) << kWatch << "retries = 0\n[alerts]\npage_moves = 1\ndesktop = true\n" << alerts;
        simOptions.push_back("--catalogue=" + files.catalogue);
        LoggedSim sim(simOptions);
        // The history keeps times to the second, and a baseline must have started before the pass it serves.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        return RunCliAgainst(sim, {"track", "--watch", files.watch, "--history", history});
    };
    ASSERT_EQ(runWith("pop 1 2 7001", "pop 1 2 7001", "").exit, 0);
    EXPECT_TRUE(service.calls().empty());
    ASSERT_EQ(runWith("pop 1 2 7001", "pop 3 1 7001", "").exit, 0);
    ASSERT_EQ(service.calls().size(), 1u);
    const NotifyCall first = service.calls()[0];
    EXPECT_EQ(first.app, "Rankmoth");
    EXPECT_EQ(first.icon, "rankmoth");
    EXPECT_EQ(first.summary, "排名变动: 优店 own1");
    EXPECT_EQ(first.body, "晴天 短袖 第1页·上 → 第3页·上");
    EXPECT_EQ(first.replacesId, 0u);

    EXPECT_EQ(runWith("pop 1 2 7001", "pop 1 2 7001", "quiet_hours = \"00:00-23:59\"\n").exit, 0);
    EXPECT_EQ(runWith("pop 1 2 7001", "pop 3 1 7001", "", {"--broken-slice=1:1"}).exit, 3);
    EXPECT_EQ(service.calls().size(), 1u);
    ASSERT_EQ(runWith("pop 1 2 7001", "pop 3 1 7001", "").exit, 0); // against the quiet run's clean pass
    ASSERT_EQ(service.calls().size(), 2u);
    EXPECT_EQ(service.calls()[1].replacesId, 41u); // the id the service gave the first popup
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// A host that answers 429 is left alone until its Retry-After has passed, by the next run as well: a short
// rest is waited out within max_minutes, a long one ends the run at once with the time.
TEST(TrackRunTest, AHostThatAsksForRestIsLeftAloneByTheNextRun) {
    const auto run = [](const RawHttpServer& host, const std::string& watch, const std::string& history) {
        ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"),
                         {"--market-host", host.HostPort(), "--shop-base", host.BaseUrl() + "/", "track", "--watch",
                          watch, "--history", history});
        const std::optional<int> exit = cli.Wait();
        return std::make_pair(exit, cli.Err());
    };
    Files files("retries = 0\nmax_minutes = 1\n");
    const std::string history = files.folder / "history.sqlite";
    RawHttpServer longRest([](const RawRequest&) { return RawReply::Http(429, "", "Retry-After: 120\r\n"); });
    EXPECT_EQ(run(longRest, files.watch, history).first, 4); // no feed answered
    const std::size_t asked = longRest.Requests().size();
    ASSERT_GT(asked, 0u);
    const auto [exit, err] = run(longRest, files.watch, history);
    EXPECT_EQ(exit, 3);
    EXPECT_NE(err.find(longRest.HostPort() + " is backing off until "), std::string::npos) << err;
    EXPECT_EQ(longRest.Requests().size(), asked);

    RawHttpServer shortRest([](const RawRequest&) { return RawReply::Http(503, "", "Retry-After: 1\r\n"); });
    run(shortRest, files.watch, history);
    const std::size_t before = shortRest.Requests().size();
    EXPECT_EQ(run(shortRest, files.watch, history).first, 4);
    EXPECT_GT(shortRest.Requests().size(), before); // waited a second, then asked again

    ChildProcess status(ChildProcess::Built("cli/rankmoth-cli"), {"status", "--history", history});
    status.Wait();
    EXPECT_NE(status.Out().find(longRest.HostPort() + " until "), std::string::npos) << status.Out() << status.Err();
}

TEST(TrackRunTest, ADryRunAsksNothingAndABadWatchIsAUsageError) {
    Files files;
    LoggedSim sim({"--catalogue=" + files.catalogue});
    ASSERT_TRUE(sim.running());
    const CliRun dry = RunCliAgainst(sim, {"track", "--watch", files.watch, "--dry-run"});
    ASSERT_EQ(dry.exit, 0) << dry.err;
    EXPECT_LT(dry.out.find("shop own1 (own)"), dry.out.find("shop rival (competitor)")) << dry.out;
    EXPECT_NE(dry.out.find("walk clothing sorted by new, up to 3 pages: 33 requests"), std::string::npos) << dry.out;
    EXPECT_EQ(MarketLines(sim.Log(), ""), std::vector<std::string>{});

    std::ofstream(files.watch, std::ios::app) << "colour = 1\n";
    const CliRun bad = RunCliAgainst(sim, {"track", "--watch", files.watch});
    EXPECT_EQ(bad.exit, 2);
    EXPECT_NE(bad.err.find("watch.toml:"), std::string::npos) << bad.err;
}

} // namespace
} // namespace rankmoth::testing
