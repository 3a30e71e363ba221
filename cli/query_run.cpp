#include "cli/query_run.h"

#include "cli/interrupt.h"
#include "cli/output_format.h"
#include "cli/run_support.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <unistd.h>

namespace rankmoth::cli {

int RunQuery(const QueryPlan& plan, CliContext& context) {
    base::Endpoints endpoints;
    if (!context.Endpoints(endpoints))
        return kExitUsage;
    InstallInterruptHandler();
    HostGate gate(context.recorder ? context.recorder->path() : std::string(), context.recorder.get());
    const auto policies = ClearedPolicies(gate, endpoints, PolicyOf(plan.delay, plan.retries), std::chrono::seconds(0));
    if (!policies)
        return kExitFailedRequests;
    HeadlessWeb web;
    ProgressBar bar(STDERR_FILENO);

    sources::FeedOutcome feed;
    int exitCode = kExitClean;
    if (!LoadShop(plan.shop, endpoints, policies->feed, web, bar, feed, exitCode))
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
        base::PassOutcome pass =
            HeadlessWalk(endpoints.marketHost, policies->walk, stop, web).Run(request, feed.items, &observer);
        LeaveOutUnwalked(progress, plan.pageLimit, pass);
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
    // Only read: the items command keeps no history, but must not knock on a host that asked for rest.
    HostGate gate(HistoryLocation({}), nullptr);
    if (!gate.Clear({BackoffKey(endpoints.shopBase)}, std::chrono::seconds(0)))
        return kExitFailedRequests;
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
