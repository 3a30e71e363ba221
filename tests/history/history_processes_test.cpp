// Two processes at one history: writers that meet, and a writer killed in the middle of a pass.
#include "history/history_store.h"

#include "history_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <map>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace rankmoth::history {
namespace {

using base::ItemState;
using namespace testing::history_cases;

// Forks a child that runs `body` and leaves with its result; the alarm bounds it if the body hangs.
template <typename Body> pid_t Child(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(60);
        ::_exit(body() ? 0 : 1);
    }
    return pid;
}

TEST_P(HistoryStore, ProcessesWriteAtOnce) {
    const std::string& path = location();
    constexpr int kPasses = 25;
    constexpr int kItems = 300;
    const auto writer = [&](const char* sort, int shift) {
        return [&path, sort, shift] {
            auto store = OpenStore(path, Access::ReadWrite);
            if (!store) {
                std::fprintf(stderr, "%s\n", store.error().c_str());
                return false;
            }
            for (int p = 0; p < kPasses; ++p) {
                std::vector<base::ItemResult> items;
                for (int i = 0; i < kItems; ++i)
                    items.push_back(Found(std::to_string(1000 + i).c_str(), 1 + (i + p + shift) % 10, 1 + i % 10, "标题"));
                if (const auto id = store.value()->RecordPass(Pass(sort, p, std::move(items))); !id) {
                    std::fprintf(stderr, "%s\n", id.error().c_str());
                    return false;
                }
            }
            return true;
        };
    };
    // All open a history that does not exist yet, so they also race to create the schema; two move the same
    // standings on, and must not lose each other's moves.
    const pid_t a = Child(writer("pop", 0));
    const pid_t b = Child(writer("new", 0));
    const pid_t c = Child(writer("pop", 3));
    for (const pid_t pid : {a, b, c}) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    EXPECT_EQ(place_->Count("SELECT count(*) FROM passes"), 3 * kPasses);
    EXPECT_EQ(place_->Count("SELECT count(*) FROM results"), 3 * kPasses * kItems);
    EXPECT_EQ(place_->Count("SELECT count(*) FROM standings"), 2 * kItems);
    const std::string recorded = place_->Dump("SELECT * FROM standings ORDER BY shop, item_id, sort");
    ASSERT_TRUE(Opened(path)->RebuildStandings().ok());
    EXPECT_EQ(place_->Dump("SELECT * FROM standings ORDER BY shop, item_id, sort"), recorded);
}

