#include "cli/track_run.h"

#include "cli/interrupt.h"
#include "cli/output_format.h"
#include "cli/run_support.h"
#include "cli/track_alerts.h"
#include "cli/track_round.h"
#include "history/place_label.h"
#include "rank/watch_walk.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <utility>

namespace rankmoth::cli {

namespace {

// Each listing page brings ten slices.
constexpr int kRequestsPerPage = 11;

std::string RoleName(ShopRole role) {
    return role == ShopRole::Own ? "own" : "competitor";
}

std::string ShopHeading(const WatchShop& shop) {
    std::string heading = "shop " + base::TerminalSafe(shop.id.ToUtf8());
    if (!shop.name.empty())
        heading += " " + base::TerminalSafe(shop.name);
    return heading + " (" + RoleName(shop.role) + ")";
}

// Own shops first, each group in the file's order: the seller reads their own standing before the rivals'.
std::vector<std::size_t> ReportOrder(const std::vector<WatchShop>& shops) {
    std::vector<std::size_t> order(shops.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_partition(order.begin(), order.end(), [&](std::size_t k) { return shops[k].role == ShopRole::Own; });
    return order;
}

std::string ShopSummary(const WatchShop& shop, const std::vector<base::PassOutcome>& passes,
                        const std::optional<history::FeedChange>& change) {
    int found = 0, notFound = 0, incomplete = 0, upperFirst = 0;
    for (const base::PassOutcome& pass : passes) {
        for (const base::ItemResult& item : pass.items) {
            found += item.state == base::ItemState::Found;
            notFound += item.state == base::ItemState::NotFound;
            incomplete += item.state == base::ItemState::Incomplete;
            upperFirst += item.state == base::ItemState::Found && item.page == 1 && item.zone() == base::Zone::Upper;
        }
    }
    const std::size_t items = passes.empty() ? 0 : passes.front().items.size();
    return base::TerminalSafe(shop.id.ToUtf8()) + " (" + RoleName(shop.role) + "): " + std::to_string(items) +
           " items in " + std::to_string(passes.size()) + (passes.size() == 1 ? " listing: " : " listings: ") +
           std::to_string(found) + " found, " + std::to_string(notFound) + " not found, " + std::to_string(incomplete) +
           " incomplete; " + std::to_string(upperFirst) + " on page 1 upper" +
           (change ? "; " + std::to_string(change->added) + " new and " + std::to_string(change->retired) +
                         " retired in the feed"
                   : std::string()) +
           "\n";
}

std::string CsvRowsOf(const base::PassOutcome& pass) {
    std::string rows;
    const std::string shop = CsvField(pass.request.shop.ToUtf8()) + ",";
    for (const base::ItemResult& item : pass.items)
        rows += shop + CsvRow(pass, item);
    return rows;
}

// "20261209T063005Z": the run's start in UTC, which names the run.
std::string RunId(std::time_t runStarted) {
    std::tm utc{};
    gmtime_r(&runStarted, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return stamp;
}

// "20261209T063005Z-2": the run and the listing's number in it, the same for every shop's pass of that listing.
std::string WalkId(std::time_t runStarted, int walkNumber) {
    return RunId(runStarted) + "-" + std::to_string(walkNumber);
}

void PrintResults(const TrackPlan& plan, const std::vector<std::vector<base::PassOutcome>>& passesOfShop,
                  const std::vector<std::optional<history::FeedChange>>& changes, OutputStream& out) {
    const std::vector<WatchShop>& shops = plan.watch.shops;
    switch (plan.format) {
    case OutputFormat::Table:
        for (const std::size_t k : ReportOrder(shops)) {
            if (passesOfShop[k].empty())
                continue;
            out.Write(ShopHeading(shops[k]) + "\n" + PassRows(passesOfShop[k]) + "\n");
        }
        for (const std::size_t k : ReportOrder(shops)) {
            if (!passesOfShop[k].empty())
                out.Write(ShopSummary(shops[k], passesOfShop[k], changes[k]));
        }
        return;
    case OutputFormat::Csv:
        out.Write("shop," + history::ResultCsvHeader());
        for (const std::size_t k : ReportOrder(shops))
            for (const base::PassOutcome& pass : passesOfShop[k])
                out.Write(CsvRowsOf(pass));
        break;
    case OutputFormat::Json:
    case OutputFormat::Jsonl: {
        const bool array = plan.format == OutputFormat::Json;
        std::string text = array ? "[" : "";
        bool first = true;
        for (const std::size_t k : ReportOrder(shops)) {
            for (const base::PassOutcome& pass : passesOfShop[k]) {
                text += array ? (first ? "\n" : ",\n") + PassJson(pass) : PassJson(pass) + "\n";
                first = false;
            }
        }
        out.Write(text + (array ? "\n]\n" : ""));
        break;
    }
    }
    // The machine formats keep stdout to one kind of record; the summaries go where people read.
    for (const std::size_t k : ReportOrder(shops)) {
        if (!passesOfShop[k].empty()) {
            std::string line = ShopSummary(shops[k], passesOfShop[k], changes[k]);
            line.pop_back();
            ReportError(line);
        }
    }
}

history::FeedSnapshot SnapshotOf(const Text& shop, const sources::FeedOutcome& feed) {
    history::FeedSnapshot snapshot;
    snapshot.shop = shop.ToUtf8();
    snapshot.loadedAt = base::Clock::now();
    snapshot.requests = feed.requests;
    for (const sources::ShopItem& item : feed.items)
        snapshot.items.emplace_back(item.id.ToUtf8(), item.title.ToUtf8());
    return snapshot;
}

} // namespace

TrackEstimates EstimatesFrom(const std::string& location, const Watch& watch) {
    TrackEstimates estimates;
    estimates.feedRequests.resize(watch.shops.size());
    auto store = history::OpenStore(location, history::Access::ReadOnly);
    if (!store)
        return estimates;
    for (std::size_t k = 0; k < watch.shops.size(); ++k) {
        const auto feed = store.value()->LatestFeed(watch.shops[k].id.ToUtf8());
        if (feed && feed.value())
            estimates.feedRequests[k] = feed.value()->requests;
    }
    const auto pace = store.value()->SecondsPerRequest(20);
    if (pace)
        estimates.secondsPerRequest = pace.value();
    return estimates;
}

std::string TrackPlanText(const Watch& watch, const TrackEstimates& estimates) {
    std::string text = "watch " + watch.file + "\n";
    int feedRequests = 0;
    bool feedsKnown = true;
    for (const std::size_t k : ReportOrder(watch.shops)) {
        const bool known = k < estimates.feedRequests.size() && estimates.feedRequests[k].has_value();
        const int lastLoad = known ? *estimates.feedRequests[k] : 0;
        text += "  " + ShopHeading(watch.shops[k]) + ": feed " +
                (known ? std::to_string(lastLoad) + (lastLoad == 1 ? " request" : " requests") + " at its last load"
                       : std::string("requests unknown (about one per 20 items; no load in the history)")) +
                "\n";
        feedRequests += lastLoad;
        feedsKnown = feedsKnown && known;
    }
    int requests = 0;
    for (const WatchWalk& walk : watch.walks) {
        for (const SortPass& sort : walk.sorts) {
            text += "  walk " + walk.category.slug + " sorted by " + sort.key.bytes() + ", up to " +
                    std::to_string(walk.pageLimit) + (walk.pageLimit == 1 ? " page" : " pages") + ": " +
                    std::to_string(walk.pageLimit * kRequestsPerPage) + " requests\n";
            requests += walk.pageLimit * kRequestsPerPage;
        }
    }
    const int all = requests + feedRequests;
    // Each request waits its gap; the history's pace already holds the gaps its passes waited.
    const double perRequest = estimates.secondsPerRequest.value_or(static_cast<double>(watch.delay.count()) / 1000.0);
    const double minutes = all * perRequest / 60.0;
    char figure[32];
    if (minutes < 1)
        std::snprintf(figure, sizeof figure, "%.0f s", minutes * 60.0);
    else
        std::snprintf(figure, sizeof figure, "%.1f min", minutes);
    text += "  " + std::to_string(all) + (feedsKnown ? "" : " or more") + " requests: about " + figure + " " +
            (estimates.secondsPerRequest ? "at the pace the history has seen"
                                         : "at " + std::to_string(watch.delay.count()) +
                                               " ms between requests, plus the marketplace's answer time") +
            "\n";
    if (watch.maxMinutes > 0)
        text += "  max_minutes " + std::to_string(watch.maxMinutes) +
                (minutes <= watch.maxMinutes ? ": fits\n"
                                             : ": does not fit; the run would stop with listings left incomplete\n");
    return text;
}

int RunTrack(const TrackPlan& plan, CliContext& context) {
    base::Endpoints endpoints;
    if (!context.Endpoints(endpoints))
        return kExitUsage;
    InstallInterruptHandler();
    const Watch& watch = plan.watch;
    HostGate gate(context.recorder ? context.recorder->path() : std::string(), context.recorder.get());
    // A block that ends within the run's time is waited out; a longer one costs this run, not the host's rest.
    const auto policies =
        ClearedPolicies(gate, endpoints, PolicyOf(watch.delay, watch.retries), std::chrono::minutes(watch.maxMinutes));
    if (!policies)
        return kExitFailedRequests;
    HeadlessWeb web;
    ProgressBar bar(STDERR_FILENO);
    const std::time_t runStarted = std::time(nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(watch.maxMinutes);
    bool outOfTime = false;
    const auto stop = [&] {
        if (watch.maxMinutes > 0 && !outOfTime && std::chrono::steady_clock::now() >= deadline)
            outOfTime = true;
        return Interrupted() || context.out.closed() || outOfTime;
    };

    // Machines sharing a database split the round's work between them; a file is one machine's, which does it all.
    std::unique_ptr<RoundWorker> round;
    history::Store* shared = context.recorder && history::IsDatabaseUrl(context.recorder->path())
                                 ? context.recorder->store()
                                 : nullptr;
    if (shared) {
        round = std::make_unique<RoundWorker>(*shared, watch, runStarted);
        if (const auto opened = round->Open(); !opened) {
            ReportError("the round could not be shared, so this machine does the whole watch: " + opened.error());
            round.reset();
        }
    }

    std::vector<rank::ShopItems> loaded;
    std::vector<std::size_t> shopOfLoaded;
    std::vector<std::optional<history::FeedChange>> changes(watch.shops.size());
    bool feedShort = false;
    bool feedNotKept = false;
    const auto loadFeed = [&](std::size_t k) {
        sources::FeedOutcome feed;
        int exitCode = kExitClean;
        if (!LoadShop(watch.shops[k].id, endpoints, policies->feed, web, bar, feed, exitCode)) {
            feedShort = true;
            return;
        }
        WarnShortFeed(feed);
        feedShort = feedShort || FeedShort(feed);
        if (history::Store* store = context.recorder ? context.recorder->store() : nullptr) {
            const auto change = store->RecordFeed(SnapshotOf(watch.shops[k].id, feed));
            if (change)
                changes[k] = change.value();
            else if (!std::exchange(feedNotKept, true))
                ReportError("the shop feed could not be kept in the history: " + change.error());
        }
        loaded.push_back({watch.shops[k].id, std::move(feed.items)});
        shopOfLoaded.push_back(k);
    };
    const auto loadClaimedFeed = [&](std::size_t k) {
        loadFeed(k);
        round->Finish(watch.shops[k].id.ToUtf8());
    };
    if (round) {
        while (!stop()) {
            const auto k = round->ClaimFeed();
            if (!k)
                break;
            loadClaimedFeed(*k);
        }
    } else {
        for (std::size_t k = 0; k < watch.shops.size() && !stop(); ++k)
            loadFeed(k);
    }
    if (Interrupted())
        return kExitInterrupted;
    // The first walk this machine is to do, if any; the walk looks for every shop's items, whoever loaded them.
    std::optional<WalkOfWatch> claimed;
    if (round) {
        claimed = stop() ? std::nullopt : round->ClaimWalk();
        if (!claimed && !round->claimedAny()) {
            bar.Clear();
            context.out.Write(round->CompleteLine());
            return kExitClean;
        }
        if (claimed && round->WaitForFeeds(claimed->piece, stop, loadClaimedFeed)) {
            shopOfLoaded.clear();
            loaded = round->ItemsOfShops(shopOfLoaded);
        }
        if (Interrupted())
            return kExitInterrupted;
    }
    if (loaded.empty()) {
        ReportError("no shop of the watch gave items");
        return kExitNoShop;
    }

    const std::vector<sources::ShopItem> allItems = rank::AllItemsOf(loaded);
    Progress progress;
    int walkCount = 0;
    for (const WatchWalk& walk : watch.walks) {
        walkCount += static_cast<int>(walk.sorts.size());
        progress.pagesTotal += walk.pageLimit * static_cast<int>(walk.sorts.size());
    }
    WalkProgress observer(bar, progress);
    std::vector<std::vector<base::PassOutcome>> passesOfShop(watch.shops.size());
    std::vector<base::PassOutcome> walks;
    std::vector<std::string> notWalked;
    RunEnd end;
    end.notKept = feedNotKept;
    // Own shops' changes always; the competitors' when the watch asks, so a rival's every move is not news.
    std::vector<RunAlert> alerts;
    if (context.recorder)
        context.recorder->setAlertPages(watch.alerts.pageMoves);
    const auto record = [&](std::size_t k, const base::PassOutcome& pass) {
        const history::PassRecorder::Outcome recorded = context.recorder->Record(pass);
        if (!recorded.warning.empty())
            ReportError(recorded.warning);
        end.notKept = end.notKept || !recorded.recorded;
        if (watch.shops[k].role == ShopRole::Own || watch.alerts.competitors)
            for (const history::ChangeAlert& alert : recorded.alerts)
                alerts.push_back({watch.shops[k].id.ToUtf8(), watch.shops[k].role, pass.request.category,
                                  pass.request.sort, alert});
    };
    const std::vector<WalkOfWatch> allWalks = WalksOf(watch);
    std::size_t nextWalk = 0;
    const auto next = [&]() -> std::optional<WalkOfWatch> {
        if (!round)
            return nextWalk < allWalks.size() ? std::optional<WalkOfWatch>(allWalks[nextWalk++]) : std::nullopt;
        if (claimed)
            return std::exchange(claimed, std::nullopt);
        return stop() ? std::nullopt : round->ClaimWalk();
    };
    while (const std::optional<WalkOfWatch> next_ = next()) {
        const WatchWalk& walk = *next_->walk;
        const SortPass& sort = *next_->sort;
        if (stop()) {
            notWalked.push_back(walk.category.slug + "/" + sort.key.bytes());
            continue;
        }
        progress.phase = "walk " + std::to_string(next_->number) + "/" + std::to_string(walkCount) + " " +
                         walk.category.slug + " " + sort.key.bytes();
        const base::PassRequest request{Text(), walk.category.slug, {}, sort.key.bytes(), walk.pageLimit};
        bool lost = false;
        std::optional<RenewingObserver> renewing;
        if (round)
            renewing.emplace(observer, *round, next_->piece, lost);
        const auto walkStop = [&] { return stop() || lost; };
        base::PassOutcome outcome = HeadlessWalk(endpoints.marketHost, policies->walk, walkStop, web)
                                        .Run(request, allItems,
                                             renewing ? static_cast<rank::ListingWalkObserver*>(&*renewing) : &observer);
        LeaveOutUnwalked(progress, walk.pageLimit, outcome);
        if (lost) {
            ReportError("walk " + next_->piece + " was taken over by another worker, which walks it anew");
            continue;
        }
        // Every machine names a round's walk alike, so its passes tie together whoever walked them.
        const std::string walkId =
            round ? round->round().id + "-" + std::to_string(next_->number) : WalkId(runStarted, next_->number);
        for (std::size_t n = 0; n < loaded.size(); ++n)
            passesOfShop[shopOfLoaded[n]].push_back(rank::PassOfShop(outcome, loaded[n], walkId));
        // A shared walk is kept before it is marked done, so that a machine that dies in between leaves it to
        // be walked again rather than lost; one cut short is left to run out its lease and be walked whole.
        if (round) {
            for (const std::size_t k : ReportOrder(watch.shops))
                if (!passesOfShop[k].empty() && passesOfShop[k].back().walkId == walkId)
                    record(k, passesOfShop[k].back());
            if (!outcome.stopped)
                round->Finish(next_->piece);
        }
        walks.push_back(std::move(outcome));
    }
    bar.Clear();

    PrintResults(plan, passesOfShop, changes, context.out);
    if (context.recorder && !round)
        for (const std::size_t k : ReportOrder(watch.shops))
            for (const base::PassOutcome& pass : passesOfShop[k])
                record(k, pass);
    if (!ReportRunEnd(walks, notWalked, context.out))
        end.notKept = true;
    if (outOfTime)
        ReportError("max_minutes (" + std::to_string(watch.maxMinutes) +
                    ") reached: items not yet seen are marked incomplete");
    if (Interrupted())
        ReportError("interrupted: items not yet seen are marked incomplete");
    end.interrupted = Interrupted();
    end.failedRequests = AnyFailed(walks) || feedShort || outOfTime;

    history::Store* store = context.recorder ? context.recorder->store() : nullptr;
    const std::string run = RunId(runStarted);
    std::optional<history::RunRow> previous;
    if (store)
        previous = store->LatestRun().value_or(std::nullopt);
    history::RunRow row;
    row.notificationId = DeliverAlerts(watch.alerts, run, runStarted, alerts, previous ? previous->notificationId : 0);
    if (!store)
        return QueryExitCode(end);
    row.started = history::IsoTime(base::Clock::from_time_t(runStarted));
    row.finished = history::IsoTime(base::Clock::now());
    row.exitStatus = QueryExitCode(end);
    row.watch = watch.file;
    for (const auto& passes : passesOfShop)
        row.passes += static_cast<int>(passes.size());
    for (const base::PassOutcome& walk : walks)
        row.failedRequests += walk.failedRequests;
    for (const std::string& line : FailureLines(walks))
        row.reasons += line + "\n";
    row.alerts = AlertsJson(alerts);
    std::vector<history::ChangeAlert> listed;
    for (const RunAlert& alert : alerts)
        listed.push_back(alert.alert);
    row.alertText = history::BalloonText(listed);
    const auto kept = store->RecordRun(row);
    if (!kept) {
        ReportError("the run was not kept in the history: " + kept.error());
        end.notKept = true;
    }
    return QueryExitCode(end);
}

} // namespace rankmoth::cli
