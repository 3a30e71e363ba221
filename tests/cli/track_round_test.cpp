// Several machines running one watch against one shared database: each listing walked once a round between
// them, a dead worker's walk taken over, and a latecomer doing nothing.
#include "tests/cli/child_process.h"
#include "tests/support/pg_cluster.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <pqxx/pqxx>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <thread>

namespace rankmoth::testing {
namespace {

constexpr const char* kCatalogue = "pages 3\n"
                                   "shop own1 2\n"
                                   "item own1 7001 晴天 短袖\n"
                                   "item own1 7002 同款 长裙\n"
                                   "shop rival 2\n"
                                   "item rival 8001 同款 长裙\n"
                                   "shop third 2\n"
                                   "item third 9001 夏日 凉鞋\n"
                                   "place clothing pop 1 2 7001\n"
                                   "place clothing pop 2 5 7002\n"
                                   "place clothing new 1 1 9001\n";

// Rounds follow the clock, so a test that met the end of one would see its workers split over two. A span
// whose end is at least ten minutes away keeps every worker of a test in the same round.
std::string EveryWithRoom() {
    const std::time_t now = std::time(nullptr);
    for (long minutes = 60;; ++minutes)
        if (now % (minutes * 60) < minutes * 60 - 600)
            return std::to_string(minutes) + "min";
}

// Three shops and two walks of three pages: 66 listing requests a round.
struct RoundFiles {
    TempFolder folder{"rankmoth-round"};
    std::string catalogue = folder / "market.catalogue";
    std::string watch = folder / "watch.toml";
    explicit RoundFiles(const std::string& url) {
        std::ofstream(catalogue) << kCatalogue;
        std::ofstream(watch) << "[[shop]]\nid = \"own1\"\n[[shop]]\nid = \"rival\"\nrole = \"competitor\"\n"
                                "[[shop]]\nid = \"third\"\nrole = \"competitor\"\n"
                                "[[walk]]\ncategory = \"clothing\"\nsorts = [\"pop\", \"new\"]\npages = 3\n"
                                "[run]\ndelay_ms = 0\nevery = \""
                             << EveryWithRoom() << "\"\n[history]\nurl = \"" << url << "\"\n";
    }
};

std::vector<std::string> ListingLines(const std::string& log) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = log.find('\n', from)) != std::string::npos; from = end + 1) {
        const std::string line = log.substr(from, end - from);
        if (line.rfind("market: ", 0) == 0 && line.find("/book/") != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

std::unique_ptr<ChildProcess> Track(const LoggedSim& sim, const RoundFiles& files, const char* lease = nullptr) {
    return std::make_unique<ChildProcess>(
        ChildProcess::Built("cli/rankmoth-cli"),
        std::vector<std::string>{"--market-host", sim.HostPort(), "--shop-base", sim.ShopBase(), "track", "--watch",
                                 files.watch},
        // The watch's database, not the file this binary's other tests keep their history in.
        [lease] {
            ::unsetenv("RANKMOTH_HISTORY");
            if (lease)
                ::setenv("RANKMOTH_LEASE_SECONDS", lease, 1);
        });
}

// Each shop's passes and the walks they came from.
std::string PassesByShop(const std::string& url) {
    pqxx::connection db(url);
    pqxx::read_transaction work(db);
    std::string text;
    for (const pqxx::row& row : work.exec("SELECT shop, count(*), count(DISTINCT walk_id) FROM passes GROUP BY shop "
                                          "ORDER BY shop"))
        text += std::string(row[0].c_str()) + " " + row[1].c_str() + " " + row[2].c_str() + "\n";
    return text;
}

TEST(TrackRound, TwoWorkersShareARoundAndALatecomerDoesNothing) {
    std::string url, alone;
    RANKMOTH_FRESH_DATABASE_OR_SKIP(url);
    RANKMOTH_FRESH_DATABASE_OR_SKIP(alone);
    const RoundFiles files(url), aloneFiles(alone);
    LoggedSim sim({"--catalogue=" + files.catalogue, "--latency-ms=60"});
    ASSERT_TRUE(sim.running());

    const auto one = std::chrono::steady_clock::now();
    auto single = Track(sim, aloneFiles);
    ASSERT_EQ(single->Wait(std::chrono::seconds(60)), 0) << single->Err();
    const double oneSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - one).count();
    const std::size_t before = sim.Log().size();

    const auto two = std::chrono::steady_clock::now();
    auto a = Track(sim, files);
    auto b = Track(sim, files);
    ASSERT_EQ(a->Wait(std::chrono::seconds(60)), 0) << a->Err();
    ASSERT_EQ(b->Wait(std::chrono::seconds(60)), 0) << b->Err();
    const double twoSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - two).count();
    std::printf("one worker %.2f s, two workers %.2f s\n", oneSeconds, twoSeconds);

    const std::vector<std::string> listing = ListingLines(sim.Log().substr(before));
    EXPECT_EQ(listing.size(), 66u);
    EXPECT_EQ(std::set<std::string>(listing.begin(), listing.end()).size(), listing.size());
    EXPECT_EQ(PassesByShop(url), "own1 2 2\nrival 2 2\nthird 2 2\n");

    const std::size_t done = sim.Log().size();
    auto late = Track(sim, files);
    ASSERT_EQ(late->Wait(), 0) << late->Err();
    EXPECT_NE(late->Out().find("round complete"), std::string::npos) << late->Out();
    EXPECT_EQ(sim.Log().size(), done);
}

TEST(TrackRound, AWalkOfAKilledWorkerIsWalkedByAnotherOnceItsLeaseRunsOut) {
    std::string url;
    RANKMOTH_FRESH_DATABASE_OR_SKIP(url);
    const RoundFiles files(url);
    LoggedSim sim({"--catalogue=" + files.catalogue, "--latency-ms=80"});
    ASSERT_TRUE(sim.running());

    auto killed = Track(sim, files, "2");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ListingLines(sim.Log()).size() < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    killed->Signal(SIGKILL);
    ASSERT_EQ(killed->Wait(), 128 + SIGKILL);

    auto other = Track(sim, files, "2");
    ASSERT_EQ(other->Wait(std::chrono::seconds(60)), 0) << other->Err();
    EXPECT_NE(other->Err().find("taken over from a worker whose lease ran out"), std::string::npos) << other->Err();
    EXPECT_EQ(PassesByShop(url), "own1 2 2\nrival 2 2\nthird 2 2\n");
    ChildProcess status(ChildProcess::Built("cli/rankmoth-cli"), {"status", "--watch", files.watch},
                        [] { ::unsetenv("RANKMOTH_HISTORY"); });
    ASSERT_EQ(status.Wait(), 0) << status.Err();
    EXPECT_NE(status.Out().find(": 5 of 5 pieces done, 0 left\n"), std::string::npos) << status.Out();
    EXPECT_NE(status.Out().find("(taken over)"), std::string::npos) << status.Out();
}

} // namespace
} // namespace rankmoth::testing