TEST(SqliteHistory, KilledWriterLeavesNoPartialPass) {
    testing::TempFolder dir;
    const std::string path = HistoryFile(dir);
    ASSERT_TRUE(Opened(path));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    // Passes big enough to spill into the log before they commit, so the kill lands inside a transaction.
    constexpr int kItems = 20000;
    const pid_t pid = Child([&] {
        ::close(pipeFds[0]);
        auto store = OpenStore(path, Access::ReadWrite);
        if (!store)
            return false;
        for (int p = 0;; ++p) {
            std::vector<base::ItemResult> items;
            for (int i = 0; i < kItems; ++i)
                items.push_back(Found(std::to_string(i).c_str(), 1 + i % 30, 1 + i % 10, "一件很长的宝贝标题"));
            if (!store.value()->RecordPass(Pass("pop", p, std::move(items))))
                return false;
            const char done = 'x';
            if (::write(pipeFds[1], &done, 1) != 1)
                return false;
        }
    });
    ::close(pipeFds[1]);
    char done = 0;
    ASSERT_EQ(::read(pipeFds[0], &done, 1), 1);
    // Kill once the log grows past the committed pass: the next pass is then half written.
    const std::string wal = path + "-wal";
    std::error_code ec;
    const auto committed = std::filesystem::file_size(wal, ec);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool spilled = false;
    while (!(spilled = std::filesystem::file_size(wal, ec) > committed + 128 * 1024) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_TRUE(spilled);
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(pipeFds[0]);
    EXPECT_TRUE(WIFSIGNALED(status));

    auto store = Opened(path);
    ASSERT_TRUE(store);
    EXPECT_EQ(Count(path, "PRAGMA integrity_check"), 0) << "integrity_check failed";
    const auto passes = store->Passes({"8001", "", "", ""}).value_or({});
    ASSERT_GE(passes.size(), 1u);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM results"), static_cast<long long>(passes.size()) * kItems);
    for (const PassRow& pass : passes)
        EXPECT_EQ(pass.items, kItems);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM standings WHERE pass_id NOT IN (SELECT id FROM passes)"), 0);
}

// Two workers at one round, each with its own connection, claiming as fast as they can: every piece goes to
// exactly one of them, and opening the round twice makes no second copy of its work.
TEST_P(HistoryStore, WorkersClaimARoundsPiecesOnceBetweenThem) {
    const std::string& at = location();
    testing::TempFolder dir;
    std::vector<WorkPiece> work = {{"feed", "demo"}, {"feed", "rival"}};
    for (int k = 0; k < 40; ++k)
        work.push_back({"walk", std::to_string(k)});
    const auto worker = [&](const std::string& name) {
        return [&at, &work, name, file = dir.path() + "/" + name] {
            auto store = OpenStore(at, Access::ReadWrite);
            std::ofstream out(file);
            if (!store || !store.value()->OpenRound("r1", work).ok())
                return false;
            for (const char* kind : {"feed", "walk"}) {
                for (;;) {
                    const auto claim = store.value()->ClaimWork("r1", kind, name, std::chrono::seconds(60));
                    if (!claim)
                        return false;
                    if (!claim.value())
                        break;
                    out << claim.value()->piece << "\n" << std::flush;
                    if (!store.value()->FinishWork("r1", claim.value()->piece, name).value_or(false))
                        return false;
                }
            }
            return true;
        };
    };
    const pid_t a = Child(worker("a"));
    const pid_t b = Child(worker("b"));
    for (const pid_t pid : {a, b}) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    std::map<std::string, int> claimed;
    for (const char* name : {"/a", "/b"}) {
        std::ifstream in(dir.path() + name);
        for (std::string piece; std::getline(in, piece);)
            ++claimed[piece];
    }
    EXPECT_EQ(claimed.size(), work.size());
    for (const auto& [piece, times] : claimed)
        EXPECT_EQ(times, 1) << piece;
    auto store = Opened(at);
    ASSERT_TRUE(store);
    const auto rows = store->RoundWork("").value_or({});
    ASSERT_EQ(rows.size(), work.size());
    EXPECT_EQ(rows[0].piece, "demo");
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const WorkRow& r) { return r.finished() && r.claims == 1; }));
    EXPECT_FALSE(store->ClaimWork("r1", "walk", "c", std::chrono::seconds(60)).value_or(std::nullopt));

    // A holder that stops renewing loses the piece to the next claim, and with it the right to renew or finish.
    ASSERT_TRUE(store->OpenRound("r2", {{"walk", "shoes/pop"}}).ok());
    ASSERT_TRUE(store->ClaimWork("r2", "walk", "a", std::chrono::seconds(1)).value_or(std::nullopt));
    EXPECT_FALSE(store->ClaimWork("r2", "walk", "b", std::chrono::seconds(60)).value_or(std::nullopt));
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    const auto taken = store->ClaimWork("r2", "walk", "b", std::chrono::seconds(60)).value_or(std::nullopt);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->claims, 2);
    EXPECT_FALSE(store->RenewLease("r2", "shoes/pop", "a", std::chrono::seconds(60)).value_or(true));
    EXPECT_FALSE(store->FinishWork("r2", "shoes/pop", "a").value_or(true));
    EXPECT_TRUE(store->FinishWork("r2", "shoes/pop", "b").value_or(false));
    const auto latest = store->RoundWork("").value_or({});
    ASSERT_EQ(latest.size(), 1u);
    EXPECT_EQ(latest[0].worker, "b");
}

} // namespace
} // namespace rankmoth::history
