#include "cli/cli_context.h"
#include "cli/output_format.h"
#include "cli/pass_printer.h"

#include "history/history_report.h"
#include "history/migrate.h"
#include "history/pass_recorder.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <memory>

namespace rankmoth::cli {

namespace {

// The items a shop's feed no longer lists, apart from the passes: gone is not the same as not found.
std::string RetiredItemsTable(const std::vector<history::ItemSighting>& retired) {
    if (retired.empty())
        return {};
    int idWidth = 4;
    for (const history::ItemSighting& item : retired)
        idWidth = std::max(idWidth, DisplayWidth(base::TerminalSafe(item.itemId)));
    const auto pad = [idWidth](const std::string& id) { return id + std::string(idWidth - DisplayWidth(id) + 2, ' '); };
    std::string text = "\nItems no longer in the shop's feed (their passes are kept):\n" + pad("ITEM") +
                       "LAST SEEN             FIRST SEEN            TITLE\n";
    for (const history::ItemSighting& item : retired)
        text += pad(base::TerminalSafe(item.itemId)) + item.lastSeen + "  " + item.firstSeen + "  " +
                base::TerminalSafe(item.title) + "\n";
    return text;
}

struct HistoryWords {
    history::HistoryQuery query;
    std::string format = "table";
    std::string file;
    bool results = false;
};

struct MigrateWords {
    std::string from;
    std::string to;
};

int Migrate(const MigrateWords& words, CliContext& context) {
    // Words the wrong way round are a usage mistake, said before any history is opened.
    if (history::IsDatabaseUrl(words.from) || !history::IsDatabaseUrl(words.to)) {
        ReportError(history::IsDatabaseUrl(words.from)
                        ? "history: --from takes a history file, not " + history::MaskedLocation(words.from)
                        : "history: --to takes a postgresql:// or postgres:// address, not " + words.to);
        return static_cast<int>(kExitUsage);
    }
    if (history::HoldsPassword(words.to))
        ReportError("warning: the database password on the command line can be read by others on this machine; "
                    "keep it in PGPASSFILE or ~/.pgpass instead");
    const base::Result<history::MigrationCount> count = history::MigrateToDatabase(words.from, words.to);
    if (!count) {
        ReportError("history: " + count.error());
        return static_cast<int>(kExitNoShop);
    }
    const std::string line = "history: migrated " + std::to_string(count.value().copied) + " passes (" +
                             std::to_string(count.value().alreadyThere) + " were already there) to " +
                             history::MaskedLocation(words.to) + "\n";
    if (!context.out.Write(line)) {
        ReportError(context.out.failure());
        return static_cast<int>(kExitNotKept);
    }
    return static_cast<int>(kExitClean);
}

} // namespace

SubcommandRunner AddHistoryCommand(CLI::App& program, CliContext& context) {
    auto words = std::make_shared<HistoryWords>();
    CLI::App* command = program.add_subcommand("history", "Print the passes kept in the history of a shop.");
    command->add_option("--shop", words->query.shop, "the shop ID (required)")->type_name("ID");
    command->add_option("--item", words->query.itemId, "one item: its place in each pass")->type_name("ID");
    command->add_flag("--results", words->results,
                      "every item result of every pass, streamed, as csv, json or jsonl (not table)");
    command->add_option("--sort", words->query.sort, "pop, hot30day, new or all (default all)")->type_name("SORT");
    command->add_option("--since", words->query.since, "passes started on or after DATE (YYYY-MM-DD, UTC)")
        ->type_name("DATE");
    command->add_option("--format", words->format, "table, csv, json or jsonl (default table); times in UTC")
        ->type_name("FORMAT");
    command
        ->add_option("--history", words->file,
                     "the history file or postgresql:// database (default: RANKMOTH_HISTORY, config.ini's "
                     "[history] url or the user's data folder); read, never created")
        ->type_name("FILE|URL");
    auto move = std::make_shared<MigrateWords>();
    CLI::App* migrate = command->add_subcommand(
        "migrate", "Copy a history file into a shared PostgreSQL database; passes already there are skipped.");
    migrate->add_option("--from", move->from, "the history file to copy")->required()->type_name("FILE");
    migrate->add_option("--to", move->to, "the database, postgresql://[user@]host[:port]/name")
        ->required()
        ->type_name("URL");
    return [words, move, migrate, &context] {
        if (migrate->parsed())
            return Migrate(*move, context);
        if (words->query.shop.empty()) {
            ReportError("--shop is required (see --help)");
            return static_cast<int>(kExitUsage);
        }
        const auto format = FormatOrSay(words->format);
        if (!format)
            return static_cast<int>(kExitUsage);
        if (words->results && *format == OutputFormat::Table) {
            ReportError("history: --results prints csv, json or jsonl; add --format");
            return static_cast<int>(kExitUsage);
        }
        const base::Result<history::PassFilter> filter = history::CheckHistoryQuery(words->query);
        if (!filter) {
            ReportError("history: " + filter.error());
            return static_cast<int>(kExitUsage);
        }
        // Reading must not make what it reads: a mistyped path is said to be missing, not created empty.
        base::Result<std::unique_ptr<history::Store>> store =
            history::OpenStore(HistoryLocation(words->file), history::Access::ReadOnly);
        if (!store) {
            ReportError("history: " + store.error());
            return static_cast<int>(kExitNoShop);
        }
        const auto write = [&context](std::string_view text) { return context.out.Write(text); };
        const base::Result<std::size_t> printed =
            words->results ? history::PrintResults(*store.value(), filter.value(), *format, write)
                           : history::PrintHistory(*store.value(), filter.value(), *format, write);
        if (!context.out.failure().empty()) {
            ReportError(context.out.failure());
            return static_cast<int>(kExitNotKept);
        }
        // The store failing while reading is a history that cannot be read.
        if (!printed) {
            ReportError("history: " + printed.error());
            return static_cast<int>(kExitNoShop);
        }
        if (printed.value() == 0 && *format == OutputFormat::Table)
            ReportError("history: no stored passes match");
        if (*format == OutputFormat::Table && words->query.itemId.empty() && !words->results) {
            const auto retired = store.value()->RetiredItems(filter.value().shop);
            if (!retired) {
                ReportError("history: " + retired.error());
                return static_cast<int>(kExitNoShop);
            }
            if (!context.out.Write(RetiredItemsTable(retired.value()))) {
                ReportError(context.out.failure());
                return static_cast<int>(kExitNotKept);
            }
        }
        return static_cast<int>(kExitClean);
    };
}

void AddRecordingOptions(CLI::App& query, CliContext& context) {
    auto file = std::make_shared<std::string>();
    auto off = std::make_shared<bool>(false);
    query
        .add_option("--history", *file,
                    "keep the passes in FILE or the postgresql:// database URL (default: RANKMOTH_HISTORY, the "
                    "watch file's or config.ini's [history] url, or the user's data folder)")
        ->type_name("FILE|URL");
    query.add_flag("--no-history", *off, "keep no history of this run");
    // The recorder is made once the command line is parsed, when both options are known. A pass that cannot be
    // kept is said once on stderr, naming the file and the reason, and ends the run with exit status 5.
    query.final_callback([file, off, &context] {
        context.historyFlag = *file;
        context.noHistory = *off;
        RecordTo(context, *off ? std::string() : HistoryLocation(*file));
    });
}

std::string HistoryLocation(const std::string& flag, const std::string& watchUrl) {
    static bool warned = false;
    const history::HistoryChoice choice = history::ChooseHistory(flag, watchUrl);
    if (!choice.warning.empty() && !warned) {
        warned = true;
        ReportError("warning: " + choice.warning);
    }
    return choice.location;
}

void RecordTo(CliContext& context, const std::string& location) {
    context.recorder.reset();
    context.passSink = nullptr;
    if (context.noHistory || location.empty())
        return;
    auto recorder = std::make_shared<history::PassRecorder>(location);
    context.recorder = recorder;
    context.passSink = [recorder](const base::PassOutcome& pass) {
        const history::PassRecorder::Outcome recorded = recorder->Record(pass);
        if (!recorded.warning.empty())
            ReportError(recorded.warning);
        return recorded.recorded;
    };
}

} // namespace rankmoth::cli
