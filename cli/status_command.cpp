// rankmoth-cli status: what the last unattended run did, read from the history.
#include "cli/cli_context.h"
#include "cli/pass_printer.h"
#include "cli/watch_file.h"
#include "cli/watch_round.h"
#include "history/history_store.h"
#include "history/pass_recorder.h"
#include "history/result_row.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <memory>

namespace rankmoth::cli {

namespace {

using json = nlohmann::ordered_json;

struct StatusWords {
    std::string watch;
    std::string history;
    std::string format = "table";
};

std::string Seconds(const history::RunRow& run) {
    base::Clock::time_point started, finished;
    if (!history::ParseIsoTime(run.started, started) || !history::ParseIsoTime(run.finished, finished))
        return "?";
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(finished - started).count()) + " s";
}

std::string Place(const json& place) {
    return place.at("page").is_null()
               ? std::string("not found")
               : "p" + std::to_string(place.at("page").get<int>()) + " " + place.at("zone").get<std::string>();
}

std::string StatusTable(const std::string& watchFile, const history::RunRow& run, const json& alerts) {
    std::string text = "watch file     " + watchFile + "\n";
    text += "last run       " + history::IsoLocalTime(run.started) + ", " + Seconds(run) + ", exit status " +
            std::to_string(run.exitStatus) + "\n";
    text += "               watch " + run.watch + "; " + std::to_string(run.passes) + " passes, " +
            std::to_string(run.failedRequests) + " failed requests\n";
    std::size_t from = 0;
    for (std::size_t end; (end = run.reasons.find('\n', from)) != std::string::npos; from = end + 1)
        text += "               " + run.reasons.substr(from, end - from) + "\n";
    if (alerts.empty())
        return text + "alerts         none in the last run\n";
    text += "alerts         " + std::to_string(alerts.size()) + " in the last run\n";
    for (const json& a : alerts)
        text += "               " + a.at("shop").get<std::string>() + " " + a.at("item_id").get<std::string>() + " " +
                a.at("sort").get<std::string>() + ": " + Place(a.at("from")) + " -> " + Place(a.at("to")) + " (" +
                a.at("kind").get<std::string>() + ")\n";
    return text;
}

std::string StateOf(const history::WorkRow& row) {
    if (row.finished())
        return "done";
    if (row.worker.empty())
        return "open";
    return row.leaseExpired ? "lease ran out" : "in hand";
}

// The round machines sharing the history split: each piece, who took it, and what is left.
std::string RoundTable(const std::vector<history::WorkRow>& rows) {
    int left = 0;
    for (const history::WorkRow& row : rows)
        left += !row.finished();
    std::string text = "round          " + rows.front().round + ": " + std::to_string(rows.size() - left) + " of " +
                       std::to_string(rows.size()) + " pieces done, " + std::to_string(left) + " left\n";
    for (const history::WorkRow& row : rows) {
        text += "               " + row.kind + " " + row.piece + ": " + StateOf(row);
        if (!row.worker.empty())
            text += ", " + row.worker + (row.finished() ? " at " + history::IsoLocalTime(row.finishedAt)
                                                         : " until " + history::IsoLocalTime(row.leaseUntil));
        text += row.claims > 1 ? " (taken over)\n" : "\n";
    }
    return text;
}

json RoundJson(const std::vector<history::WorkRow>& rows) {
    json pieces = json::array();
    for (const history::WorkRow& row : rows)
        pieces.push_back({{"kind", row.kind},
                          {"piece", row.piece},
                          {"state", StateOf(row)},
                          {"worker", row.worker},
                          {"claims", row.claims},
                          {"lease_until", row.leaseUntil},
                          {"finished", row.finishedAt}});
    return {{"id", rows.front().round}, {"pieces", pieces}};
}

} // namespace

