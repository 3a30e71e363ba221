#pragma once

#include "cli/watch_file.h"
#include "cli/watch_round.h"
#include "history/history_store.h"
#include "rank/listing_walk.h"
#include "rank/watch_walk.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::cli {

// How long a claim holds without renewal: a walk renews after every page, so only a worker that died or hung
// lets it run out. RANKMOTH_LEASE_SECONDS shortens it, for tests that kill a worker.
std::chrono::seconds LeaseLength();

// "host-1234": who holds a piece, as `status` shows it.
std::string WorkerName();

// One walk of the watch: its number in the run (from 1), the listing and the sort.
struct WalkOfWatch {
    int number = 0;
    const WatchWalk* walk = nullptr;
    const SortPass* sort = nullptr;
    std::string piece; // "2 shoes/pop"
};
std::vector<WalkOfWatch> WalksOf(const Watch& watch);

// This machine's part in a round of a watch that several machines run against one shared history: it claims
// the round's pieces one at a time, feeds before walks, and keeps its claim alive while it works.
class RoundWorker {
public:
    RoundWorker(history::Store& store, const Watch& watch, std::time_t now);

    const Round& round() const { return round_; }
    const std::string& worker() const { return worker_; }
    // Puts the round's work in the history, once however many machines do so; the failure's words otherwise.
    base::Result<void> Open();
    // The index of the next shop whose feed this machine is to load; none when no feed is left to claim.
    std::optional<std::size_t> ClaimFeed();
    std::optional<WalkOfWatch> ClaimWalk();
    // False when the piece is no longer this machine's: its lease ran out and another took it over.
    bool Renew(const std::string& piece);
    bool Finish(const std::string& piece);
    // Waits until every feed of the round is recorded, keeping `held` alive and doing any feed whose holder's
    // lease ran out through `loadFeed`; false when `stop` ended the wait first.
    bool WaitForFeeds(const std::string& held, const std::function<bool()>& stop,
                      const std::function<void(std::size_t)>& loadFeed);
    // Every shop's items as its latest feed load in the history listed them; shops with none are left out.
    std::vector<rank::ShopItems> ItemsOfShops(std::vector<std::size_t>& shopOfLoaded);
    // "round complete (<id>)", with what other workers still hold.
    std::string CompleteLine();
    bool claimedAny() const { return claimedAny_; }

private:
    history::Store& store_;
    const Watch& watch_;
    Round round_;
    std::string worker_;
    std::chrono::seconds lease_;
    std::vector<WalkOfWatch> walks_;
    bool claimedAny_ = false;
};

// Passes a walk's reports on to `inner` and renews the walk's claim after every page; `lost` is set when the
// claim was taken over, which the walk's stop request should heed.
class RenewingObserver final : public rank::ListingWalkObserver {
public:
    RenewingObserver(rank::ListingWalkObserver& inner, RoundWorker& worker, std::string piece, bool& lost)
        : inner_(inner), worker_(worker), piece_(std::move(piece)), lost_(lost) {}
    void PageStarted(int page) override { inner_.PageStarted(page); }
    void PageFetched(int page, bool complete) override;
    void SliceFetched(int page, int slice, bool complete) override { inner_.SliceFetched(page, slice, complete); }
    void ItemFound(const rank::ItemHit& hit) override { inner_.ItemFound(hit); }
    void ItemChecked(int page, int slice, int number, const sources::ShopItem& item, bool found) override {
        inner_.ItemChecked(page, slice, number, item, found);
    }
    void PassFinished(const base::PassOutcome& outcome) override { inner_.PassFinished(outcome); }
    void TitlesSearchedOneByOne(const std::string& reason) override { inner_.TitlesSearchedOneByOne(reason); }

private:
    rank::ListingWalkObserver& inner_;
    RoundWorker& worker_;
    std::string piece_;
    bool& lost_;
};

} // namespace rankmoth::cli
