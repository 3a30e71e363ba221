#pragma once

#include "base/pass_outcome.h"
#include "base/result.h"
#include "history/change_alerts.h"
#include "history/place_label.h"
#include "history/standing.h"
#include "web/host_backoff.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rankmoth::history {

// Where the history lives: `rankmothHistory` when set, else `xdgDataHome`/rankmoth/history.sqlite, else
// `home`/.local/share/rankmoth/history.sqlite. Null and empty values count as unset, and so does a relative
// `xdgDataHome`; empty when all are.
std::string DefaultHistoryPath(const char* rankmothHistory, const char* xdgDataHome, const char* home);
// The same from RANKMOTH_HISTORY, XDG_DATA_HOME and HOME.
std::string DefaultHistoryPath();

// Every place that may name the history, strongest first; empty where one says nothing.
struct HistorySources {
    std::string flag;        // --history
    std::string environment; // RANKMOTH_HISTORY
    std::string watchFile;   // the watch file's [history] url, for track
    std::string configFile;  // [history] url of config.ini
    std::string defaultFile; // DefaultHistoryPath without RANKMOTH_HISTORY
    std::string defaultFrom = "the user's data folder"; // which variable made it
};
struct HistoryChoice {
    std::string location; // empty when nothing names one
    std::string from;     // where it came from, as `config show` says it
    // Set when a password sits where others on the machine can read it (a command line, the environment).
    std::string warning;
};
// The one rule every front end finds its history by: flags win, then the environment, then the watch file,
// then config.ini, then the default file.
HistoryChoice ChooseHistory(const HistorySources& sources);
// The same from the process's environment and the config.ini at `configIni` (empty: none).
HistoryChoice ChooseHistory(const std::string& flag, const std::string& watchUrl, const std::string& configIni);
// The same with the settings file the program reads (base::ConfigFile).
HistoryChoice ChooseHistory(const std::string& flag = {}, const std::string& watchUrl = {});

// A location that names a shared PostgreSQL database (postgresql:// or postgres://) rather than a file.
bool IsDatabaseUrl(std::string_view location);
// The location as messages and listings show it: a URL's password, in its user part or its query, as ***.
std::string MaskedLocation(const std::string& location);
// A URL that carries its password, which anyone on the machine may read from a command line or an environment.
bool HoldsPassword(const std::string& location);

// One stored pass. Text is UTF-8; times are ISO 8601 UTC (IsoTime).
struct PassRow {
    std::int64_t id = 0;
    std::string shop;
    std::string category;
    std::string subCategory;
    std::string sort;
    int pageLimit = 0;
    std::string started;
    std::string finished;
    int pagesWalked = 0;
    int requests = 0;
    int failedRequests = 0;
    bool stopped = false;
    int items = 0; // items looked for
    int found = 0; // of which found
    std::string walkId; // shared by the passes a watch cut from one walk; empty otherwise

    bool clean() const { return !stopped && failedRequests == 0; }
};

// An item's standing under one sort, as of the latest pass of that sort that looked for it.
struct SortStanding {
    bool checked = false; // some pass of this sort looked for the item; nothing else is set otherwise
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;
    // Against the latest earlier result that was not incomplete, when both are found: previous position minus
    // latest, so a positive change is a move up.
    bool hasChange = false;
    int change = 0;
    int bestPosition = 0; // 0 when never found under this sort
    std::string checkedAt;

    int position() const { return PositionOf(state, page, slice); }
};

// One row of the history page's item table.
struct ItemSummary {
    std::string itemId;
    std::string title;                          // the newest title seen
    std::array<SortStanding, kSortCount> sorts; // in base::kSortTable order
    int bestPosition = 0;                       // over every sort, 0 when never found
    std::string lastChecked;                    // the latest checkedAt over the sorts
};

// One cell of an item's zone timeline.
struct TimelinePoint {
    std::int64_t passId = 0;
    std::string started;
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;
    bool passStopped = false;
    bool passFailed = false; // some request of the pass failed
};

struct ItemTimeline {
    std::array<std::vector<TimelinePoint>, kSortCount> sorts; // each in time order
};

// The results of a pass that a store keeps, and how many of them found their item. A feed that lists an item
// twice must not cost the pass: the first result of an item stands; a result without an ID is dropped.
struct KeptResults {
    std::vector<const base::ItemResult*> items;
    int found = 0;
};
KeptResults ResultsToKeep(const base::PassOutcome& pass);

