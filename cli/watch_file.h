#pragma once

#include "base/file_locations.h"
#include "cli/query_options.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::cli {

// A watch: the shops a seller follows, their own and their competitors', and the listings walked once for
// all of them.

enum class ShopRole { Own, Competitor };

struct WatchShop {
    Text id;          // GBK, as the feed address is made of
    ShopRole role = ShopRole::Own;
    std::string name; // UTF-8; empty when the file gives none
};

struct WatchWalk {
    CategoryChoice category;
    std::vector<SortPass> sorts;
    int pageLimit = 10;
};

// When a run tells the seller what moved.
struct WatchAlerts {
    int pageMoves = 3;        // as the history page's threshold
    bool competitors = false; // also the competitors' items
    bool desktop = false;     // a desktop notification per run
    std::string webhook;      // http(s) address for one JSON POST per run; empty for none
    // No desktop notification from `quietFrom` to `quietUntil` (minutes after midnight, local time; the span
    // may cross midnight); equal when there are no quiet hours. Webhooks still go.
    int quietFrom = 0;
    int quietUntil = 0;

    bool Quiet(int minuteOfDay) const {
        if (quietFrom == quietUntil)
            return false;
        return quietFrom < quietUntil ? minuteOfDay >= quietFrom && minuteOfDay < quietUntil
                                      : minuteOfDay >= quietFrom || minuteOfDay < quietUntil;
    }
};

struct Watch {
    std::string file;
    std::vector<WatchShop> shops; // as the file lists them
    std::vector<WatchWalk> walks;
    std::chrono::milliseconds delay{200};
    int retries = 2;
    int maxMinutes = 0; // 0: no limit
    // How often the watch runs: machines sharing a history split each such span's work between them.
    std::chrono::minutes every{60};
    WatchAlerts alerts;
    std::string historyUrl; // [history] url: the shared database the runs keep to; empty when none is named
};

// Reads and checks a watch file. On a refusal, returns nothing and sets `error` to one line that names the
// file, the line and the key: "watch.toml:7: walk.pages: 0 is not a whole number from 1 to 100".
std::optional<Watch> ReadWatch(const std::string& file, std::string& error);
// The same for a file's text; `file` only names it in messages.
std::optional<Watch> ParseWatch(std::string_view text, const std::string& file, std::string& error);

// Where the watch is kept when no --watch names it: beside the settings file.
std::string DefaultWatchFile(const base::FileLocations& locations);

} // namespace rankmoth::cli
