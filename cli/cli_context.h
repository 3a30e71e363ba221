#pragma once

#include "base/endpoints.h"
#include "base/pass_outcome.h"
#include "cli/output_stream.h"

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace rankmoth::cli {

// Exit statuses, for scripts.
enum ExitCode : int {
    kExitClean = 0,
    kExitUsage = 2,
    kExitFailedRequests = 3, // results printed, but some requests failed
    kExitNoShop = 4,         // the shop feed gave no items or could not be reached
    kExitInterrupted = 130,  // 128 + SIGINT, as a shell reports it
};

// What every subcommand shares: the global options, standard output and the places passes go to.
struct CliContext {
    std::string marketHost; // --market-host, empty when not given
    std::string shopBase;   // --shop-base, empty when not given
    OutputStream& out;
    // Every finished pass of the query command, after it is printed. Empty when nothing wants them.
    std::function<void(const base::PassOutcome&)> passSink;

    // The hosts to talk to: built-in defaults, then [hosts] of the settings file, then the environment, then
    // the flags above. A bad value in the file or the environment is warned about on stderr.
    base::Endpoints Endpoints() const;
};

// A subcommand adds itself and its options to the program's parser and returns what runs it once the
// command line has been parsed; the runner returns the exit status.
using SubcommandRunner = std::function<int()>;
using SubcommandSetup = SubcommandRunner (*)(CLI::App& program, CliContext& context);

SubcommandRunner AddItemsCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddQueryCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddHistoryCommand(CLI::App& program, CliContext& context);
// --history FILE and --no-history on the query command: every finished pass goes to the history store.
void AddRecordingOptions(CLI::App& query, CliContext& context);

// "rankmoth-cli: <reason>" on stderr, one line.
void ReportError(const std::string& reason);

} // namespace rankmoth::cli
