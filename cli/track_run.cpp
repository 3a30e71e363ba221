#include "cli/track_run.h"

#include "cli/interrupt.h"
#include "cli/output_format.h"
#include "cli/run_support.h"
#include "rank/watch_walk.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

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

std::string ShopSummary(const WatchShop& shop, const std::vector<base::PassOutcome>& passes) {
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
           " incomplete; " + std::to_string(upperFirst) + " on page 1 upper\n";
}

std::string CsvRowsOf(const base::PassOutcome& pass) {
    std::string rows;
    const std::string shop = CsvField(pass.request.shop.ToUtf8()) + ",";
    for (const base::ItemResult& item : pass.items)
        rows += shop + CsvRow(pass, item);
    return rows;
}

// "20261209T063005Z-2": the run's start in UTC and the listing's number in the run, the same for every
// shop's pass of that listing.
std::string WalkId(std::time_t runStarted, int walkNumber) {
    std::tm utc{};
    gmtime_r(&runStarted, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return std::string(stamp) + "-" + std::to_string(walkNumber);
}

void PrintResults(const TrackPlan& plan, const std::vector<std::vector<base::PassOutcome>>& passesOfShop,
                  OutputStream& out) {
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
                out.Write(ShopSummary(shops[k], passesOfShop[k]));
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
            std::string line = ShopSummary(shops[k], passesOfShop[k]);
            line.pop_back();
            ReportError(line);
        }
    }
}

} // namespace

std::string TrackPlanText(const Watch& watch) {
    std::string text = "watch " + watch.file + "\n";
    for (const std::size_t k : ReportOrder(watch.shops))
        text += "  " + ShopHeading(watch.shops[k]) + "\n";
    int requests = 0;
    for (const WatchWalk& walk : watch.walks) {
        for (const SortPass& sort : walk.sorts) {
            text += "  walk " + walk.category.slug + " sorted by " + sort.key.bytes() + ", up to " +
                    std::to_string(walk.pageLimit) + (walk.pageLimit == 1 ? " page" : " pages") + ": " +
                    std::to_string(walk.pageLimit * kRequestsPerPage) + " requests\n";
            requests += walk.pageLimit * kRequestsPerPage;
        }
    }
    text += "  feeds: about one request per 20 items of each shop; the item counts are unknown before a run\n";
    const double paced = requests * static_cast<double>(watch.delay.count()) / 60000.0;
    char minutes[64];
    std::snprintf(minutes, sizeof minutes, "%.1f", paced);
    text += "  at most " + std::to_string(requests) + " listing requests; at " + std::to_string(watch.delay.count()) +
            " ms between requests that is at least " + minutes +
            " min, plus the time the marketplace takes to answer\n";
    if (watch.maxMinutes > 0) {
        text += paced < watch.maxMinutes
                    ? "  max_minutes " + std::to_string(watch.maxMinutes) + ": fits when the answers come within " +
                          std::to_string(static_cast<long long>((watch.maxMinutes - paced) * 60000.0 / requests)) +
                          " ms a request\n"
                    : "  max_minutes " + std::to_string(watch.maxMinutes) +
                          ": does not fit; the run would stop with listings left incomplete\n";
    }
    return text;
}

int RunTrack(const TrackPlan& plan, CliContext& context) {
    base::Endpoints endpoints;
    if (!context.Endpoints(endpoints))
        return kExitUsage;
    InstallInterruptHandler();
    const Watch& watch = plan.watch;
    const web::RequestPolicy policy = PolicyOf(watch.delay, watch.retries);
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

    std::vector<rank::ShopItems> loaded;
    std::vector<std::size_t> shopOfLoaded;
    bool feedShort = false;
    for (std::size_t k = 0; k < watch.shops.size() && !stop(); ++k) {
        sources::FeedOutcome feed;
        int exitCode = kExitClean;
        if (!LoadShop(watch.shops[k].id, endpoints, policy, web, bar, feed, exitCode)) {
            feedShort = true;
            continue;
        }
        WarnShortFeed(feed);
        feedShort = feedShort || FeedShort(feed);
        loaded.push_back({watch.shops[k].id, std::move(feed.items)});
        shopOfLoaded.push_back(k);
    }
    if (Interrupted())
        return kExitInterrupted;
    if (loaded.empty()) {
        ReportError("no shop of the watch gave items");
        return kExitNoShop;
    }

    const std::vector<sources::ShopItem> allItems = rank::AllItemsOf(loaded);
    Progress progress;
    for (const WatchWalk& walk : watch.walks)
        progress.pagesTotal += walk.pageLimit * static_cast<int>(walk.sorts.size());
    WalkProgress observer(bar, progress);
    std::vector<std::vector<base::PassOutcome>> passesOfShop(watch.shops.size());
    std::vector<base::PassOutcome> walks;
    std::vector<std::string> notWalked;
    int walkNumber = 0;
    int walkCount = 0;
    for (const WatchWalk& walk : watch.walks)
        walkCount += static_cast<int>(walk.sorts.size());
    for (const WatchWalk& walk : watch.walks) {
        for (const SortPass& sort : walk.sorts) {
            ++walkNumber;
            if (stop()) {
                notWalked.push_back(walk.category.slug + "/" + sort.key.bytes());
                continue;
            }
            progress.phase = "walk " + std::to_string(walkNumber) + "/" + std::to_string(walkCount) + " " +
                             walk.category.slug + " " + sort.key.bytes();
            const base::PassRequest request{Text(), walk.category.slug, {}, sort.key.bytes(), walk.pageLimit};
            base::PassOutcome outcome =
                HeadlessWalk(endpoints.marketHost, policy, stop, web).Run(request, allItems, &observer);
            LeaveOutUnwalked(progress, walk.pageLimit, outcome);
            const std::string walkId = WalkId(runStarted, walkNumber);
            for (std::size_t n = 0; n < loaded.size(); ++n)
                passesOfShop[shopOfLoaded[n]].push_back(rank::PassOfShop(outcome, loaded[n], walkId));
            walks.push_back(std::move(outcome));
        }
    }
    bar.Clear();

    PrintResults(plan, passesOfShop, context.out);
    RunEnd end;
    if (context.passSink) {
        for (const auto& passes : passesOfShop)
            for (const base::PassOutcome& pass : passes)
                if (!context.passSink(pass))
                    end.notKept = true;
    }
    if (!ReportRunEnd(walks, notWalked, context.out))
        end.notKept = true;
    if (outOfTime)
        ReportError("max_minutes (" + std::to_string(watch.maxMinutes) +
                    ") reached: items not yet seen are marked incomplete");
    if (Interrupted())
        ReportError("interrupted: items not yet seen are marked incomplete");
    end.interrupted = Interrupted();
    end.failedRequests = AnyFailed(walks) || feedShort || outOfTime;
    return QueryExitCode(end);
}

} // namespace rankmoth::cli
