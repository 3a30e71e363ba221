#include "cli/query_run.h"

#include "base/eventpump.h"
#include "cli/headless_controls.h"
#include "cli/interrupt.h"
#include "cli/output_format.h"
#include "cli/progress_bar.h"
#include "rank/listing_walk.h"
#include "sources/feed_load.h"
#include "web/cookie_jar.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <thread>
#include <unistd.h>

namespace rankmoth::cli {

namespace {

// What a request needs around it when there is no window: a pump that sleeps, controls that print message
// boxes, and one cookie store for the whole run, as the window keeps one for its whole life.
struct HeadlessWeb {
    base::PlainEventPump pump;
    HeadlessControls controls;
    web::CookieJar cookies;
    web::WebEnv env{pump, controls, cookies};
};

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

web::RequestPolicy PolicyOf(std::chrono::milliseconds gap, int retries) {
    web::RequestPolicy policy;
    policy.gap = gap;
    policy.retries = retries;
    policy.sleep = InterruptibleSleep;
    // A host that refuses every connection will not start accepting within the retries of one run.
    policy.unreachableAttemptsToGiveUp = 3;
    return policy;
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

class WalkProgress final : public rank::ListingWalkObserver {
public:
    WalkProgress(ProgressBar& bar, Progress& progress) : bar_(bar), progress_(progress) {}
    void PageFetched(int, bool complete) override { Count(complete); }
    void SliceFetched(int, int slice, bool complete) override {
        Count(complete);
        if (slice == 10)
            ++progress_.pagesDone;
        bar_.Update(progress_, slice == 10);
    }
    void ItemChecked(int, int, int, const sources::ShopItem&, bool) override { bar_.Update(progress_); }

private:
    void Count(bool complete) {
        ++progress_.requests;
        progress_.failed += !complete;
        bar_.Update(progress_);
    }
    ProgressBar& bar_;
    Progress& progress_;
};

// Loads the shop; on no items reports why and returns false with `exitCode` set.
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

// A feed that lost packs or stopped before its end marker leaves the items short: the results are printed,
// and the exit status says they may be partial.
bool FeedShort(const sources::FeedOutcome& feed) {
    return feed.failedRequests > 0 || feed.incomplete;
}

// The end of a run on stderr: the first reason of each kind of failure, once, and what the output lost.
// A reader that went away on purpose (`| head`) is not told anything.
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

} // namespace

int RunQuery(const QueryPlan& plan, CliContext& context) {
    base::Endpoints endpoints;
    if (!context.Endpoints(endpoints))
        return kExitUsage;
    InstallInterruptHandler();
    const web::RequestPolicy policy = PolicyOf(plan.delay, plan.retries);
    HeadlessWeb web;
    ProgressBar bar(STDERR_FILENO);

    sources::FeedOutcome feed;
    int exitCode = kExitClean;
    if (!LoadShop(plan.shop, endpoints, policy, web, bar, feed, exitCode))
        return exitCode;
    WarnShortFeed(feed);

    PassPrinter printer(context.out, plan.format);
    printer.Begin();
    const auto stop = [&context] { return Interrupted() || context.out.closed(); };
    Progress progress;
    progress.pagesTotal = plan.pageLimit * static_cast<int>(plan.sorts.size());
    WalkProgress observer(bar, progress);
    std::vector<base::PassOutcome> passes;
    std::vector<std::string> notWalked;
    RunEnd end;
    for (const SortPass& sort : plan.sorts) {
        // A sort the run never reached is neither printed nor kept: a pass of nothing but "incomplete" items
        // would read as a failed walk, and the history would keep it as one.
        if (stop()) {
            notWalked.push_back(sort.key.bytes());
            continue;
        }
        const base::PassRequest request{plan.shop, plan.category.slug, {}, sort.key.bytes(), plan.pageLimit};
        progress.phase = sort.key.bytes();
        rank::WalkOptions options;
        options.marketHost = endpoints.marketHost;
        options.policy = policy;
        options.stopRequested = stop;
        options.skipSlicesOfFailedPage = true;
        rank::ListingWalk walk(rank::WebListingTransport(web.env), std::move(options));
        base::PassOutcome pass = walk.Run(request, feed.items, &observer);
        // A listing that ended early leaves its unwalked pages out of the total.
        progress.pagesTotal -= plan.pageLimit - pass.pagesWalked;
        progress.pagesDone = std::min(progress.pagesDone, progress.pagesTotal);
        bar.Clear();
        printer.Pass(pass);
        if (context.passSink && !context.passSink(pass))
            end.notKept = true;
        passes.push_back(std::move(pass));
    }
    bar.Clear();
    printer.Finish();
    if (!ReportRunEnd(passes, notWalked, context.out))
        end.notKept = true;
    if (Interrupted())
        ReportError("interrupted: items not yet seen are marked incomplete");
    end.interrupted = Interrupted();
    end.failedRequests = AnyFailed(passes) || FeedShort(feed);
    return QueryExitCode(end);
}

int RunItems(const Text& shop, OutputFormat format, int retries, CliContext& context) {
    base::Endpoints endpoints;
    if (!context.Endpoints(endpoints))
        return kExitUsage;
    InstallInterruptHandler();
    HeadlessWeb web;
    ProgressBar bar(STDERR_FILENO);
    sources::FeedOutcome feed;
    int exitCode = kExitClean;
    // The shop load alone is a handful of requests: no gap.
    if (!LoadShop(shop, endpoints, PolicyOf(std::chrono::milliseconds(0), retries), web, bar, feed, exitCode))
        return exitCode;
    WarnShortFeed(feed);

    using json = nlohmann::ordered_json;
    const auto dumped = [](const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); };
    std::string text;
    switch (format) {
    case OutputFormat::Csv:
        text = "item_id,title\n";
        for (const auto& item : feed.items)
            text += CsvField(item.id.ToUtf8()) + "," + CsvField(item.title.ToUtf8()) + "\n";
        break;
    case OutputFormat::Json: {
        json items = json::array();
        for (const auto& item : feed.items)
            items.push_back({{"item_id", item.id.ToUtf8()}, {"title", item.title.ToUtf8()}});
        const json object = {{"shop", shop.ToUtf8()},
                             {"requests", feed.requests},
                             {"failed_requests", feed.failedRequests},
                             {"items", std::move(items)}};
        text = dumped(object) + "\n";
        break;
    }
    case OutputFormat::Jsonl:
        for (const auto& item : feed.items)
            text += dumped({{"item_id", item.id.ToUtf8()}, {"title", item.title.ToUtf8()}}) + "\n";
        break;
    case OutputFormat::Table: {
        int idWidth = 4;
        std::vector<std::pair<std::string, std::string>> rows;
        for (const auto& item : feed.items) {
            rows.emplace_back(base::TerminalSafe(item.id.ToUtf8()), base::TerminalSafe(item.title.ToUtf8()));
            idWidth = std::max(idWidth, DisplayWidth(rows.back().first));
        }
        const auto pad = [idWidth](const std::string& id) {
            return id + std::string(idWidth - DisplayWidth(id) + 2, ' ');
        };
        text = pad("ITEM") + "TITLE\n";
        for (const auto& [id, title] : rows)
            text += pad(id) + title + "\n";
        text += std::to_string(feed.items.size()) + " items in " + std::to_string(feed.packs) + " packs\n";
        break;
    }
    }
    context.out.Write(text);
    RunEnd end;
    end.notKept = !ReportRunEnd({}, {}, context.out);
    end.interrupted = Interrupted();
    end.failedRequests = FeedShort(feed);
    return QueryExitCode(end);
}

} // namespace rankmoth::cli
