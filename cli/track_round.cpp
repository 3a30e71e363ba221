#include "cli/track_round.h"

#include "cli/cli_context.h"

#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace rankmoth::cli {

namespace {

constexpr const char* kFeed = "feed";
constexpr const char* kWalk = "walk";
constexpr std::chrono::milliseconds kPoll{500};

} // namespace

std::chrono::seconds LeaseLength() {
    const char* set = std::getenv("RANKMOTH_LEASE_SECONDS");
    const long seconds = set ? std::strtol(set, nullptr, 10) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 120);
}

std::string WorkerName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !host[0])
        std::snprintf(host, sizeof host, "localhost");
    return std::string(host) + "-" + std::to_string(::getpid());
}

std::vector<WalkOfWatch> WalksOf(const Watch& watch) {
    std::vector<WalkOfWatch> walks;
    int number = 0;
    for (const WatchWalk& walk : watch.walks)
        for (const SortPass& sort : walk.sorts) {
            ++number;
            walks.push_back(
                {number, &walk, &sort, std::to_string(number) + " " + walk.category.slug + "/" + sort.key.bytes()});
        }
    return walks;
}

RoundWorker::RoundWorker(history::Store& store, const Watch& watch, std::time_t now)
    : store_(store), watch_(watch), round_(RoundOf(watch, now)), worker_(WorkerName()), lease_(LeaseLength()),
      walks_(WalksOf(watch)) {}

base::Result<void> RoundWorker::Open() {
    std::vector<history::WorkPiece> work;
    for (const WatchShop& shop : watch_.shops)
        work.push_back({kFeed, shop.id.ToUtf8()});
    for (const WalkOfWatch& walk : walks_)
        work.push_back({kWalk, walk.piece});
    return store_.OpenRound(round_.id, work);
}

std::optional<std::size_t> RoundWorker::ClaimFeed() {
    const auto claim = store_.ClaimWork(round_.id, kFeed, worker_, lease_);
    if (!claim) {
        ReportError(claim.error());
        return std::nullopt;
    }
    if (!claim.value())
        return std::nullopt;
    for (std::size_t k = 0; k < watch_.shops.size(); ++k)
        if (watch_.shops[k].id.ToUtf8() == claim.value()->piece) {
            claimedAny_ = true;
            return k;
        }
    return std::nullopt;
}

std::optional<WalkOfWatch> RoundWorker::ClaimWalk() {
    const auto claim = store_.ClaimWork(round_.id, kWalk, worker_, lease_);
    if (!claim) {
        ReportError(claim.error());
        return std::nullopt;
    }
    if (!claim.value())
        return std::nullopt;
    for (const WalkOfWatch& walk : walks_)
        if (walk.piece == claim.value()->piece) {
            claimedAny_ = true;
            if (claim.value()->claims > 1)
                ReportError("walk " + walk.piece + ": taken over from a worker whose lease ran out; walked anew");
            return walk;
        }
    return std::nullopt;
}

bool RoundWorker::Renew(const std::string& piece) {
    const auto renewed = store_.RenewLease(round_.id, piece, worker_, lease_);
    // A history that cannot be reached for a moment does not end the walk; only another's claim does.
    return renewed ? renewed.value() : true;
}

bool RoundWorker::Finish(const std::string& piece) {
    const auto finished = store_.FinishWork(round_.id, piece, worker_);
    if (!finished)
        ReportError(finished.error());
    return finished.value_or(false);
}

bool RoundWorker::WaitForFeeds(const std::string& held, const std::function<bool()>& stop,
                               const std::function<void(std::size_t)>& loadFeed) {
    for (;;) {
        const auto rows = store_.RoundWork(round_.id);
        bool open = false;
        for (const history::WorkRow& row : rows.value_or({}))
            open = open || (row.kind == kFeed && !row.finished());
        if (rows && !open)
            return true;
        if (stop())
            return false;
        if (const auto feed = ClaimFeed())
            loadFeed(*feed);
        else
            std::this_thread::sleep_for(kPoll);
        Renew(held);
    }
}

std::vector<rank::ShopItems> RoundWorker::ItemsOfShops(std::vector<std::size_t>& shopOfLoaded) {
    std::vector<rank::ShopItems> loaded;
    for (std::size_t k = 0; k < watch_.shops.size(); ++k) {
        const auto items = store_.ListedItems(watch_.shops[k].id.ToUtf8());
        if (!items) {
            ReportError(items.error());
            continue;
        }
        if (items.value().empty())
            continue;
        rank::ShopItems shop{watch_.shops[k].id, {}};
        for (const auto& [id, title] : items.value())
            shop.items.push_back({Text::FromUtf8(id), Text::FromUtf8(title)});
        loaded.push_back(std::move(shop));
        shopOfLoaded.push_back(k);
    }
    return loaded;
}

std::string RoundWorker::CompleteLine() {
    int held = 0;
    for (const history::WorkRow& row : store_.RoundWork(round_.id).value_or({}))
        held += !row.finished();
    return "round complete (" + round_.id + ")" +
           (held ? ": " + std::to_string(held) + (held == 1 ? " piece" : " pieces") + " still with other workers"
                 : std::string()) +
           "\n";
}

void RenewingObserver::PageFetched(int page, bool complete) {
    inner_.PageFetched(page, complete);
    if (!lost_ && !worker_.Renew(piece_))
        lost_ = true;
}

} // namespace rankmoth::cli
