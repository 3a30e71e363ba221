// Reading the history without writing it: nothing made, nothing left, read-only files read; and the report
// in the words and formats of the command line.
#include "history/history_report.h"
#include "history/history_store.h"

#include "history_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <sstream>

namespace rankmoth::history {
namespace {

using base::ItemState;
using namespace testing::history_cases;
using testing::TempFolder;

namespace fs = std::filesystem;

void Sql(const std::string& path, const char* statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::string Recorded(const TempFolder& dir) {
    if (auto store = Opened(HistoryFile(dir)))
        Record(*store, Pass("pop", 0, {Found("100", 1, 2)}));
    return HistoryFile(dir);
}

std::vector<std::string> Beside(const TempFolder& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HistoryReading, CreatesNothingWritesNothingAndLeavesNothing) {
    const struct {
        const char* what;
        std::function<std::string(const TempFolder&)> make; // the path to read
        const char* error;                                  // a part of the refusal; null: it is read
    } cases[] = {
        {"missing, in a missing folder", [](const TempFolder& d) { return d / "typo/x.sqlite"; },
         "no such history file"},
        {"an empty database",
         [](const TempFolder& d) {
             Sql(HistoryFile(d), "PRAGMA user_version = 0");
             return HistoryFile(d);
         },
         "no such history file"},
        {"an older schema",
         [](const TempFolder& d) {
             Sql(Recorded(d), "PRAGMA user_version = 1");
             return HistoryFile(d);
         },
         "older version"},
        {"a writable file", Recorded, nullptr},
        {"a read-only file",
         [](const TempFolder& d) {
             fs::permissions(Recorded(d), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
             return HistoryFile(d);
         },
         nullptr},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        const std::string path = c.make(dir);
        const std::vector<std::string> before = Beside(dir);
        const std::string bytes = testing::FileBytes(path);
        {
            auto store = OpenStore(path, Access::ReadOnly);
            EXPECT_EQ(store.ok(), c.error == nullptr) << c.what << ": " << (store ? "" : store.error());
            if (!store)
                EXPECT_NE(store.error().find(c.error ? c.error : "?"), std::string::npos) << c.what;
            else
                EXPECT_EQ(store.value()->Passes({"8001", "", "", ""}).value_or({}).size(), 1u) << c.what;
        }
        EXPECT_EQ(Beside(dir), before) << c.what;
        EXPECT_EQ(testing::FileBytes(path), bytes) << c.what;
    }
}

TEST(HistoryReading, AWritersFilesStayAndItsPassesAreSeen) {
    TempFolder dir;
    const std::string path = HistoryFile(dir);
    auto writer = Opened(path);
    ASSERT_TRUE(writer);
    ASSERT_GT(Record(*writer, Pass("pop", 0, {Found("100", 1, 2)})), 0);
    if (auto reader = Opened(path, Access::ReadOnly)) {
        EXPECT_EQ(reader->Passes({"8001", "", "", ""}).value_or({}).size(), 1u);
    }
    // Removing the log under a live connection would lose what it commits next.
    EXPECT_TRUE(fs::exists(path + "-wal"));
    ASSERT_GT(Record(*writer, Pass("new", 10, {Found("100", 2, 2)})), 0);
    writer.reset();
    auto reader = Opened(path, Access::ReadOnly);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Passes({"8001", "", "", ""}).value_or({}).size(), 2u);
}

TEST_P(HistoryReport, CommandLineWordsAndFormats) {
    auto store = Opened(location());
    ASSERT_TRUE(store);
    const base::PassOutcome pop = Pass("pop", 0, {Found("=1+1", 1, 2, "\x1B]0;x\x07衬衫"), Missing("200")});
    base::PassOutcome fresh = Pass("new", 10, {Found("=1+1", 3, 8), Missing("200", ItemState::Incomplete)});
    fresh.failedRequests = 2;
    ASSERT_GT(Record(*store, pop), 0);
    ASSERT_GT(Record(*store, fresh), 0);

    const auto print = [&](HistoryQuery query, OutputFormat format) { return testing::Printed(*store, query, format); };
    const auto has = [](const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    };
    const struct {
        const char* what;
        HistoryQuery query;
        OutputFormat format;
        std::vector<std::string> parts;
    } cases[] = {
        {"places in English", {"8001", "=1+1", "All", ""}, OutputFormat::Table, {"0|", "  p1 upper\n", "  p3 lower\n"}},
        {"not found", {"8001", "200", "pop", ""}, OutputFormat::Table, {"  not found\n"}},
        {"incomplete", {"8001", "200", "NEW", ""}, OutputFormat::Table, {"2 failed", "  incomplete\n"}},
        {"a title cannot reach the terminal",
         {"8001", "=1+1", "", ""},
         OutputFormat::Table,
         {"\xEF\xBF\xBD]0;x\xEF\xBF\xBD衬衫"}},
        {"IDs guarded in CSV", {"8001", "=1+1", "", ""}, OutputFormat::Csv, {"\r\n\"'=1+1\","}},
        {"one object a line", {"8001", "", "", ""}, OutputFormat::Jsonl, {"0|{\"", "}\n{\"", "\"sort\":\"new\""}},
    };
    for (const auto& c : cases) {
        const std::string got = print(c.query, c.format);
        for (const std::string& part : c.parts)
            EXPECT_TRUE(has(got, part)) << c.what << ": want " << part << " in\n" << got;
    }
    EXPECT_FALSE(has(print({"8001", "=1+1", "", ""}, OutputFormat::Table), "\x1B")) << "ESC in the table";
    EXPECT_FALSE(has(print({"8001", "=1+1", "", ""}, OutputFormat::Table), "第")) << "Chinese place cells";
}

// What the SQLite store refuses of a file, the PostgreSQL store refuses of a database: a reader creates nothing,
// and a newer schema or another program's tables are left as they are.
class PostgresHistory : public BackendCase {};

TEST_P(PostgresHistory, ReadsWithoutCreatingAndRefusesWhatItCannotOwn) {
    const std::string tables = "SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'";
    const auto refusal = [](const std::string& url, Access access) {
        auto store = OpenStore(url, access);
        return store ? std::string("opened") : store.error();
    };
    EXPECT_NE(refusal(location(), Access::ReadOnly).find("no such history in the database"), std::string::npos);
    EXPECT_EQ(place_->Count(tables), 0);
    if (auto store = Opened(location())) {
        EXPECT_EQ(store->location(), location());
        Record(*store, Pass("pop", 0, {Found("100", 1, 2)}));
    }
    ASSERT_EQ(place_->Count("SELECT version FROM rankmoth_schema"), 4);
    if (auto reader = Opened(location(), Access::ReadOnly)) {
        EXPECT_FALSE(reader->RecordPass(Pass("new", 5, {Found("100", 1, 1)})).ok());
        EXPECT_EQ(reader->Passes({"8001", "", "", ""}).value_or({}).size(), 1u);
    }
    place_->Exec("UPDATE rankmoth_schema SET version = 5");
    for (const Access access : {Access::ReadWrite, Access::ReadOnly})
        EXPECT_NE(refusal(location(), access).find("was made by a newer version of Rankmoth (schema 5"),
                  std::string::npos);

    const std::string other = testing::SharedPgCluster().NewDatabase();
    ASSERT_FALSE(other.empty());
    pqxx::connection db(other);
    pqxx::nontransaction(db).exec("CREATE TABLE passes(x INTEGER)");
    EXPECT_NE(refusal(other, Access::ReadWrite).find("holds tables of another program"), std::string::npos);
    EXPECT_EQ(pqxx::nontransaction(db).exec("SELECT count(*) FROM information_schema.tables WHERE "
                                            "table_schema = 'public'")[0][0].as<int>(),
              1);
}

INSTANTIATE_TEST_SUITE_P(Backends, PostgresHistory, ::testing::Values(Backend::Postgres), testing::BackendName);

} // namespace
} // namespace rankmoth::history
