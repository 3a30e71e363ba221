#include "cli/cli_context.h"

#include "history/history_report.h"
#include "history/pass_recorder.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <sstream>

namespace rankmoth::cli {

namespace {

struct HistoryWords {
    history::HistoryQuery query;
    std::string format = "table";
    std::string file;
};

} // namespace

SubcommandRunner AddHistoryCommand(CLI::App& program, CliContext& context) {
    auto words = std::make_shared<HistoryWords>();
    CLI::App* command = program.add_subcommand("history", "Print the passes kept in the history of a shop.");
    command->add_option("--shop", words->query.shop, "the shop ID")->required()->type_name("ID");
    command->add_option("--item", words->query.itemId, "one item: its place in each pass")->type_name("ID");
    command->add_option("--sort", words->query.sort, "pop, hot30day or new (default all)")->type_name("SORT");
    command->add_option("--since", words->query.since, "passes started on or after DATE (YYYY-MM-DD, UTC)")
        ->type_name("DATE");
    command->add_option("--format", words->format, "table, csv or json (default table)")->type_name("FORMAT");
    command
        ->add_option("--history", words->file,
                     "the history database (default: RANKMOTH_HISTORY or the user's "
                     "data folder)")
        ->type_name("FILE");
    return [words, &context] {
        history::ReportFormat format;
        if (!history::ParseReportFormat(words->format, format)) {
            ReportError("--format: \"" + words->format + "\" is not table, csv or json");
            return static_cast<int>(kExitUsage);
        }
        history::HistoryStore store;
        const std::string path = history::RecordingPath(words->file, false);
        if (!store.Open(path)) {
            ReportError(store.error());
            return 1;
        }
        std::ostringstream out;
        const int status = history::PrintHistory(store, words->query, format, out, std::cerr);
        context.out.Write(out.str());
        return status;
    };
}

void AddRecordingOptions(CLI::App& query, CliContext& context) {
    auto file = std::make_shared<std::string>();
    auto off = std::make_shared<bool>(false);
    query
        .add_option("--history", *file,
                    "keep the passes in FILE (default: RANKMOTH_HISTORY or the user's data "
                    "folder)")
        ->type_name("FILE");
    query.add_flag("--no-history", *off, "keep no history of this run");
    // The recorder is made once the command line is parsed, when both options are known; it never changes the
    // exit status: a history that cannot be written is said once on stderr.
    query.final_callback([file, off, &context] {
        auto recorder = std::make_shared<history::PassRecorder>(history::RecordingPath(*file, *off));
        if (!recorder->enabled())
            return;
        context.passSink = [recorder](const base::PassOutcome& pass) {
            const history::PassRecorder::Outcome recorded = recorder->Record(pass);
            if (!recorded.warning.empty())
                std::cerr << "rankmoth-cli: warning: " << recorded.warning << '\n';
        };
    });
}

} // namespace rankmoth::cli
