// rankmoth-cli: the shop load and the rank query without a window, at the network's pace.
#include "base/version.h"
#include "cli/cli_context.h"
#include "cli/command_line.h"
#include "cli/interrupt.h"
#include "cli/query_options.h"

#include <CLI/CLI.hpp>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <vector>

namespace {

using namespace rankmoth::cli;

// Each subcommand is one entry; one defined in another file is added here with one line.
constexpr SubcommandSetup kSubcommands[] = {
    AddItemsCommand,
    AddQueryCommand,
    AddTrackCommand,
    AddStatusCommand,
    AddScheduleCommand,
    AddHistoryCommand,
    AddReportCommand,
    AddConfigCommand,
};

constexpr const char* kFooter =
    R"(Hosts: the built-in marketplace, overridden by [hosts] market and shop_base in config.ini, overridden by
RANKMOTH_MARKET_HOST and RANKMOTH_SHOP_BASE, overridden by --market-host and --shop-base; a value that is not
of its form is an error. `rankmoth-cli config` shows each setting, its value and where it came from.
History: every query pass is kept in $XDG_DATA_HOME/rankmoth/history.sqlite (or --history FILE|URL,
RANKMOTH_HISTORY, the watch file's or config.ini's [history] url, in that order; a postgresql:// URL names a
shared database, which `history migrate` fills from a file); --no-history keeps none, and the history command
prints it.
Times: ISO 8601 with the offset; local time for query (2026-12-08T14:03:05+08:00), UTC for history
(2026-12-08T06:03:05Z).
Exit status: 0 clean, 2 usage error or a bad setting, 3 results printed but some requests failed, 4 the shop
feed gave no items or could not be reached (history: no such history file, or it cannot be read; schedule:
no systemd user manager, the crontab line is printed instead), 5 results
printed but a pass could not be kept in the history or the output could not be written, 130 interrupted (what
was walked is printed, the rest incomplete).
Example: rankmoth-cli query --shop demo --pages 2 --sort all --format csv
See rankmoth-cli(1) for the output formats.)";

} // namespace

int main(int argc, char** argv) {
    // A fixed threshold keeps every answer-sized buffer in its own mapping, handed back when freed; glibc's
    // sliding threshold would otherwise move such buffers onto the heap after the first one and keep the
    // memory of each failed 16 MiB answer for the rest of the run.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    IgnoreBrokenPipe();
    OutputStream out(STDOUT_FILENO);
    CliContext context{{}, {}, out, {}, {}, {}, false};

    CLI::App program("rankmoth-cli: where a shop's items stand in the marketplace's category listing.", "rankmoth-cli");
    program.set_version_flag("--version", "rankmoth-cli " + std::string(rankmoth::base::kVersion));
    program.footer(kFooter);
    program.require_subcommand(1);
    // Global options may also follow the subcommand's name.
    program.fallthrough();
    std::string marketHost, shopBase;
    program.add_option("--market-host", marketHost, "listing host, host[:port] (overrides RANKMOTH_MARKET_HOST)")
        ->type_name("HOST")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    program
        .add_option("--shop-base", shopBase,
                    "shop feed base address, http://host[:port]/ (overrides RANKMOTH_SHOP_BASE)")
        ->type_name("URL")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    std::vector<std::pair<CLI::App*, SubcommandRunner>> runners;
    for (const SubcommandSetup setup : kSubcommands) {
        const std::size_t before = program.get_subcommands({}).size();
        SubcommandRunner runner = setup(program, context);
        const auto all = program.get_subcommands({});
        runners.emplace_back(all.size() > before ? all.back() : nullptr, std::move(runner));
    }

    const std::string problem = CheckCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc),
                                                 OptionWordsOf(program), CommandWordsOf(program));
    if (!problem.empty()) {
        ReportError(problem);
        return kExitUsage;
    }

    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return program.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return program.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return program.exit(e);
    } catch (const CLI::ParseError& e) {
        ReportError(std::string(e.what()) + " (see --help)");
        return kExitUsage;
    }

    std::string error;
    if (program.count("--market-host") > 0) {
        const auto host = ParseMarketHost(marketHost, error);
        if (!host) {
            ReportError(error);
            return kExitUsage;
        }
        context.marketHost = *host;
    }
    if (program.count("--shop-base") > 0) {
        const auto base = ParseShopBase(shopBase, error);
        if (!base) {
            ReportError(error);
            return kExitUsage;
        }
        context.shopBase = *base;
    }

    for (auto& [command, runner] : runners) {
        if (command && command->parsed())
            return runner();
    }
    return kExitUsage;
}
