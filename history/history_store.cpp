#include "history/history_store.h"

#include "base/settings.h"
#include "history/pg_store.h"
#include "history/sqlite_store.h"

#include <algorithm>
#include <cstdlib>
#include <set>

namespace rankmoth::history {

std::string DefaultHistoryPath(const char* rankmothHistory, const char* xdgDataHome, const char* home) {
    const auto set = [](const char* value) { return value && *value; };
    if (set(rankmothHistory))
        return rankmothHistory;
    // A relative XDG folder is invalid and to be ignored, or the history would follow the current directory.
    if (set(xdgDataHome) && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/rankmoth/history.sqlite";
    if (set(home))
        return std::string(home) + "/.local/share/rankmoth/history.sqlite";
    return {};
}

std::string DefaultHistoryPath() {
    return DefaultHistoryPath(std::getenv("RANKMOTH_HISTORY"), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

KeptResults ResultsToKeep(const base::PassOutcome& pass) {
    KeptResults kept;
    std::set<std::string> seen;
    for (const base::ItemResult& item : pass.items) {
        if (item.itemId.empty() || !seen.insert(item.itemId.ToUtf8()).second)
            continue;
        kept.items.push_back(&item);
        kept.found += item.state == base::ItemState::Found;
    }
    return kept;
}

void FoldStanding(ItemSummary& summary, int sort, const Standing& held) {
    SortStanding& standing = summary.sorts[static_cast<std::size_t>(sort)];
    standing.checked = true;
    standing.state = held.latest.state;
    standing.page = held.latest.page;
    standing.slice = held.latest.slice;
    standing.checkedAt = held.checkedAt;
    standing.bestPosition = held.bestPosition;
    if (held.previous) {
        const int before = PositionOf(held.previous->state, held.previous->page, held.previous->slice);
        const int now = standing.position();
        standing.hasChange = before > 0 && now > 0;
        standing.change = standing.hasChange ? before - now : 0;
    }
    if (standing.bestPosition > 0 && (summary.bestPosition == 0 || standing.bestPosition < summary.bestPosition))
        summary.bestPosition = standing.bestPosition;
    summary.lastChecked = std::max(summary.lastChecked, standing.checkedAt);
}

base::Result<void> Store::ForEachTimeline(const std::string& shop, const TimelineSink& sink, std::size_t) {
    auto summaries = ItemSummaries(shop);
    if (!summaries)
        return base::Fail(summaries.error());
    std::vector<std::string> ids;
    for (const ItemSummary& summary : summaries.value())
        ids.push_back(summary.itemId);
    std::sort(ids.begin(), ids.end());
    for (const std::string& id : ids) {
        auto timeline = Timeline(shop, id);
        if (!timeline)
            return base::Fail(timeline.error());
        if (!sink(id, timeline.value()))
            break;
    }
    return {};
}

HistoryChoice ChooseHistory(const HistorySources& sources) {
    const struct {
        const std::string& location;
        std::string from;
        bool readable; // by other users of the machine
    } ranked[] = {
        {sources.flag, "--history", true},
        {sources.environment, "environment RANKMOTH_HISTORY", true},
        {sources.watchFile, "the watch file's [history] url", false},
        {sources.configFile, "config.ini's [history] url", false},
        {sources.defaultFile, sources.defaultFrom, false},
    };
    for (const auto& source : ranked) {
        if (source.location.empty())
            continue;
        HistoryChoice choice{source.location, source.from, {}};
        if (source.readable && HoldsPassword(source.location))
            choice.warning = "the history's password in " + source.from +
                             " can be read by others on this machine from the command line or the environment; "
                             "keep it in PGPASSFILE or ~/.pgpass instead";
        return choice;
    }
    return {};
}

HistoryChoice ChooseHistory(const std::string& flag, const std::string& watchUrl, const std::string& configIni) {
    const char* environment = std::getenv("RANKMOTH_HISTORY");
    const char* xdgDataHome = std::getenv("XDG_DATA_HOME");
    HistorySources sources{flag, environment ? environment : "", watchUrl, {},
                           DefaultHistoryPath(nullptr, xdgDataHome, std::getenv("HOME")),
                           xdgDataHome && xdgDataHome[0] == '/' ? "XDG_DATA_HOME" : "HOME, ~/.local/share"};
    if (!configIni.empty())
        sources.configFile = base::ReadSetting(configIni, Text("history"), Text("url")).ToUtf8();
    return ChooseHistory(sources);
}

HistoryChoice ChooseHistory(const std::string& flag, const std::string& watchUrl) {
    return ChooseHistory(flag, watchUrl, base::ConfigFile());
}

bool IsDatabaseUrl(std::string_view location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

namespace {

// Where a URL's password sits: [begin, end) of its text, or begin == npos for none. The user part's (between
// the scheme and the last '@' before the path), else a `password=` query parameter's.
std::pair<std::size_t, std::size_t> PasswordSpan(const std::string& url) {
    const std::size_t authority = url.find("://") + 3;
    const std::size_t pathAt = url.find_first_of("/?", authority);
    const std::size_t at = url.rfind('@', pathAt == std::string::npos ? std::string::npos : pathAt);
    if (at != std::string::npos && at >= authority) {
        const std::size_t colon = url.find(':', authority);
        if (colon != std::string::npos && colon < at)
            return {colon + 1, at};
    }
    for (std::size_t key = url.find('?'); key != std::string::npos; key = url.find('&', key + 1))
        if (url.compare(key + 1, 9, "password=") == 0) {
            const std::size_t begin = key + 10;
            return {begin, std::min(url.find('&', begin), url.size())};
        }
    return {std::string::npos, std::string::npos};
}

} // namespace

std::string MaskedLocation(const std::string& location) {
    if (!IsDatabaseUrl(location))
        return location;
    const auto [begin, end] = PasswordSpan(location);
    if (begin == std::string::npos)
        return location;
    return location.substr(0, begin) + "***" + location.substr(end);
}

bool HoldsPassword(const std::string& location) {
    if (!IsDatabaseUrl(location))
        return false;
    const auto [begin, end] = PasswordSpan(location);
    return begin != std::string::npos && end > begin;
}

base::Result<std::unique_ptr<Store>> OpenStore(const std::string& location, Access access,
                                               std::chrono::milliseconds busyTimeout) {
    if (IsDatabaseUrl(location)) {
        auto session = pg::Connect(location, access, busyTimeout);
        if (!session)
            return base::Fail(session.error());
        return std::unique_ptr<Store>(std::make_unique<pg::PgStore>(std::move(session).value()));
    }
    auto connection = access == Access::ReadWrite ? sqlite::OpenForWriting(location, busyTimeout)
                                                  : sqlite::OpenForReading(location, busyTimeout);
    if (!connection)
        return base::Fail(connection.error());
    return std::unique_ptr<Store>(std::make_unique<sqlite::SqliteStore>(std::move(connection).value()));
}

std::vector<CrossSortRow> CrossSort(const std::vector<ItemSummary>& summaries) {
    std::vector<CrossSortRow> rows;
    rows.reserve(summaries.size());
    for (const ItemSummary& summary : summaries) {
        CrossSortRow row{summary.itemId, summary.title, summary.sorts, false};
        int low = 0, high = 0;
        for (const SortStanding& standing : row.sorts) {
            if (!standing.checked || standing.state != base::ItemState::Found)
                continue;
            low = low == 0 ? standing.page : std::min(low, standing.page);
            high = std::max(high, standing.page);
        }
        row.disagree = low > 0 && high - low >= kDisagreePages;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace rankmoth::history
