#pragma once

#include "base/endpoints.h"
#include "base/pass_outcome.h"
#include "cli/output_stream.h"
#include "history/pass_recorder.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace rankmoth::cli {

// Exit statuses, for scripts.
enum ExitCode : int {
    kExitClean = 0,
    kExitUsage = 2,
    kExitFailedRequests = 3, // results printed, but some requests failed
    kExitNoShop = 4,         // the shop feed gave no items or could not be reached; no such history file
    kExitNotKept = 5,        // results printed, but a pass could not be kept or the output could not be written
    kExitInterrupted = 130,  // 128 + SIGINT, as a shell reports it
};

// What every subcommand shares: the global options, standard output and the places passes go to.
struct CliContext {
    std::string marketHost; // --market-host, empty when not given
    std::string shopBase;   // --shop-base, empty when not given
    OutputStream& out;
    // Every pass of the query command that was walked, after it is printed; false when it could not be kept
    // (the reason is then on stderr). Empty when nothing wants them.
    std::function<bool(const base::PassOutcome&)> passSink;
    // What passSink records through, for the commands that keep more than passes; null with --no-history.
    std::shared_ptr<history::PassRecorder> recorder;
    // --history and --no-history as given, for a command that learns of a watch file's history later.
    std::string historyFlag;
    bool noHistory = false;

    // The hosts to talk to: built-in defaults, then [hosts] of the settings file, then the environment, then
    // the flags above. A value in the file or the environment that is not of its form is an error: it is
    // said on stderr, naming the file, key and value, and false is returned, since going on with the
    // built-in host would send the run to the real marketplace when the user meant another.
    bool Endpoints(base::Endpoints& endpoints, std::vector<base::Endpoints::Origin>* origins = nullptr) const;
};

// A subcommand adds itself and its options to the program's parser and returns what runs it once the
// command line has been parsed; the runner returns the exit status.
using SubcommandRunner = std::function<int()>;
using SubcommandSetup = SubcommandRunner (*)(CLI::App& program, CliContext& context);

SubcommandRunner AddItemsCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddQueryCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddHistoryCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddConfigCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddTrackCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddStatusCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddReportCommand(CLI::App& program, CliContext& context);
SubcommandRunner AddScheduleCommand(CLI::App& program, CliContext& context);
// --history FILE and --no-history on the query command: every finished pass goes to the history store.
void AddRecordingOptions(CLI::App& query, CliContext& context);
// Where a command finds its history (history::ChooseHistory), a password others can read warned of once.
std::string HistoryLocation(const std::string& flag, const std::string& watchUrl = {});
// Records the passes to `location` from here on (the watch file's history, once it is read); nothing with
// --no-history.
void RecordTo(CliContext& context, const std::string& location);

// "rankmoth-cli: <reason>" on stderr, one line.
void ReportError(const std::string& reason);

} // namespace rankmoth::cli
