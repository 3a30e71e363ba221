// rankmoth-cli track: one run of the watch file.
#include "cli/cli_context.h"
#include "cli/track_run.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace rankmoth::cli {

namespace {

struct TrackWords {
    std::string watch;
    std::string format = "table";
    bool dryRun = false;
};

} // namespace

SubcommandRunner AddTrackCommand(CLI::App& program, CliContext& context) {
    auto words = std::make_shared<TrackWords>();
    CLI::App* command = program.add_subcommand(
        "track", "Load every shop of the watch file, walk each listing once for all of them and print where each "
                 "shop's items stand.");
    command
        ->add_option("--watch", words->watch,
                     "the watch file (default: watch.toml beside config.ini, in $XDG_CONFIG_HOME/rankmoth for an "
                     "installed copy)")
        ->type_name("FILE");
    command->add_flag("--dry-run", words->dryRun, "print what the run would do and make no request");
    command
        ->add_option("--format", words->format,
                     "table, csv, json (one array) or jsonl (one pass a line) (default table); times in local time")
        ->type_name("FORMAT");
    AddRecordingOptions(*command, context);
    return [words, &context] {
        std::string error;
        const auto format = FormatOrSay(words->format);
        if (!format)
            return static_cast<int>(kExitUsage);
        const std::string file =
            words->watch.empty() ? DefaultWatchFile(base::ProcessFileLocations()) : words->watch;
        auto watch = ReadWatch(file, error);
        if (!watch) {
            ReportError(error);
            return static_cast<int>(kExitUsage);
        }
        // The watch's shared history, when its file names one, unless --history or RANKMOTH_HISTORY say otherwise.
        if (!watch->historyUrl.empty() && !context.noHistory)
            RecordTo(context, HistoryLocation(context.historyFlag, watch->historyUrl));
        if (words->dryRun) {
            const TrackEstimates estimates =
                context.recorder ? EstimatesFrom(context.recorder->path(), *watch) : TrackEstimates{};
            context.out.Write(TrackPlanText(*watch, estimates));
            return context.out.failure().empty() ? static_cast<int>(kExitClean) : static_cast<int>(kExitNotKept);
        }
        return RunTrack(TrackPlan{std::move(*watch), *format}, context);
    };
}

} // namespace rankmoth::cli
