// rankmoth-cli report: one shop's history as a self-contained HTML page to share.
#include "cli/cli_context.h"

#include "history/shared_report.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace rankmoth::cli {

namespace {

struct ReportWords {
    std::string shop;
    std::string since;
    std::string until;
    std::string output;
    std::string history;
};

std::string SizeText(std::uintmax_t bytes) {
    return bytes < 10 * 1024 ? std::to_string(bytes) + " bytes"
                             : std::to_string((bytes + 512) / 1024) + " KiB";
}

} // namespace

SubcommandRunner AddReportCommand(CLI::App& program, CliContext& context) {
    auto words = std::make_shared<ReportWords>();
    CLI::App* command = program.add_subcommand(
        "report", "Write one shop's history as a self-contained HTML page: movers, each item's zones and "
                  "positions, the sorts side by side, and a watch's shops compared.");
    command->add_option("--shop", words->shop, "the shop ID")->required()->type_name("ID");
    command->add_option("--since", words->since, "passes started on or after DATE (YYYY-MM-DD, UTC)")
        ->type_name("DATE");
    command->add_option("--until", words->until, "passes started on or before DATE (YYYY-MM-DD, UTC)")
        ->type_name("DATE");
    command
        ->add_option("--output", words->output,
                     "the page to write, - for standard output (default: rankmoth-<shop>-<date>.html here)")
        ->type_name("FILE");
    command
        ->add_option("--history", words->history,
                     "the history file or postgresql:// database (default: RANKMOTH_HISTORY, config.ini's "
                     "[history] url or the user's data folder); read, never created")
        ->type_name("FILE|URL");
    return [words, &context] {
        const auto period = history::CheckPeriod(words->since, words->until);
        if (!period) {
            ReportError("report: " + period.error());
            return static_cast<int>(kExitUsage);
        }
        auto store = history::OpenStore(HistoryLocation(words->history), history::Access::ReadOnly);
        if (!store) {
            ReportError("report: " + store.error());
            return static_cast<int>(kExitNoShop);
        }
        history::ReportOptions options;
        options.shop = words->shop;
        options.period = period.value();
        options.generatedAt = base::Clock::now();

        const bool toStdout = words->output == "-";
        const std::filesystem::path target =
            words->output.empty() ? std::filesystem::path(history::DefaultReportName(words->shop, options.generatedAt))
                                  : std::filesystem::path(words->output);
        // Written beside its name and renamed only when whole: a failed report never replaces a good one, and a
        // half-written page never waits to be mailed.
        const std::filesystem::path part = target.string() + ".part";
        std::ofstream file;
        if (!toStdout) {
            file.open(part, std::ios::binary | std::ios::trunc);
            if (!file) {
                ReportError("report: " + part.string() + " cannot be written (" + std::strerror(errno) + ")");
                return static_cast<int>(kExitNotKept);
            }
        }
        const auto write = [&](std::string_view text) {
            if (toStdout)
                return context.out.Write(text);
            file.write(text.data(), static_cast<std::streamsize>(text.size()));
            return static_cast<bool>(file);
        };
        const auto written = history::WriteReport(*store.value(), options, write);
        // A reader that went away (`| head`) ends the page quietly, as every command's output does; any
        // other failure to write is said, with where and why.
        if (toStdout && context.out.closed()) {
            if (!context.out.failure().empty())
                ReportError(context.out.failure());
            return context.out.failure().empty() ? static_cast<int>(kExitClean) : static_cast<int>(kExitNotKept);
        }
        if (!toStdout)
            file.close();
        std::error_code ignored;
        if (!written || written.value().passes == 0 || (!toStdout && !file)) {
            if (!toStdout)
                std::filesystem::remove(part, ignored);
            if (!written) {
                ReportError("report: " + written.error());
                return static_cast<int>(kExitNoShop);
            }
            if (written.value().passes == 0) {
                const bool bounded = !words->since.empty() || !words->until.empty();
                ReportError("report: no passes of shop " + words->shop + " are kept in " + store.value()->location() +
                            (bounded ? " for that period" : "") + "; rankmoth-cli query or track makes them");
                return static_cast<int>(kExitNoShop);
            }
            ReportError("report: " + part.string() + " could not be written whole (" + std::strerror(errno) + ")");
            return static_cast<int>(kExitNotKept);
        }
        if (toStdout)
            return static_cast<int>(kExitClean);
        std::error_code renamed;
        std::filesystem::rename(part, target, renamed);
        if (renamed) {
            std::filesystem::remove(part, ignored);
            ReportError("report: " + target.string() + " cannot be written (" + renamed.message() + ")");
            return static_cast<int>(kExitNotKept);
        }
        const history::ReportFigures& figures = written.value();
        context.out.Write("wrote " + target.string() + ": " + std::to_string(figures.passes) + " passes, " +
                          std::to_string(figures.items) + " items" +
                          (figures.listings ? ", " + std::to_string(figures.listings) + " listings compared" : "") +
                          ", " + SizeText(std::filesystem::file_size(target, ignored)) + "\n");
        return static_cast<int>(kExitClean);
    };
}

} // namespace rankmoth::cli
