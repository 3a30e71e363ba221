#include "cli/run_support.h"

#include "cli/cli_context.h"
#include "cli/interrupt.h"
#include "cli/output_format.h"

#include "history/place_label.h"
#include "history/result_row.h"

#include <algorithm>
#include <random>
#include <thread>

namespace rankmoth::cli {

namespace {

// Waits of the request policy wake within a tenth of a second of Ctrl-C, so a retry's 3 s wait does not
// hold the user up.
void InterruptibleSleep(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (!Interrupted()) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(100)));
    }
}

class FeedProgress final : public sources::FeedLoadObserver {
public:
    FeedProgress(ProgressBar& bar, const Text& shop) : bar_(bar) { progress_.phase = "loading " + shop.ToUtf8(); }
    void ScanStep(const sources::FeedScanStep&, bool added, int found) override {
        if (added)
            progress_.itemsLoaded = found;
        bar_.Update(progress_);
    }
    void PackFetched(int, bool) override { bar_.Update(progress_); }

private:
    ProgressBar& bar_;
    Progress progress_;
};

} // namespace

web::RequestPolicy PolicyOf(std::chrono::milliseconds gap, int retries) {
    web::RequestPolicy policy;
    policy.gap = gap;
    policy.retries = retries;
    policy.sleep = InterruptibleSleep;
    // A host that refuses every connection will not start accepting within the retries of one run.
    policy.unreachableAttemptsToGiveUp = 3;
    return policy;
}

void WalkProgress::SliceFetched(int, int slice, bool complete) {
    Count(complete);
    if (slice == 10)
        ++progress_.pagesDone;
    bar_.Update(progress_, slice == 10);
}

void WalkProgress::TitlesSearchedOneByOne(const std::string& reason) {
    bar_.Clear();
    ReportError("the titles are searched for one by one, which is slower (" + reason + ")");
}

void WalkProgress::Count(bool complete) {
    ++progress_.requests;
    progress_.failed += !complete;
    bar_.Update(progress_);
}

rank::ListingWalk HeadlessWalk(const std::string& marketHost, const web::RequestPolicy& policy,
                               std::function<bool()> stop, HeadlessWeb& web) {
    rank::WalkOptions options;
    options.marketHost = marketHost;
    options.policy = policy;
    options.stopRequested = std::move(stop);
    options.skipSlicesOfFailedPage = true;
    return rank::ListingWalk(rank::WebListingTransport(web.env), std::move(options));
}

void LeaveOutUnwalked(Progress& progress, int pageLimit, const base::PassOutcome& pass) {
    progress.pagesTotal -= pageLimit - pass.pagesWalked;
    progress.pagesDone = std::min(progress.pagesDone, progress.pagesTotal);
}

std::string BackoffKey(const std::string& address) {
    std::string key = address;
    if (key.rfind("http://", 0) == 0)
        key.erase(0, 7);
    else if (key.rfind("https://", 0) == 0)
        key.erase(0, 8);
    key = key.substr(0, key.find('/'));
    return key.find(':') == std::string::npos ? key + ":80" : key;
}

HostGate::HostGate(const std::string& historyPath, history::PassRecorder* keeper) : keeper_(keeper) {
    if (historyPath.empty())
        return;
    // A run that is refused or prints nothing must not leave a history file behind: the file is only read here.
    auto store = history::OpenStore(historyPath, history::Access::ReadOnly);
    if (store)
        hosts_ = store.value()->Backoffs().value_or({});
}

bool HostGate::Clear(const std::vector<std::string>& hosts, std::chrono::seconds patience) {
    base::Clock::time_point until{};
    std::vector<const web::HostBackoff*> blocked;
    for (const web::HostBackoff& backoff : hosts_) {
        if (std::find(hosts.begin(), hosts.end(), backoff.host) == hosts.end() ||
            backoff.blockedUntil <= base::Clock::now())
            continue;
        blocked.push_back(&backoff);
        until = std::max(until, backoff.blockedUntil);
    }
    if (blocked.empty())
        return true;
    const auto left = until - base::Clock::now();
    if (left <= patience) {
        InterruptibleSleep(std::chrono::duration_cast<std::chrono::milliseconds>(left) + std::chrono::milliseconds(1));
        return !Interrupted();
    }
    for (const web::HostBackoff* backoff : blocked)
        ReportError(backoff->host + " is backing off until " +
                    history::IsoLocalTime(history::IsoTime(backoff->blockedUntil)) + " (HTTP " +
                    std::to_string(backoff->lastStatus) + ", " + std::to_string(backoff->strikes) +
                    (backoff->strikes == 1 ? " strike" : " strikes") + "); nothing was asked of it");
    return false;
}

