#include "base/file_locations.h"
#include "base/safe_text.h"
#include "base/settings.h"
#include "cli/cli_context.h"
#include "cli/output_format.h"
#include "history/history_store.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cstdlib>
#include <filesystem>

namespace rankmoth::cli {

namespace {

using Row = std::array<std::string, 3>; // setting, value, where it came from

bool AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/';
}

bool SetVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] != '\0';
}

// The rows about the files: which kind of copy this is, and the settings file and history it reads.
std::vector<Row> FileRows() {
    const base::FileLocations where = base::ProcessFileLocations();
    const std::string exeDir = base::ExecutableDir();
    const std::string config = where.configDir + "/config.ini";
    std::error_code error;
    const bool present = std::filesystem::exists(config, error);
    std::string configFrom;
    if (!where.installed)
        configFrom = "beside the executable (a portable copy)";
    else if (AbsoluteVariable("XDG_CONFIG_HOME"))
        configFrom = "XDG_CONFIG_HOME (an installed copy)";
    else if (SetVariable("HOME"))
        configFrom = "HOME, ~/.config (an installed copy)";
    else
        configFrom = "beside the executable (an installed copy without HOME: it cannot be written)";
    // The history as every command finds it, without a flag or a watch file; a password never printed.
    const history::HistoryChoice history = history::ChooseHistory({}, {}, config);
    const std::string historyFile = history.location.empty() ? "(none)" : history::MaskedLocation(history.location);
    const std::string historyFrom =
        history.location.empty() ? "RANKMOTH_HISTORY, config.ini, XDG_DATA_HOME and HOME name none" : history.from;
    return {
        Row{"copy", where.installed ? "installed" : "portable",
            where.installed ? exeDir + " is read-only or has " + exeDir + "/../share/rankmoth beside it"
                            : exeDir + " is writable, with no ../share/rankmoth beside it"},
        Row{"config_file", config + (present ? "" : " (absent)"), configFrom},
        Row{"history", historyFile, historyFrom},
    };
}

std::string Table(const std::vector<Row>& rows) {
    std::array<int, 3> widths{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::string out;
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            out += row[c];
            if (c + 1 < row.size())
                out.append(static_cast<std::size_t>(widths[c] - DisplayWidth(row[c]) + 2), ' ');
        }
        out += '\n';
    }
    return out;
}

} // namespace

SubcommandRunner AddConfigCommand(CLI::App& program, CliContext& context) {
    program.add_subcommand("config", "Print each effective setting, its value and where it came from: built-in, a "
                                     "line of the settings file, the environment or a flag.");
    return [&context] {
        std::vector<base::Endpoints::Origin> origins;
        base::Endpoints endpoints;
        // A bad value is said on stderr and the table still shows what would be used in its place, so the user
        // sees both the mistake and the layer under it.
        const bool valid = context.Endpoints(endpoints, &origins);
        std::vector<Row> rows = {Row{"SETTING", "VALUE", "FROM"}};
        for (Row& row : FileRows())
            rows.push_back(std::move(row));
        for (const base::Endpoints::Origin& origin : origins)
            rows.push_back(Row{origin.key, origin.value.empty() ? "\"\" (no check)" : origin.value, origin.from});
        for (Row& row : rows) {
            for (std::string& cell : row)
                cell = base::TerminalSafe(cell);
        }
        context.out.Write(Table(rows));
        if (!context.out.failure().empty()) {
            ReportError(context.out.failure());
            return static_cast<int>(kExitNotKept);
        }
        return static_cast<int>(valid ? kExitClean : kExitUsage);
    };
}

} // namespace rankmoth::cli
