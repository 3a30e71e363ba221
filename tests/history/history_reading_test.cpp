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
using testing::Found;
using testing::HistoryDir;
using testing::Missing;
using testing::Pass;

namespace fs = std::filesystem;

void Sql(const std::string& path, const char* statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::string Recorded(const HistoryDir& dir) {
    HistoryStore store;
    EXPECT_TRUE(store.Open(dir.file()));
    EXPECT_GT(store.RecordPass(Pass("pop", 0, {Found("100", 1, 2)})), 0);
    return dir.file();
}

std::vector<std::string> Beside(const HistoryDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(dir.file()).parent_path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HistoryReading, CreatesNothingWritesNothingAndLeavesNothing) {
    const struct {
        const char* what;
        std::function<std::string(const HistoryDir&)> make; // the path to read
        const char* error;                                  // a part of the refusal; null: it is read
    } cases[] = {
        {"missing, in a missing folder", [](const HistoryDir& d) { return d.file("typo/x.sqlite"); },
         "no such history file"},
        {"an empty database",
         [](const HistoryDir& d) {
             Sql(d.file(), "PRAGMA user_version = 0");
             return d.file();
         },
         "no such history file"},
        {"an older schema",
         [](const HistoryDir& d) {
             Sql(Recorded(d), "PRAGMA user_version = 1");
             return d.file();
         },
         "older version"},
        {"a writable file", Recorded, nullptr},
        {"a read-only file",
         [](const HistoryDir& d) {
             fs::permissions(Recorded(d), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
             return d.file();
         },
         nullptr},
    };
    for (const auto& c : cases) {
        HistoryDir dir;
        const std::string path = c.make(dir);
        const std::vector<std::string> before = Beside(dir);
        const std::string bytes = testing::FileBytes(path);
        {
            HistoryStore store;
            const bool opened = store.OpenForReading(path);
            EXPECT_EQ(opened, c.error == nullptr) << c.what << ": " << store.error();
            if (c.error)
                EXPECT_NE(store.error().find(c.error), std::string::npos) << c.what << ": " << store.error();
            else
                EXPECT_EQ(store.Passes({"8001", "", "", ""}).size(), 1u) << c.what << ": " << store.error();
        }
        EXPECT_EQ(Beside(dir), before) << c.what;
        EXPECT_EQ(testing::FileBytes(path), bytes) << c.what;
    }
}

TEST(HistoryReading, AWritersFilesStayAndItsPassesAreSeen) {
    HistoryDir dir;
    HistoryStore writer;
    ASSERT_TRUE(writer.Open(dir.file()));
    ASSERT_GT(writer.RecordPass(Pass("pop", 0, {Found("100", 1, 2)})), 0);
    {
        HistoryStore reader;
        ASSERT_TRUE(reader.OpenForReading(dir.file())) << reader.error();
        EXPECT_EQ(reader.Passes({"8001", "", "", ""}).size(), 1u);
    }
    // Removing the log under a live connection would lose what it commits next.
    EXPECT_TRUE(fs::exists(dir.file() + "-wal"));
    ASSERT_GT(writer.RecordPass(Pass("new", 10, {Found("100", 2, 2)})), 0);
    writer.Close();
    HistoryStore reader;
    ASSERT_TRUE(reader.OpenForReading(dir.file()));
    EXPECT_EQ(reader.Passes({"8001", "", "", ""}).size(), 2u);
}

TEST(HistoryReport, CommandLineWordsAndFormats) {
    HistoryDir dir;
    HistoryStore store;
    ASSERT_TRUE(store.Open(dir.file()));
    const base::PassOutcome pop = Pass("pop", 0, {Found("=1+1", 1, 2, "\x1B]0;x\x07衬衫"), Missing("200")});
    base::PassOutcome fresh = Pass("new", 10, {Found("=1+1", 3, 8), Missing("200", ItemState::Incomplete)});
    fresh.failedRequests = 2;
    ASSERT_GT(store.RecordPass(pop), 0);
    ASSERT_GT(store.RecordPass(fresh), 0);

    const auto print = [&](HistoryQuery query, ReportFormat format) {
        std::ostringstream out, err;
        const int status = PrintHistory(store, query, format, out, err);
        return std::to_string(status) + "|" + out.str() + err.str();
    };
    const auto has = [](const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    };
    const struct {
        const char* what;
        HistoryQuery query;
        ReportFormat format;
        std::vector<std::string> parts;
    } cases[] = {
        {"places in English", {"8001", "=1+1", "All", ""}, ReportFormat::Table, {"0|", "  p1 upper\n", "  p3 lower\n"}},
        {"not found", {"8001", "200", "pop", ""}, ReportFormat::Table, {"  not found\n"}},
        {"incomplete", {"8001", "200", "NEW", ""}, ReportFormat::Table, {"2 failed", "  incomplete\n"}},
        {"a title cannot reach the terminal",
         {"8001", "=1+1", "", ""},
         ReportFormat::Table,
         {"\xEF\xBF\xBD]0;x\xEF\xBF\xBD衬衫"}},
        {"IDs guarded in CSV", {"8001", "=1+1", "", ""}, ReportFormat::Csv, {"\r\n\"'=1+1\","}},
        {"one object a line", {"8001", "", "", ""}, ReportFormat::Jsonl, {"0|{\"", "}\n{\"", "\"sort\":\"new\""}},
    };
    for (const auto& c : cases) {
        const std::string got = print(c.query, c.format);
        for (const std::string& part : c.parts)
            EXPECT_TRUE(has(got, part)) << c.what << ": want " << part << " in\n" << got;
    }
    EXPECT_FALSE(has(print({"8001", "=1+1", "", ""}, ReportFormat::Table), "\x1B")) << "ESC in the table";
    EXPECT_FALSE(has(print({"8001", "=1+1", "", ""}, ReportFormat::Table), "第")) << "Chinese place cells";
}

} // namespace
} // namespace rankmoth::history
