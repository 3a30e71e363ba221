// The real rankmoth-cli against a market that misbehaves (the shop feed still from rankmoth-sim): the run
// ends, stays small, and says why.
#include "tests/cli/child_process.h"
#include "tests/support/raw_http_server.h"

#include <gtest/gtest.h>

namespace rankmoth::testing {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

const bool kHistorySet = [] {
    const auto file = std::filesystem::temp_directory_path() /
                      ("rankmoth-bounded-cli-test-" + std::to_string(::getpid()) + ".sqlite");
    return ::setenv("RANKMOTH_HISTORY", file.c_str(), 1) == 0;
}();

std::vector<std::string> QueryAgainst(const std::string& market, const LoggedSim& shop, int pages = 1,
                                      int retries = 1) {
    return {"query",
            "--shop",
            "demo",
            "--pages",
            std::to_string(pages),
            "--retries",
            std::to_string(retries),
            "--format",
            "csv",
            "--market-host",
            market,
            "--shop-base",
            shop.ShopBase()};
}

TEST(BoundedCli, AnEndlessAnswerEndsTheRunWithExitThreeAndASmallFootprint) {
    LoggedSim sim({});
    ASSERT_TRUE(sim.running());
    RawHttpServer endless([](const RawRequest&) { return RawReply::Endless(std::string(64 * 1024, 'e')); });
    ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"), QueryAgainst(endless.HostPort(), sim));
    EXPECT_EQ(cli.Wait(60s), 3);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer's shadow memory and quarantine would dwarf what the program itself holds.
    EXPECT_LT(cli.maxRssKb(), 64 * 1024);
#endif
    EXPECT_NE(cli.Err().find("answer over 16 MiB"), std::string::npos) << cli.Err();
}

TEST(BoundedCli, CtrlCDuringADrippingAnswerEndsWithinASecond) {
    LoggedSim sim({});
    ASSERT_TRUE(sim.running());
    RawHttpServer drip([](const RawRequest&) {
        return RawReply::Trickle("HTTP/1.1 200 OK\r\nContent-Length: 4000\r\n\r\n" + std::string(4000, 'd'), 2, 1s);
    });
    ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"), QueryAgainst(drip.HostPort(), sim));
    ASSERT_TRUE(drip.WaitForRequests(1, 20s));
    std::this_thread::sleep_for(300ms);
    const auto sent = Steady::now();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(5s), 130);
    EXPECT_LT(Steady::now() - sent, 1s);
}

TEST(BoundedCli, AMarketThatRefusesEveryConnectionIsGivenUpOnAtOnce) {
    LoggedSim sim({});
    ASSERT_TRUE(sim.running());
    const std::string dead = "127.0.0.1:" + std::to_string(ClosedLoopbackPort());

    const auto start = Steady::now();
    ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"), QueryAgainst(dead, sim, 20, 2));
    EXPECT_EQ(cli.Wait(30s), 3);
    // Three attempts and their waits of 1 s and 3 s, not twenty pages of them.
    EXPECT_LT(Steady::now() - start, 10s);
    EXPECT_NE(cli.Err().find("connection refused on 3 requests in a row"), std::string::npos) << cli.Err();
}

} // namespace
} // namespace rankmoth::testing
