// rankmoth-cli report as a seller runs it: the page lands under its default name, whole or not at all.
#include "tests/cli/child_process.h"
#include "tests/history/history_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace rankmoth::testing {
namespace {

struct ReportRun {
    int exit = -1;
    std::string out, err;
};

ReportRun Report(const TempFolder& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {"report", "--history", HistoryFile(dir)});
    const std::string folder = dir / "out";
    std::filesystem::create_directories(folder);
    ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"), args, [folder] {
        if (::chdir(folder.c_str()) != 0)
            ::_exit(126);
    });
    const auto exit = cli.Wait();
    return {exit.value_or(-1), cli.Out(), cli.Err()};
}

std::vector<std::string> Listed(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReportCli, WritesTheNamedPageOrSaysWhyAndLeavesNothingHalfDone) {
    TempFolder dir;
    {
        auto store = Opened(HistoryFile(dir));
        ASSERT_TRUE(store);
        Record(*store, Pass("pop", 0, {Found("9001", 1, 2, "晴天 短袖")}));
        Record(*store, Pass("new", 30, {Found("9001", 4, 8, "晴天 短袖")}));
    }
    const ReportRun written = Report(dir, {"--shop", "8001"});
    ASSERT_EQ(written.exit, 0) << written.err;
    const std::vector<std::string> names = Listed(dir / "out");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("rankmoth-8001-20", 0), 0u) << names[0];
    EXPECT_EQ(names[0].substr(names[0].size() - 5), ".html");
    EXPECT_EQ(written.out.rfind("wrote " + names[0] + ": 2 passes, 1 items, ", 0), 0u) << written.out;
    EXPECT_EQ(FileBytes(dir / ("out/" + names[0])).rfind("<!DOCTYPE html>", 0), 0u);

    const ReportRun piped = Report(dir, {"--shop", "8001", "--output", "-"});
    EXPECT_EQ(piped.exit, 0) << piped.err;
    EXPECT_EQ(piped.out.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(piped.out.find("晴天 短袖"), std::string::npos);

    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string err;
    };
    const Case refused[] = {
        {{"--shop", "nobody"}, 4, "report: no passes of shop nobody are kept in "},
        {{"--shop", "8001", "--since", "2030-01-01"}, 4, " for that period;"},
        {{"--shop", "8001", "--since", "soon"}, 2, "--since takes a date"},
        {{"--shop", "8001", "--output", "missing/page.html"}, 5, "report: missing/page.html.part cannot be written"},
    };
    for (const Case& c : refused) {
        const ReportRun run = Report(dir, c.args);
        EXPECT_EQ(run.exit, c.exit) << c.args.back() << ": " << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(Listed(dir / "out"), names) << "a refused report leaves no file";
    }
}

} // namespace
} // namespace rankmoth::testing