// Folds an item's kept standing under one sort (a base::kSortTable index) into its row of the item table:
// how every store's ItemSummaries builds its rows.
void FoldStanding(ItemSummary& summary, int sort, const Standing& held);

// One row of the cross-sort view.
struct CrossSortRow {
    std::string itemId;
    std::string title;
    std::array<SortStanding, kSortCount> sorts;
    // The found sorts stand 5 pages or more apart.
    bool disagree = false;
};
inline constexpr int kDisagreePages = 5;

// One line of an export: an item's result in one pass, with the pass.
struct ExportRow {
    std::string itemId;
    std::string title;
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;
    int hits = 0;
    std::string checkedAt;
    PassRow pass; // pass.sort is the row's sort
};

// Which passes to list. Empty fields do not filter; `since` is an IsoTime prefix such as "2026-12-08" and keeps
// passes started at or after it.
struct PassFilter {
    std::string shop;
    std::string itemId; // passes that looked for this item
    std::string sort;
    std::string since;
};

// One load of a shop's feed by a watch's run: the items the shop lists now. Text is UTF-8.
struct FeedSnapshot {
    std::string shop;
    base::Clock::time_point loadedAt{};
    std::vector<std::pair<std::string, std::string>> items; // item ID and title
    int requests = 0;
};
// What a feed load changed against the shop's previous one.
struct FeedChange {
    int added = 0;   // items the history had never seen for the shop
    int retired = 0; // items of the previous load that this one lacks
};
struct FeedRow {
    std::string loadedAt;
    int items = 0;
    int requests = 0;
};
// An item's first and last sighting in a feed or a pass.
struct ItemSighting {
    std::string itemId;
    std::string title;
    std::string firstSeen;
    std::string lastSeen;
};

// One run of a watch, as `status` reports it. Times are IsoTime; `alerts` is the JSON array the run's webhook
// carried (or would have).
struct RunRow {
    std::int64_t id = 0;
    std::string started;
    std::string finished;
    int exitStatus = 0;
    std::string watch;
    int passes = 0;
    int failedRequests = 0;
    std::string reasons; // one failure reason a line
    std::string alerts = "[]";
    std::string alertText; // the same alerts as the tray balloon words them; empty for none
    std::uint32_t notificationId = 0; // the desktop notification the next run replaces
};

// One piece of a round's work, as the machines sharing a history split it: a shop's feed load or a walk.
// Times are IsoTime by the database's clock, empty where nothing has happened yet.
struct WorkRow {
    std::string round;
    std::string kind;  // "feed" or "walk"; feeds are claimed first
    std::string piece; // unique within the round: what to do, such as "demo" or "2 shoes/pop"
    int position = 0;  // claim order within its kind
    std::string openedAt;
    std::string worker; // who holds or last held it; empty until claimed
    std::string claimedAt;
    std::string leaseUntil;
    std::string finishedAt;
    int claims = 0; // more than one when a worker took it over from one whose lease ran out
    bool leaseExpired = false;

    bool finished() const { return !finishedAt.empty(); }
};
struct WorkPiece {
    std::string kind;
    std::string piece;
};

enum class Access {
    ReadWrite, // creates the file and its folders, or a database's tables, when absent; brings older schemas forward
    ReadOnly,  // creates nothing and writes no byte, so a read-only file or database user can read
};

// The history database, whichever engine keeps it. Every operation catches its own failures and returns them
// in words a seller can act on; nothing is left behind for the next call to trip over. One object per thread.
class Store {
public:
    virtual ~Store() = default;

    // Where the history lives, as the user named it; a database URL with its password masked.
    virtual const std::string& location() const = 0;

    // Writes the pass, its results, the items' titles and standings in one transaction; the pass id. Nothing of
    // the pass is stored when it fails.
    virtual base::Result<std::int64_t> RecordPass(const base::PassOutcome& pass) = 0;

    // The latest clean pass of the pass's shop, category, sub-category and sort started before it.
    virtual base::Result<std::optional<Baseline>> BaselineFor(const base::PassOutcome& pass) = 0;

