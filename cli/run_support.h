#pragma once

#include "base/endpoints.h"
#include "base/eventpump.h"
#include "base/pass_outcome.h"
#include "cli/headless_controls.h"
#include "cli/output_stream.h"
#include "cli/progress_bar.h"
#include "history/history_store.h"
#include "history/pass_recorder.h"
#include "rank/listing_walk.h"
#include "sources/feed_load.h"
#include "web/cookie_jar.h"
#include "web/request_policy.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::cli {

// What the commands that load shops and walk listings share.

// What a request needs around it when there is no window: a pump that sleeps, controls that print message
// boxes, and one cookie store for the whole run, as the window keeps one for its whole life.
struct HeadlessWeb {
    base::PlainEventPump pump;
    HeadlessControls controls;
    web::CookieJar cookies;
    web::WebEnv env{pump, controls, cookies};
};

// The request policy of a run: `gap` between requests, `retries` of a failed one, waits that Ctrl-C cuts short.
web::RequestPolicy PolicyOf(std::chrono::milliseconds gap, int retries);

// Counts a walk's requests into the progress line.
class WalkProgress final : public rank::ListingWalkObserver {
public:
    WalkProgress(ProgressBar& bar, Progress& progress) : bar_(bar), progress_(progress) {}
    void PageFetched(int, bool complete) override { Count(complete); }
    void SliceFetched(int, int slice, bool complete) override;
    void ItemChecked(int, int, int, const sources::ShopItem&, bool) override { bar_.Update(progress_); }
    void TitlesSearchedOneByOne(const std::string& reason) override;

private:
    void Count(bool complete);
    ProgressBar& bar_;
    Progress& progress_;
};

// A walk of the command line: paced by `policy`, ended by `stop`, and no slices asked for a listing page that
// failed.
rank::ListingWalk HeadlessWalk(const std::string& marketHost, const web::RequestPolicy& policy,
                               std::function<bool()> stop, HeadlessWeb& web);
// A listing that ended before `pageLimit` leaves its unwalked pages out of the progress line's total.
void LeaveOutUnwalked(Progress& progress, int pageLimit, const base::PassOutcome& pass);

// The hosts' backoff for one run, kept in the history between runs: read when the run starts, struck by every
// 429 and 503 that comes, so that the next run, an hour later by a timer, still leaves alone a host that
// asked for rest. Without a history (--no-history) nothing is read or kept.
class HostGate {
public:
    // Reads the backoff kept in the history at `historyPath`, if there is one, without making it; strikes are
    // kept through `keeper`, which opens the history only when one comes. Either may be empty or null.
    HostGate(const std::string& historyPath, history::PassRecorder* keeper);

    // Waits for the blocks of `hosts` to end when they end within `patience`; otherwise says on stderr until
    // when each host is backing off and returns false: nothing may be asked of it in this run.
    bool Clear(const std::vector<std::string>& hosts, std::chrono::seconds patience);
    // `policy` with every 429 or 503 answer striking `host` and kept at once.
    web::RequestPolicy Guarded(web::RequestPolicy policy, const std::string& host);

private:
    history::PassRecorder* keeper_;
    std::vector<web::HostBackoff> hosts_;
};

// A run's request policies, each striking its own host, once the hosts are clear of backoff (waiting up to
// `patience` for them); empty when a host is still backing off, which has then been said.
struct HostPolicies {
    web::RequestPolicy feed;
    web::RequestPolicy walk;
};
std::optional<HostPolicies> ClearedPolicies(HostGate& gate, const base::Endpoints& endpoints,
                                            const web::RequestPolicy& policy, std::chrono::seconds patience);

// "host:port" of a market host ("host[:port]") or a shop base ("http://host[:port]/"), as backoff is kept.
std::string BackoffKey(const std::string& address);

// Loads the shop; on no items reports why and returns false with `exitCode` set.
bool LoadShop(const Text& shop, const base::Endpoints& endpoints, const web::RequestPolicy& policy, HeadlessWeb& web,
              ProgressBar& bar, sources::FeedOutcome& outcome, int& exitCode);
// Says on stderr what a feed that lost packs or stopped early left out.
void WarnShortFeed(const sources::FeedOutcome& feed);
// A feed that lost packs or stopped before its end marker leaves the items short: the results are printed,
// and the exit status says they may be partial.
bool FeedShort(const sources::FeedOutcome& feed);
// The end of a run on stderr: the first reason of each kind of failure, once, and what the output lost.
// A reader that went away on purpose (`| head`) is not told anything. False when the output failed.
bool ReportRunEnd(const std::vector<base::PassOutcome>& passes, const std::vector<std::string>& notWalked,
                  const OutputStream& out);

} // namespace rankmoth::cli
