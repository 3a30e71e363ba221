#pragma once

#include "base/pass_outcome.h"
#include "history/history_report.h"
#include "history/history_store.h"
#include "tests/support/pg_cluster.h"
#include "tests/support/recorded_passes.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <pqxx/pqxx>
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

// The engines a history can live in; the store's cases run against each.
enum class Backend { Sqlite, Postgres };

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

// A fresh, empty history of one engine: a file in a folder of its own (at `fileName` in it), or a new database of
// the test binary's cluster. Reads it without the store, as the engine's own tool would.
class HistoryPlace {
public:
    HistoryPlace(Backend backend, const std::string& fileName = "history.sqlite") : backend_(backend) {
        if (backend == Backend::Sqlite)
            location_ = folder_ / fileName;
        else
            location_ = SharedPgCluster().NewDatabase();
    }
    Backend backend() const { return backend_; }
    // Empty when no database could be made.
    const std::string& location() const { return location_; }

    long long Count(const std::string& sql) const {
        if (backend_ == Backend::Sqlite)
            return testing::Count(location_, sql);
        const std::string rows = Dump(sql);
        return rows.empty() ? -1 : std::atoll(rows.c_str());
    }
    // Every row of `sql`, a line each, columns apart by '|'.
    std::string Dump(const std::string& sql) const {
        std::string rows;
        if (backend_ == Backend::Postgres) {
            pqxx::connection db(location_);
            pqxx::nontransaction work(db);
            for (const pqxx::row& row : work.exec(sql)) {
                for (pqxx::row::size_type c = 0; c < row.size(); ++c)
                    rows += (c ? "|" : "") + std::string(row[c].is_null() ? "NULL" : row[c].c_str());
                rows += '\n';
            }
            return rows;
        }
        sqlite3* db = nullptr;
        sqlite3_open_v2(location_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                    const unsigned char* text = sqlite3_column_text(statement, c);
                    rows += (c ? "|" : "") + (text ? std::string(reinterpret_cast<const char*>(text)) : "NULL");
                }
                rows += '\n';
            }
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    }
    // Runs `sql` on the history as its owner, around the store.
    void Exec(const std::string& sql) const {
        if (backend_ == Backend::Postgres) {
            pqxx::connection db(location_);
            pqxx::nontransaction(db).exec(sql);
            return;
        }
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(location_.c_str(), &db), SQLITE_OK);
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
        sqlite3_free(message);
        sqlite3_close(db);
    }

private:
    Backend backend_;
    TempFolder folder_;
    std::string location_;
};

// A case that runs against each engine: `place_` is its fresh history. Skipped, or failed when PostgreSQL is
// required, where the engine cannot be had.
class BackendCase : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        place_ = std::make_unique<HistoryPlace>(GetParam(), PlaceFileName());
        if (place_->location().empty()) {
            if (PostgresRequired())
                FAIL() << "PostgreSQL is required: " << SharedPgCluster().whyNot();
            GTEST_SKIP() << "no PostgreSQL server to test with: " << SharedPgCluster().whyNot();
        }
    }
    virtual std::string PlaceFileName() const { return "history.sqlite"; }
    const std::string& location() const { return place_->location(); }

    std::unique_ptr<HistoryPlace> place_;
};

#define RANKMOTH_ON_EACH_BACKEND(Suite)                                                                                \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite,                                                                          \
                             ::testing::Values(::rankmoth::testing::Backend::Sqlite,                                   \
                                               ::rankmoth::testing::Backend::Postgres),                                \
                             ::rankmoth::testing::BackendName)

// The suites whose cases run on each engine; instantiated once, in history_store_test.cpp.
class HistoryStore : public BackendCase {};
class HistoryReport : public BackendCase {};

// What every history test file names without its namespace.
namespace history_cases {
using testing::Backend;
using testing::BackendCase;
using testing::Count;
using testing::Found;
using testing::HistoryFile;
using testing::HistoryReport;
using testing::HistoryStore;
using testing::Missing;
using testing::Opened;
using testing::Pass;
using testing::Record;
} // namespace history_cases

} // namespace rankmoth::testing
