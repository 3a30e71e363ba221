#pragma once

#include "base/pass_outcome.h"
#include "history/history_report.h"
#include "history/history_store.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <unistd.h>

namespace rankmoth::testing {

// The history file of a test's own folder.
inline std::string HistoryFile(const TempFolder& dir) {
    return dir / "history.sqlite";
}

// The store at `path`, or null after a failed expectation that says why.
inline std::unique_ptr<history::Store> Opened(const std::string& path,
                                              history::Access access = history::Access::ReadWrite) {
    base::Result<std::unique_ptr<history::Store>> opened = history::OpenStore(path, access);
    EXPECT_TRUE(opened) << path << ": " << opened.error();
    return opened ? std::move(opened).value() : nullptr;
}

// The pass's id, or 0 after a failed expectation that says why.
inline std::int64_t Record(history::Store& store, const base::PassOutcome& pass) {
    base::Result<std::int64_t> id = store.RecordPass(pass);
    EXPECT_TRUE(id) << id.error();
    return id.value_or(0);
}

// What `history` prints for the query: "0|" and the output, "usage|" or "store|" and the reason.
inline std::string Printed(history::Store& store, const history::HistoryQuery& query, history::OutputFormat format) {
    const base::Result<history::PassFilter> filter = history::CheckHistoryQuery(query);
    if (!filter)
        return "usage|" + filter.error();
    std::string out;
    const auto printed = history::PrintHistory(store, filter.value(), format, [&out](std::string_view text) {
        out += text;
        return true;
    });
    return printed ? "0|" + out : "store|" + printed.error();
}

inline std::string FileBytes(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return {};
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// 2025-12-01T00:00:00Z plus `minutes`.
inline base::Clock::time_point At(int minutes) {
    return base::Clock::from_time_t(1764547200) + std::chrono::minutes(minutes);
}

inline base::ItemResult Found(const char* id, int page, int slice, const char* titleUtf8 = "") {
    base::ItemResult item;
    item.itemId = Text(id);
    item.title = Text::FromUtf8(titleUtf8);
    item.state = base::ItemState::Found;
    item.page = page;
    item.slice = slice;
    item.hits = 1;
    return item;
}

inline base::ItemResult Missing(const char* id, base::ItemState state = base::ItemState::NotFound) {
    base::ItemResult item;
    item.itemId = Text(id);
    item.state = state;
    return item;
}

inline base::PassOutcome Pass(const char* sort, int startMinute, std::vector<base::ItemResult> items,
                              const char* shop = "8001") {
    base::PassOutcome pass;
    pass.request.shop = Text(shop);
    pass.request.category = "clothing";
    pass.request.sort = sort;
    pass.request.pageLimit = 10;
    pass.started = At(startMinute);
    pass.finished = At(startMinute + 2);
    pass.pagesWalked = 10;
    pass.requests = 40;
    pass.items = std::move(items);
    return pass;
}

// The file as the sqlite3 tool sees it, without the store.
inline long long Count(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    long long value = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

// What every history test file names without its namespace.
namespace history_cases {
using testing::Count;
using testing::Found;
using testing::HistoryFile;
using testing::Missing;
using testing::Opened;
using testing::Pass;
using testing::Record;
} // namespace history_cases

} // namespace rankmoth::testing
