#include "app/history_recording.h"

#include "tests/history/history_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace rankmoth::app {
namespace {

using testing::Found;
using testing::Pass;

// Changes the file behind the store's back, as another program would.
void Sql(const std::string& path, const char* statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(HistoryRecording, AlertsOnlyForKeptPassesAndSaysEveryFailureOfWhatTheSellerAsked) {
    testing::TempFolder dir;
    const std::string path = testing::HistoryFile(dir);
    std::vector<std::string> alerts, statuses;
    HistoryRecording recording(path, {[&](const std::string& title, const std::string&) { alerts.push_back(title); },
                                      [&](const std::string& text) { statuses.push_back(text); }});
    ASSERT_TRUE(recording.PassFinished(Pass("pop", 0, {Found("100", 2, 1)})));

    // Passes that cannot be written: the one that would enter page 1 must not alert, or it alerts again at the
    // next kept pass; the failure is said once.
    Sql(path, "CREATE TRIGGER refuse BEFORE INSERT ON passes BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    for (int minute : {60, 120})
        recording.PassFinished(Pass("pop", minute, {Found("100", 1, 1)}));
    EXPECT_TRUE(alerts.empty());
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_NE(statuses[0].find("record the pass"), std::string::npos) << statuses[0];

    Sql(path, "DROP TRIGGER refuse;");
    ASSERT_TRUE(recording.PassFinished(Pass("pop", 180, {Found("100", 1, 1)})));
    EXPECT_EQ(alerts, std::vector<std::string>{"排名变动: 优店 8001 · 潮流"});

    // A delete the seller asks for is answered each time, though a recording failure was said before.
    Sql(path, "CREATE TRIGGER keep BEFORE DELETE ON items BEGIN SELECT RAISE(ABORT, 'kept'); END;");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const base::Result<void> deleted = recording.Store()->DeleteItem("8001", "100");
        ASSERT_FALSE(deleted);
        recording.ReportActionFailure(deleted.error());
    }
    EXPECT_EQ(statuses.size(), 3u);
}

} // namespace
} // namespace rankmoth::app
