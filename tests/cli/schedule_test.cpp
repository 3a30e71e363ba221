// rankmoth-cli schedule against a stand-in systemctl that logs how it was called.
#include "cli/schedule_plan.h"
#include "tests/cli/child_process.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rankmoth::testing {
namespace {

using namespace std::chrono_literals;

TEST(ScheduleInterval, EachIntervalBecomesATimerAndACrontabLineOrIsRefused) {
    struct Case {
        const char* every;
        const char* timerLines; // after the emptied OnCalendar=; "" when refused
        const char* cronWhen;   // "" when cron has no form for it
    } cases[] = {
        {"10min", "OnCalendar=*-*-* *:00/10:00\n", "*/10 * * * *"},
        {"60m", "OnCalendar=hourly\n", "0 * * * *"},
        {"6h", "OnCalendar=*-*-* 00/6:00:00\n", "0 */6 * * *"},
        {"1d", "OnCalendar=daily\n", "0 0 * * *"},
        {"45min", "OnActiveSec=45min\nOnUnitActiveSec=45min\n", ""},
        {"5h", "OnActiveSec=300min\nOnUnitActiveSec=300min\n", ""},
        {"9min", "", ""},
        {"30", "", ""},
        {"1w", "", ""},
        {"-1h", "", ""},
        {"99999999999d", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.every);
        std::string error;
        const auto every = cli::ParseEvery(c.every, error);
        ASSERT_EQ(every.has_value(), *c.timerLines != '\0') << error;
        if (!every) {
            EXPECT_NE(error.find(c.every), std::string::npos) << error;
            continue;
        }
        EXPECT_TRUE(cli::EveryDropIn(*every).ends_with(std::string("[Timer]\nOnCalendar=\n") + c.timerLines));
        const auto line = cli::CrontabLine(every, "/usr/bin/rankmoth-cli");
        EXPECT_EQ(line.value_or(""),
                  *c.cronWhen ? std::string(c.cronWhen) + " nice -n 10 /usr/bin/rankmoth-cli track" : std::string());
    }
}

// A user with a home of the test's, and a systemctl first on PATH that logs its arguments one call a line
// and answers as the user's manager would, or fails every call when `failing`.
class ScheduleRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder_ / "bin");
        std::filesystem::create_directories(folder_ / "home");
    }

    void InstallSystemctl(bool failing) {
        const std::string script = folder_ / "bin/systemctl";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "echo \"$*\" >>\"$SYSTEMCTL_LOG\"\n"
                              << (failing ? "echo 'Failed to connect to bus' >&2; exit 1\n" : "")
                              << "case \"$*\" in\n"
                                 "*--value*) echo 'Wed 2026-12-09 14:04:12 UTC' ;;\n"
                                 "*show*) printf 'LoadState=loaded\\nUnitFileState=enabled\\nActiveState=active\\n"
                                 "LastTriggerUSec=n/a\\nNextElapseUSecRealtime=Wed 2026-12-09 14:04:12 UTC\\n' ;;\n"
                                 "esac\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }

    CliRun Schedule(std::vector<std::string> args) {
        args.insert(args.begin(), "schedule");
        const std::string bin = folder_ / "bin", home = folder_ / "home", log = folder_ / "calls";
        ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"), args, [&] {
            ::setenv("PATH", bin.c_str(), 1);
            ::setenv("HOME", home.c_str(), 1);
            ::unsetenv("XDG_CONFIG_HOME");
            ::setenv("SYSTEMCTL_LOG", log.c_str(), 1);
        });
        CliRun run;
        run.exit = cli.Wait();
        run.out = cli.Out();
        run.err = cli.Err();
        return run;
    }

    std::string Calls() const {
        std::ifstream in(folder_ / "calls");
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TempFolder folder_{"rankmoth-schedule"};
    const std::string dropInFolder_ = folder_ / "home/.config/systemd/user/rankmoth-track.timer.d";
};

TEST_F(ScheduleRun, EnableWritesTheIntervalAndStartsTheTimerAndDisableTakesBothBack) {
    InstallSystemctl(false);
    CliRun run = Schedule({"enable", "--every", "30min"});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out, "rankmoth-track.timer enabled: every 30min\nnext run: Wed 2026-12-09 14:04:12 UTC\n");
    std::ifstream dropIn(dropInFolder_ + "/every.conf");
    std::ostringstream text;
    text << dropIn.rdbuf();
    EXPECT_TRUE(text.str().ends_with("[Timer]\nOnCalendar=\nOnCalendar=*-*-* *:00/30:00\n")) << text.str();
    // The drop-in is read only by a reload, which must come before the timer starts.
    EXPECT_EQ(Calls(), "--user daemon-reload\n"
                       "--user enable --now rankmoth-track.timer\n"
                       "--user show rankmoth-track.timer -p NextElapseUSecRealtime --value\n");

    run = Schedule({"status"});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out, "rankmoth-track.timer: enabled, active\nlast run: never\n"
                       "next run: Wed 2026-12-09 14:04:12 UTC\n");

    std::filesystem::remove(folder_ / "calls");
    run = Schedule({"disable"});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Calls(), "--user disable --now rankmoth-track.timer\n--user daemon-reload\n");
    EXPECT_FALSE(std::filesystem::exists(dropInFolder_));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "home/.config/systemd/user"));
}

TEST_F(ScheduleRun, WithoutAUserManagerTheCrontabLineIsPrintedAndATooShortIntervalIsRefused) {
    const std::string cron = " nice -n 10 " + ChildProcess::Built("cli/rankmoth-cli") + " track\n";
    CliRun run = Schedule({"enable", "--every", "2h"});
    EXPECT_EQ(run.exit, 4);
    EXPECT_NE(run.err.find("systemctl is not on PATH"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("crontab -e"), std::string::npos) << run.out;
    EXPECT_TRUE(run.out.ends_with("\n0 */2 * * *" + cron)) << run.out;
    EXPECT_FALSE(std::filesystem::exists(dropInFolder_));

    InstallSystemctl(true);
    run = Schedule({"enable"});
    EXPECT_EQ(run.exit, 4);
    EXPECT_NE(run.err.find("user manager is not reachable"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.ends_with("\n0 * * * *" + cron)) << run.out;

    std::filesystem::remove(folder_ / "calls");
    run = Schedule({"enable", "--every", "5min"});
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.err.find("at least 10 minutes apart"), std::string::npos) << run.err;
    EXPECT_EQ(Calls(), "");
}

} // namespace
} // namespace rankmoth::testing