SubcommandRunner AddStatusCommand(CLI::App& program, CliContext& context) {
    auto words = std::make_shared<StatusWords>();
    CLI::App* command =
        program.add_subcommand("status", "Print what the last run of the watch did: when, how it ended, its alerts.");
    command->add_option("--watch", words->watch, "the watch file in use (default: watch.toml beside config.ini)")
        ->type_name("FILE");
    command
        ->add_option("--history", words->history,
                     "the history file or postgresql:// database (default: RANKMOTH_HISTORY, the watch file's or "
                     "config.ini's [history] url, or the user's data folder); read, never created")
        ->type_name("FILE|URL");
    command->add_option("--format", words->format, "table or json (default table)")->type_name("FORMAT");
    return [words, &context] {
        std::string error;
        const auto format = ParseFormat(words->format, error);
        if (!format || (*format != OutputFormat::Table && *format != OutputFormat::Json)) {
            ReportError(format ? "--format: status prints table or json" : error);
            return static_cast<int>(kExitUsage);
        }
        const std::string watchFile =
            words->watch.empty() ? DefaultWatchFile(base::ProcessFileLocations()) : words->watch;
        // The watch's own history, when its file names one; a file that cannot be read names none.
        std::string unread;
        const auto watch = ReadWatch(watchFile, unread);
        auto store = history::OpenStore(HistoryLocation(words->history, watch ? watch->historyUrl : std::string()),
                                        history::Access::ReadOnly);
        if (!store) {
            ReportError("status: " + store.error());
            return static_cast<int>(kExitNoShop);
        }
        const auto run = store.value()->LatestRun();
        const auto backoffs = store.value()->Backoffs();
        if (!run || !backoffs) {
            ReportError("status: " + (run ? backoffs.error() : run.error()));
            return static_cast<int>(kExitNoShop);
        }
        if (!run.value() && backoffs.value().empty()) {
            ReportError("status: no run of a watch is kept in " + store.value()->location() +
                        " yet; rankmoth-cli track makes one");
            return static_cast<int>(kExitNoShop);
        }
        // The watch's round now, else the latest any machine opened; none where no machines share the history.
        std::vector<history::WorkRow> round;
        if (watch)
            round = store.value()->RoundWork(RoundOf(*watch, std::time(nullptr)).id).value_or({});
        if (round.empty())
            round = store.value()->RoundWork("").value_or({});
        const history::RunRow last = run.value().value_or(history::RunRow{});
        const json alerts = json::parse(last.alerts, nullptr, false);
        const json shown = alerts.is_array() ? alerts : json::array();
        const auto now = base::Clock::now();
        std::string text;
        if (*format == OutputFormat::Json) {
            json hosts = json::array();
            for (const web::HostBackoff& b : backoffs.value())
                hosts.push_back({{"host", b.host},
                                 {"blocked_until", history::IsoLocalTime(history::IsoTime(b.blockedUntil))},
                                 {"blocked", b.blockedUntil > now},
                                 {"strikes", b.strikes},
                                 {"last_status", b.lastStatus}});
            json lastRun = nullptr;
            if (run.value())
                lastRun = {{"started", history::IsoLocalTime(last.started)},
                           {"finished", history::IsoLocalTime(last.finished)},
                           {"exit_status", last.exitStatus},
                           {"watch", last.watch},
                           {"passes", last.passes},
                           {"failed_requests", last.failedRequests},
                           {"reasons", last.reasons}};
            json object = {{"watch_file", watchFile}, {"last_run", lastRun}, {"alerts", shown}, {"backoff", hosts}};
            if (!round.empty())
                object["round"] = RoundJson(round);
            text = history::Dumped(object) + "\n";
        } else {
            text = run.value() ? StatusTable(watchFile, last, shown)
                               : "watch file     " + watchFile + "\nlast run       none kept\n";
            if (backoffs.value().empty())
                text += "backoff        none\n";
            for (const web::HostBackoff& b : backoffs.value())
                text += std::string(&b == &backoffs.value().front() ? "backoff        " : "               ") + b.host +
                        (b.blockedUntil > now ? " until " : " was blocked until ") +
                        history::IsoLocalTime(history::IsoTime(b.blockedUntil)) + " (HTTP " +
                        std::to_string(b.lastStatus) + ", " + std::to_string(b.strikes) +
                        (b.strikes == 1 ? " strike)\n" : " strikes)\n");
            if (!round.empty())
                text += RoundTable(round);
        }
        if (!context.out.Write(text)) {
            ReportError(context.out.failure());
            return static_cast<int>(kExitNotKept);
        }
        return static_cast<int>(kExitClean);
    };
}

} // namespace rankmoth::cli