web::RequestPolicy HostGate::Guarded(web::RequestPolicy policy, const std::string& host) {
    if (!keeper_)
        return policy;
    policy.failed = [this, host](const web::Answer& answer) {
        if (!web::IsBackoffStatus(answer.status))
            return;
        auto it = std::find_if(hosts_.begin(), hosts_.end(), [&](const web::HostBackoff& b) { return b.host == host; });
        if (it == hosts_.end())
            it = hosts_.insert(hosts_.end(), web::HostBackoff{host});
        static thread_local std::mt19937 random{std::random_device{}()};
        *it = web::Struck(*it, answer.status, answer.retryAfter, base::Clock::now(),
                          std::uniform_real_distribution<double>(-0.1, 0.1)(random));
        history::Store* store = keeper_->store();
        const auto kept = store ? store->SaveBackoff(*it) : base::Result<void>(base::Fail(keeper_->openFailure()));
        if (!kept)
            ReportError("the backoff of " + host + " was not kept: " + kept.error());
    };
    return policy;
}

std::optional<HostPolicies> ClearedPolicies(HostGate& gate, const base::Endpoints& endpoints,
                                            const web::RequestPolicy& policy, std::chrono::seconds patience) {
    const std::string marketKey = BackoffKey(endpoints.marketHost), shopKey = BackoffKey(endpoints.shopBase);
    if (!gate.Clear({marketKey, shopKey}, patience))
        return std::nullopt;
    return HostPolicies{gate.Guarded(policy, shopKey), gate.Guarded(policy, marketKey)};
}

bool LoadShop(const Text& shop, const base::Endpoints& endpoints, const web::RequestPolicy& policy, HeadlessWeb& web,
              ProgressBar& bar, sources::FeedOutcome& outcome, int& exitCode) {
    sources::FeedLoad load(sources::TimedFeedFetch(web.env, std::chrono::milliseconds(100)),
                           sources::FeedLoadOptions{endpoints.shopBase, {}, policy, [] { return Interrupted(); }});
    FeedProgress progress(bar, shop);
    outcome = load.Run(shop, &progress);
    bar.Clear();
    if (!outcome.items.empty())
        return true;
    const std::string where = sources::FeedAddress(endpoints.shopBase, shop).ToUtf8();
    if (Interrupted()) {
        ReportError("interrupted while loading the shop");
        exitCode = kExitInterrupted;
    } else if (outcome.failedRequests > 0) {
        const auto& failures = outcome.failures.entries();
        ReportError("shop \"" + shop.ToUtf8() + "\": the feed at " + where +
                    " could not be reached or did not answer as a feed" +
                    (failures.empty() ? std::string() : " (" + failures.front().firstReason + ")"));
        exitCode = kExitNoShop;
    } else {
        ReportError("shop \"" + shop.ToUtf8() + "\": the feed at " + where + " lists no items");
        exitCode = kExitNoShop;
    }
    return false;
}

void WarnShortFeed(const sources::FeedOutcome& feed) {
    for (const base::FailureCount& failure : feed.failures.entries())
        ReportError(std::to_string(failure.count) + (failure.count == 1 ? " feed request" : " feed requests") +
                    " failed: " + failure.firstReason + "; the item list may be short");
    if (feed.incomplete)
        ReportError("the shop feed is incomplete: " + feed.incompleteReason + "; the item list may be short");
}

bool FeedShort(const sources::FeedOutcome& feed) {
    return feed.failedRequests > 0 || feed.incomplete;
}

bool ReportRunEnd(const std::vector<base::PassOutcome>& passes, const std::vector<std::string>& notWalked,
                  const OutputStream& out) {
    for (const std::string& line : FailureLines(passes))
        ReportError(line);
    const bool readerGone = out.closed() && out.failure().empty();
    if (!out.failure().empty())
        ReportError(out.failure());
    if (!notWalked.empty() && !readerGone) {
        std::string sorts;
        for (const std::string& sort : notWalked)
            sorts += (sorts.empty() ? "" : ", ") + sort;
        ReportError("sorts not walked: " + sorts);
    }
    return out.failure().empty();
}

} // namespace rankmoth::cli
