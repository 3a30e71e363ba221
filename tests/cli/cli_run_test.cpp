// The real rankmoth-cli against rankmoth-sim: what it prints, how it exits, and what it sends.
#include "rank/rank_query.h"
#include "sources/shop_feed.h"
#include "tests/cli/child_process.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "web/cookie_jar.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <csignal>
#include <sys/resource.h>

namespace rankmoth::testing {
namespace {

// Titles with a comma, a quote and a backslash, placed at the zone borders of two pages; the listing ends
// on page 3, before the page limit.
constexpr const char* kCatalogue = "pages 3\n"
                                   "shop tiny 2\n"
                                   "item tiny 9001 晴天 短袖\n"
                                   "item tiny 9002 5\"寸 A,B\\款\n"
                                   "item tiny 9003 无处可寻\n"
                                   "place clothing pop 1 3 9001\n"
                                   "place clothing pop 3 7 9001\n"
                                   "place clothing pop 2 4 9002\n";

std::string WriteCatalogue() {
    const auto path =
        std::filesystem::temp_directory_path() / ("rankmoth-cli-test-" + std::to_string(::getpid()) + ".catalogue");
    std::ofstream(path) << kCatalogue;
    return path.string();
}

// Every run records its passes; they go to a file of the test's own, never to the user's history.
const std::string& TestHistory() {
    static const std::string path = [] {
        const auto file =
            std::filesystem::temp_directory_path() / ("rankmoth-cli-test-" + std::to_string(::getpid()) + ".sqlite");
        ::setenv("RANKMOTH_HISTORY", file.c_str(), 1);
        return file.string();
    }();
    return path;
}
// Set before any test runs: some start the program without RunCli, and ctest runs each test on its own.
const bool kHistorySet = !TestHistory().empty();

CliRun RunCli(const LoggedSim& sim, std::vector<std::string> args) {
    return RunCliAgainst(sim, std::move(args));
}

// checked_at is the one column that depends on the clock: checked for its form, then blanked.
std::string WithoutTimes(const std::string& csv) {
    // The form 2026-12-08T14:03:05+08:00, digit by digit; std::regex is avoided because GCC 12 under the
    // sanitizers warns inside it.
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd+dd:dd";
    const auto isStamp = [&](std::string_view field) {
        if (field.size() != kShape.size())
            return false;
        for (std::size_t i = 0; i < field.size(); ++i) {
            const char c = field[i];
            const bool ok = kShape[i] == 'd'   ? (c >= '0' && c <= '9')
                            : kShape[i] == '+' ? (c == '+' || c == '-')
                                               : c == kShape[i];
            if (!ok)
                return false;
        }
        return true;
    };
    std::string out;
    std::size_t from = 0;
    for (std::size_t end; (end = csv.find('\n', from)) != std::string::npos; from = end + 1) {
        std::string_view line(csv.data() + from, end - from);
        const bool crlf = !line.empty() && line.back() == '\r';
        if (crlf)
            line.remove_suffix(1);
        const std::size_t comma = line.rfind(',');
        if (comma != std::string_view::npos && isStamp(line.substr(comma + 1)))
            out.append(line.substr(0, comma)).append(",T");
        else
            out.append(line);
        out.append(crlf ? "\r\n" : "\n");
    }
    return out.append(csv, from);
}

TEST(CliRunTest, CsvOfAKnownCatalogue) {
    LoggedSim sim({"--catalogue=" + WriteCatalogue()});
    ASSERT_TRUE(sim.running());
    const CliRun run = RunCli(sim, {"query", "--shop", "tiny", "--pages", "5", "--delay", "0", "--format", "csv"});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(WithoutTimes(run.out), "item_id,title,sort,state,page,slice,zone,hits,checked_at\r\n"
                                     "9001,晴天 短袖,pop,found,1,3,upper,2,T\r\n"
                                     "9002,\"5\"\"寸 A,B\\款\",pop,found,2,4,middle,1,T\r\n"
                                     "9003,无处可寻,pop,not_found,,,,0,T\r\n");
    EXPECT_EQ(run.err, "");
}

TEST(CliRunTest, ExitCodes) {
    const std::string catalogue = WriteCatalogue();
    const struct {
        std::vector<std::string> simOptions;
        std::vector<std::string> args;
        int exit;
        std::string err; // a part of the one line on stderr
    } cases[] = {
        {{}, {"query", "--shop", "tiny", "--pages", "0"}, 2, "--pages: \"0\""},
        {{}, {"query", "--shop", "tiny", "--pages", "101"}, 2, "--pages: \"101\""},
        {{}, {"query", "--shop", "tiny", "--pages", "abc"}, 2, "--pages: \"abc\""},
        {{}, {"query", "--shop", "tiny", "--category", "socks"}, 2, "--category: unknown category \"socks\""},
        {{}, {"query", "--shop", "tiny", "--sort", "best"}, 2, "--sort: unknown sort \"best\""},
        {{}, {"query", "--shop", "   "}, 2, "--shop: the shop ID \"   \" is blank"},
        {{}, {"items", "--shop", "x/../y"}, 2, "--shop:"},
        {{"--broken-slice=2:5"}, {"query", "--shop", "tiny", "--retries", "0", "--delay", "0"}, 3, ""},
        {{}, {"query", "--shop", "nobody", "--retries", "0"}, 4, "shop \"nobody\""},
        {{},
         {"items", "--shop", "tiny", "--retries", "0", "--shop-base", "http://127.0.0.1:1/"},
         4,
         "could not be reached"},
        {{},
         {"--shop-base", "http://127.0.0.1:1/", "query", "--shop", "tiny", "--retries", "0"},
         4,
         "could not be reached"},
        {{}, {"query", "--shop", "tiny", "--category", "鞋子", "--sort", "all", "--delay", "0"}, 0, ""},
        {{}, {"query", "--shop", "tiny", "--category", "Clothing", "--sort", "POP", "--delay", "0"}, 0, ""},
        {{}, {"qeury", "--shop", "tiny"}, 2, "rankmoth-cli: unknown command \"qeury\"; did you mean \"query\"?\n"},
        {{},
         {"query", "--shop", "tiny", "--page", "2"},
         2,
         "rankmoth-cli: unknown option \"--page\" for query; did you mean \"--pages\"?\n"},
        {{}, {"query", "--shop", "tiny", "--shop", "demo"}, 2, "rankmoth-cli: --shop is given twice"},
        {{}, {"query", "--shop", "s1\xFF\xFE"}, 2, "argument 7 is not valid UTF-8: \"s1\\xFF\\xFE\""},
        {{}, {"items", "--shop", "s1😀"}, 2, "--shop: the shop ID \"s1😀\" holds a character"},
        {{}, {"history", "--shop", "tiny", "--sort", "best"}, 2, "unknown sort \"best\""},
        {{}, {"history", "--shop", "tiny", "--format", "yaml"}, 2, "--format: unknown format \"yaml\""},
        {{},
         {"history", "--shop", "tiny", "--sort", "all", "--history", catalogue + ".typo/x.sqlite"},
         4,
         "history: no such history file " + catalogue + ".typo/x.sqlite"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> simOptions = c.simOptions;
        simOptions.push_back("--catalogue=" + catalogue);
        LoggedSim sim(simOptions);
        ASSERT_TRUE(sim.running());
        const CliRun run = RunCli(sim, c.args);
        EXPECT_EQ(run.exit, c.exit) << c.args.back() << "\n" << run.err;
        if (c.exit == 2) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    // Reading a history that is not there made nothing.
    EXPECT_FALSE(std::filesystem::exists(catalogue + ".typo"));
}

TEST(CliRunTest, BrokenSliceLeavesUnfoundItemsIncompleteAndPrintsTheRest) {
    LoggedSim sim({"--catalogue=" + WriteCatalogue(), "--broken-slice=2:5"});
    ASSERT_TRUE(sim.running());
    const CliRun run = RunCli(sim, {"query", "--shop", "tiny", "--retries", "0", "--delay", "0", "--format", "csv"});
    EXPECT_EQ(run.exit, 3);
    const std::string csv = WithoutTimes(run.out);
    EXPECT_NE(csv.find("9001,晴天 短袖,pop,found,1,3,upper,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("9003,无处可寻,pop,incomplete,,,,0,T"), std::string::npos) << csv;
}

TEST(CliRunTest, InterruptStopsAfterTheRequestUnderWayAndPrintsWhatItHas) {
    LoggedSim sim({"--latency-ms=150"});
    ASSERT_TRUE(sim.running());
    const std::string file = TestHistory() + ".interrupted";
    std::filesystem::remove(file);
    ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"),
                     {"--market-host", sim.HostPort(), "--shop-base", sim.ShopBase(), "query", "--shop", "demo",
                      "--pages", "10", "--sort", "all", "--delay", "0", "--format", "csv", "--history", file});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sim.Log().find("POST /book/ajax") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cli.Signal(SIGINT);
    const auto exit = cli.Wait(std::chrono::seconds(5));
    EXPECT_EQ(exit, 130) << cli.Err();
    const std::string out = cli.Out();
    // Every item of the sort that was walked, none of them reported absent; nothing of the sorts never begun.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 45) << out;
    EXPECT_EQ(out.find(",not_found,"), std::string::npos);
    EXPECT_NE(out.find("52000145,碎花牛仔裤 款号45,pop,incomplete,"), std::string::npos);
    EXPECT_EQ(out.find(",new,"), std::string::npos);
    EXPECT_NE(cli.Err().find("interrupted"), std::string::npos);
    EXPECT_NE(cli.Err().find("rankmoth-cli: sorts not walked: hot30day, new\n"), std::string::npos) << cli.Err();
    // Only the pass that was walked is kept, as stopped.
    ChildProcess history(ChildProcess::Built("cli/rankmoth-cli"),
                         {"history", "--shop", "demo", "--format", "jsonl", "--history", file});
    ASSERT_EQ(history.Wait(), 0) << history.Err();
    const std::string kept = history.Out();
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 1) << kept;
    EXPECT_NE(kept.find("\"sort\":\"pop\""), std::string::npos) << kept;
    EXPECT_NE(kept.find("\"stopped\":true"), std::string::npos) << kept;
    std::filesystem::remove(file);
    // The walk stopped: far fewer than the 3 x 10 listing pages were asked for.
    const std::string log = sim.Log();
    std::size_t pages = 0;
    for (auto at = log.find("GET /book/"); at != std::string::npos; at = log.find("GET /book/", at + 1))
        ++pages;
    EXPECT_LE(pages, 2u);
}

TEST(CliRunTest, ClosedStdoutEndsTheRunQuietly) {
    LoggedSim sim({});
    ASSERT_TRUE(sim.running());
    ChildProcess shell("/bin/bash",
                       {"-c", "set -o pipefail; \"$@\" | head -1", "sh", ChildProcess::Built("cli/rankmoth-cli"),
                        "--market-host", sim.HostPort(), "--shop-base", sim.ShopBase(), "query", "--shop", "demo",
                        "--pages", "2", "--sort", "all", "--delay", "0", "--format", "csv"});
    EXPECT_EQ(shell.Wait(), 0) << shell.Err();
    EXPECT_EQ(shell.Out(), "item_id,title,sort,state,page,slice,zone,hits,checked_at\r\n");
    EXPECT_EQ(shell.Err(), "");
    // Nobody reads the rest, so the other sorts are not walked.
    EXPECT_EQ(sim.Log().find("/hot30day/"), std::string::npos);
}

// The window's shop load and rank query over the same sim, as the window runs them (virtual clock).
std::string WindowPassLog(LoggedSim& sim) {
    FakeControls controls;
    FakePump pump;
    web::CookieJar cookies;
    web::WebEnv web{pump, controls, cookies};
    sources::ItemList items;
    rank::QueryState state;
    rank::CellColourTable colours;
    sources::ShopFeedLoader loader{controls, pump, items, sim.ShopBase(), sources::TimedFeedFetch(web)};
    rank::RankQuery query{rank::RankEnv{controls,
                                        pump,
                                        items,
                                        state,
                                        colours,
                                        rank::WebListingTransport(web),
                                        sim.HostPort(),
                                        [](std::chrono::milliseconds, std::function<void()>) {},
                                        rank::LocalNow,
                                        {},
                                        std::chrono::milliseconds(100)}};
    controls.SetText("MainWindow", "编辑框_最多页", Text("2"));
    controls.AddComboEntry("MainWindow", "组合框_大分类", "衣服"_gbk);
    controls.SelectComboEntry("MainWindow", "组合框_大分类", 0);
    controls.SetText("MainWindow", "编辑框_优店ID", Text("demo"));
    const std::size_t before = sim.Log().size();
    loader.Run();
    query.RunRankQuery();
    return sim.Log().substr(before);
}

TEST(CliRunTest, RequestsAreTheWindowsByteForByte) {
    LoggedSim sim({});
    ASSERT_TRUE(sim.running());
    const CliRun run = RunCli(sim, {"query", "--shop", "demo", "--pages", "2", "--delay", "0", "--format", "csv"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const std::string cliLog = sim.Log();
    const std::string windowLog = WindowPassLog(sim);
    // Two listing pages of one GET and ten slice POSTs each, after the feed.
    std::size_t walkRequests = 0;
    for (auto at = cliLog.find("market: ", cliLog.find("market: GET /book/")); at != std::string::npos;
         at = cliLog.find("market: ", at + 1))
        ++walkRequests;
    EXPECT_EQ(walkRequests, 22u);
    EXPECT_EQ(cliLog, windowLog);
}

TEST(CliRunTest, PassesAreKeptAndAnUnwritableHistoryExitsFive) {
    LoggedSim sim({"--catalogue=" + WriteCatalogue()});
    ASSERT_TRUE(sim.running());
    const std::string file = TestHistory() + ".kept";
    std::filesystem::remove(file);
    const std::vector<std::string> query = {"query",   "--shop", "tiny",     "--pages", "5",
                                            "--delay", "0",      "--format", "csv",     "--history"};
    auto withFile = [&](std::vector<std::string> args, const std::string& path) {
        args.push_back(path);
        return RunCli(sim, args);
    };
    ASSERT_EQ(withFile(query, file).exit, 0);
    const CliRun history =
        withFile({"history", "--shop", "tiny", "--item", "9002", "--format", "csv", "--history"}, file);
    EXPECT_EQ(history.exit, 0) << history.err;
    EXPECT_NE(history.out.find("9002"), std::string::npos) << history.out;
    EXPECT_NE(history.out.find("found,2,4,middle"), std::string::npos) << history.out;

    // A folder cannot be made under a plain file: the pass is printed, and the exit status says it was not kept.
    const CliRun blocked = withFile(query, WriteCatalogue() + "/history.sqlite");
    EXPECT_EQ(blocked.exit, 5);
    EXPECT_NE(blocked.out.find("9001,"), std::string::npos);
    EXPECT_NE(blocked.err.find("The pass was not kept in the history: Cannot open the history: the folder " +
                               WriteCatalogue()),
              std::string::npos)
        << blocked.err;
    std::filesystem::remove(file);
}

// The passes kept in a history file, by the program's own reading of it.
int KeptPasses(const std::string& file) {
    ChildProcess history(ChildProcess::Built("cli/rankmoth-cli"),
                         {"history", "--shop", "demo", "--format", "jsonl", "--history", file});
    if (history.Wait() != 0)
        return -1;
    const std::string out = history.Out();
    return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
}

TEST(CliRunTest, ResultsThatCannotBeKeptExitFiveAndSayWhereAndWhy) {
    LoggedSim sim({});
    ASSERT_TRUE(sim.running());
    const std::string file = TestHistory() + ".five";
    const std::string cli = ChildProcess::Built("cli/rankmoth-cli");
    const auto query = [&](const std::string& format, const std::string& sort) {
        return std::vector<std::string>{"--market-host",
                                        sim.HostPort(),
                                        "--shop-base",
                                        sim.ShopBase(),
                                        "query",
                                        "--shop",
                                        "demo",
                                        "--pages",
                                        "1",
                                        "--delay",
                                        "0",
                                        "--sort",
                                        sort,
                                        "--format",
                                        format,
                                        "--history",
                                        file};
    };
    const auto toDevFull = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-c", "\"$@\" > /dev/full", "sh", cli});
        return args;
    };
    sqlite3* lock = nullptr;
    const struct {
        const char* what;
        std::function<void()> before; // makes the trouble
        std::string program;
        std::vector<std::string> args;
        std::function<void()> inChild;
        std::vector<std::string> err; // parts of stderr
        int kept;                     // passes in the history afterwards; -1: no file at all
    } cases[] = {
        {"CSV to a full device: nothing is walked, nothing kept",
         [] {},
         "/bin/bash",
         toDevFull(query("csv", "all")),
         {},
         {"rankmoth-cli: cannot write the output to /dev/full: No space left on device\n",
          "rankmoth-cli: sorts not walked: pop, hot30day, new\n"},
         -1},
        {"a table to a full device: walked and kept, then not printed",
         [] {},
         "/bin/bash",
         toDevFull(query("table", "all")),
         {},
         {"rankmoth-cli: cannot write the output to /dev/full: No space left on device\n"},
         3},
        {"a history locked past the busy time-out",
         [&] {
             ASSERT_EQ(sqlite3_open(file.c_str(), &lock), SQLITE_OK);
             ASSERT_EQ(sqlite3_exec(lock, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
         },
         cli,
         query("csv", "pop"),
         {},
         {"The pass was not kept in the history: Cannot record the pass: the history file " + file +
          " stayed locked by another program for more than 5 s."},
         3},
        // Files may grow to the size of the WAL index (32 KiB) and no further: the pass's write-ahead log needs
        // more, as a disc that fills up would refuse it.
        {"a full disc",
         [] {},
         cli,
         query("csv", "pop"),
         [] {
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{32768, 32768};
             ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         {"The pass was not kept in the history: Cannot record the pass in the history file " + file},
         3},
    };
    std::filesystem::remove(file);
    for (const auto& c : cases) {
        c.before();
        ChildProcess run(c.program, c.args, c.inChild);
        EXPECT_EQ(run.Wait(), 5) << c.what << "\n" << run.Err();
        for (const std::string& part : c.err)
            EXPECT_NE(run.Err().find(part), std::string::npos) << c.what << ": want " << part << "\n" << run.Err();
        if (c.program == cli) {
            EXPECT_NE(run.Out().find("52000101,"), std::string::npos) << c.what << ": the results are printed";
        }
        if (lock) {
            sqlite3_exec(lock, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(lock);
            lock = nullptr;
        }
        EXPECT_EQ(std::filesystem::exists(file) ? KeptPasses(file) : -1, c.kept) << c.what;
    }
    std::filesystem::remove(file);
}

TEST(CliRunTest, JsonIsOneDocumentAndJsonlOneObjectALine) {
    LoggedSim sim({"--catalogue=" + WriteCatalogue()});
    ASSERT_TRUE(sim.running());
    const std::vector<std::string> query = {"query", "--shop", "tiny", "--pages",      "2",       "--delay",
                                            "0",     "--sort", "all",  "--no-history", "--format"};
    auto args = query;
    args.push_back("json");
    const CliRun json = RunCli(sim, args);
    ASSERT_EQ(json.exit, 0) << json.err;
    const auto document = nlohmann::json::parse(json.out);
    ASSERT_TRUE(document.is_array());
    ASSERT_EQ(document.size(), 3u);
    EXPECT_EQ(document[2]["sort"], "new");
    EXPECT_TRUE(document[0]["failures"].is_array());

    args.back() = "jsonl";
    const CliRun jsonl = RunCli(sim, args);
    ASSERT_EQ(jsonl.exit, 0) << jsonl.err;
    std::istringstream lines(jsonl.out);
    int objects = 0;
    for (std::string line; std::getline(lines, line); ++objects)
        EXPECT_TRUE(nlohmann::json::parse(line).is_object());
    EXPECT_EQ(objects, 3);
}

} // namespace
} // namespace rankmoth::testing