    // The history page's reads. Shops are UTF-8 shop IDs.
    virtual base::Result<std::vector<std::string>> Shops() = 0;
    virtual base::Result<std::vector<ItemSummary>> ItemSummaries(const std::string& shop) = 0;
    virtual base::Result<ItemTimeline> Timeline(const std::string& shop, const std::string& itemId) = 0;
    // Every result of the shop, or of one item when `itemId` is not empty, in pass order, one at a time so that
    // a shop too large to hold can be written out. Stops early, without failing, when `sink` returns false.
    virtual base::Result<void> ForEachExportRow(const std::string& shop, const std::string& itemId,
                                                const std::function<bool(const ExportRow&)>& sink) = 0;
    // Every item's timeline of the shop, one item at a time in item ID order, read in one pass over the shop's
    // results rather than an index look-up per result, holding about `resultsAtOnce` results at a time: what a
    // report of a large shop needs. Stops early, without failing, when `sink` returns false. `sink` may not use
    // the store meanwhile: a database history reads through one connection. By default, item by item through
    // Timeline.
    using TimelineSink = std::function<bool(const std::string& itemId, const ItemTimeline&)>;
    static constexpr std::size_t kResultsAtOnce = 4'000'000;
    virtual base::Result<void> ForEachTimeline(const std::string& shop, const TimelineSink& sink,
                                               std::size_t resultsAtOnce = kResultsAtOnce);
    virtual base::Result<void> DeleteItem(const std::string& shop, const std::string& itemId) = 0;
    virtual base::Result<void> DeleteShop(const std::string& shop) = 0;

    // Recomputes every item's per-sort standing from the stored results, as the migration from version 1 does:
    // a repair for a file whose results were written by other means.
    virtual base::Result<void> RebuildStandings() = 0;

    // The CLI's listing, oldest first.
    virtual base::Result<std::vector<PassRow>> Passes(const PassFilter& filter) = 0;
    // One item's result in one pass; empty when the pass did not look for it.
    virtual base::Result<std::optional<ExportRow>> ResultOf(std::int64_t passId, const std::string& itemId) = 0;

    // Keeps a load of a shop's feed and brings its items' sightings up to date, in one transaction.
    virtual base::Result<FeedChange> RecordFeed(const FeedSnapshot& feed) = 0;
    virtual base::Result<std::optional<FeedRow>> LatestFeed(const std::string& shop) = 0;
    // The items the shop's latest feed load no longer listed, most recently seen first; their history stays.
    virtual base::Result<std::vector<ItemSighting>> RetiredItems(const std::string& shop) = 0;
    // The time a request has taken in the latest `passes` passes, pacing included; empty with none.
    virtual base::Result<std::optional<double>> SecondsPerRequest(int passes) = 0;

    virtual base::Result<std::int64_t> RecordRun(const RunRow& run) = 0;
    virtual base::Result<std::optional<RunRow>> LatestRun() = 0;

    // Every host's backoff, and a host's new one.
    virtual base::Result<std::vector<web::HostBackoff>> Backoffs() = 0;
    virtual base::Result<void> SaveBackoff(const web::HostBackoff& backoff) = 0;

    // A round's work, so that machines running the same watch do each piece once between them. Opening inserts
    // each piece once however many machines open the round; a claim takes the first piece of `kind` no one holds
    // or whose holder's lease ran out, for `lease` from now, and no two claims get the same piece; a renewal or
    // a finish is refused (false) to a worker that no longer holds the piece.
    virtual base::Result<void> OpenRound(const std::string& round, const std::vector<WorkPiece>& work) = 0;
    virtual base::Result<std::optional<WorkRow>> ClaimWork(const std::string& round, const std::string& kind,
                                                           const std::string& worker, std::chrono::seconds lease) = 0;
    virtual base::Result<bool> RenewLease(const std::string& round, const std::string& piece,
                                          const std::string& worker, std::chrono::seconds lease) = 0;
    virtual base::Result<bool> FinishWork(const std::string& round, const std::string& piece,
                                          const std::string& worker) = 0;
    // The round's pieces, feeds first, in claim order; an empty `round` reads the latest opened.
    virtual base::Result<std::vector<WorkRow>> RoundWork(const std::string& round) = 0;
    // The items the shop's latest feed load listed, with their newest titles, by item ID.
    virtual base::Result<std::vector<std::pair<std::string, std::string>>> ListedItems(const std::string& shop) = 0;
};

inline constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

// Opens the history at `location`: a PostgreSQL store for a database URL, else the SQLite store of that file.
// ReadWrite refuses, without writing a byte, a file or database that is not a history or was made by a newer
// version. ReadOnly creates nothing: it refuses a missing file with "no such history file", a database without a
// history with "no such history in the database", and an older schema, which only a writer may bring forward.
base::Result<std::unique_ptr<Store>> OpenStore(const std::string& location, Access access,
                                               std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);

// The cross-sort view of summaries already read.
std::vector<CrossSortRow> CrossSort(const std::vector<ItemSummary>& summaries);

} // namespace rankmoth::history
