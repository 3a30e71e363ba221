// rankmoth-cli schedule: the hourly run of the watch file under the user's systemd manager.
#include "cli/cli_context.h"
#include "cli/schedule_plan.h"

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

namespace rankmoth::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTimer = "rankmoth-track.timer";
constexpr const char* kDropInName = "every.conf";
// No systemd to schedule with: the run must be scheduled another way, and the crontab line says how.
constexpr int kExitNoScheduler = kExitNoShop;

struct ScheduleWords {
    std::string action;
    std::string every;
};

struct Ran {
    int exit = -1; // -1 when the program could not be started
    std::string out;
};

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// `program` with `args` and no shell between, so no argument is ever read as shell words. Its standard
// output is captured; its standard error stays the user's, where systemctl says what went wrong.
Ran Run(const std::string& program, const std::vector<std::string>& args) {
    Ran ran;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return ran;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::dup2(in, STDIN_FILENO);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execv(program.c_str(), raw.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return ran;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0)
            ran.out.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ran.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ran;
}

// "Key=Value" lines of systemctl show.
std::map<std::string, std::string> Properties(const std::string& text) {
    std::map<std::string, std::string> properties;
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            properties[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return properties;
}

std::string OwnProgram() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("rankmoth-cli") : self.string();
}

std::string DropInFile() {
    const base::LocationEnv env{std::getenv("XDG_CONFIG_HOME"), nullptr, nullptr, std::getenv("HOME")};
    const std::string folder = DropInFolder(env);
    return folder.empty() ? folder : folder + "/" + kDropInName;
}

// Removes the drop-in and its folder when nothing else is left in it; false with the reason said.
bool RemoveDropIn(const std::string& file) {
    std::error_code ec;
    if (file.empty() || !fs::remove(file, ec)) {
        if (!ec)
            return true;
        ReportError("cannot remove " + file + ": " + ec.message());
        return false;
    }
    const fs::path folder = fs::path(file).parent_path();
    if (fs::is_empty(folder, ec))
        fs::remove(folder, ec);
    return true;
}

bool WriteDropIn(const std::string& file, std::chrono::minutes every) {
    if (file.empty()) {
        ReportError("neither XDG_CONFIG_HOME nor HOME is set: there is no folder for the timer's drop-in");
        return false;
    }
    std::error_code ec;
    fs::create_directories(fs::path(file).parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << EveryDropIn(every);
    out.close();
    if (ec || !out) {
        ReportError("cannot write " + file + (ec ? ": " + ec.message() : std::string()));
        return false;
    }
    return true;
}

std::string EveryText(std::optional<std::chrono::minutes> every) {
    if (!every || every->count() == 60)
        return "every hour";
    const long m = every->count();
    if (m % (24 * 60) == 0)
        return "every " + std::to_string(m / (24 * 60)) + "d";
    if (m % 60 == 0)
        return "every " + std::to_string(m / 60) + "h";
    return "every " + std::to_string(m) + "min";
}

// The way without systemd: what happened on stderr, the crontab line on stdout.
int CronInstead(CliContext& context, const std::string& why, std::optional<std::chrono::minutes> every, bool removing) {
    ReportError(why);
    if (removing) {
        context.out.Write("A run scheduled with cron is removed with `crontab -e`: delete its rankmoth-cli line.\n");
        return kExitNoScheduler;
    }
    const auto line = CrontabLine(every, OwnProgram());
    if (!line) {
        context.out.Write("cron has no form for " + EveryText(every) +
                          ": choose an interval that divides an hour or a day, such as 30min, 2h or 1d.\n");
        return kExitNoScheduler;
    }
    context.out.Write("To run it with cron instead, add this line with `crontab -e`:\n" + *line + "\n");
    return kExitNoScheduler;
}

class Scheduler {
public:
    Scheduler(CliContext& context, std::optional<std::chrono::minutes> every) : context_(context), every_(every) {}

    int Enable() {
        const std::string file = DropInFile();
        if (!Reachable(false))
            return CronInstead(context_, why_, every_, false);
        if (every_ ? !WriteDropIn(file, *every_) : !RemoveDropIn(file))
            return kExitNotKept;
        if (!Call({"daemon-reload"}) || !Call({"enable", "--now", kTimer}))
            return CronInstead(context_, why_, every_, false);
        std::string next;
        Call({"show", kTimer, "-p", "NextElapseUSecRealtime", "--value"}, &next);
        while (!next.empty() && (next.back() == '\n' || next.back() == ' '))
            next.pop_back();
        context_.out.Write(std::string(kTimer) + " enabled: " + EveryText(every_) + "\nnext run: " +
                           (next.empty() ? "as systemd counts it (systemctl --user list-timers)" : next) + "\n");
        return Finished();
    }

    int Disable() {
        const std::string file = DropInFile();
        const bool hadDropIn = !file.empty() && fs::exists(file);
        if (!RemoveDropIn(file))
            return kExitNotKept;
        if (!Reachable(true) || !Call({"disable", "--now", kTimer}) || (hadDropIn && !Call({"daemon-reload"})))
            return CronInstead(context_, why_, every_, true);
        context_.out.Write(std::string(kTimer) + " disabled\n");
        return Finished();
    }

    int Status() {
        std::string shown;
        if (!Reachable(false) || !Call({"show", kTimer, "-p", "LoadState", "-p", "UnitFileState", "-p", "ActiveState",
                                        "-p", "LastTriggerUSec", "-p", "NextElapseUSecRealtime"},
                                       &shown))
            return CronInstead(context_, why_, every_, false);
        auto p = Properties(shown);
        if (p["LoadState"] == "not-found")
            return CronInstead(context_, std::string(kTimer) + " is not installed for systemd's user manager", every_,
                               false);
        const auto told = [](const std::string& value, const char* none) {
            return value.empty() || value == "n/a" ? std::string(none) : value;
        };
        context_.out.Write(std::string(kTimer) + ": " + told(p["UnitFileState"], "unknown") + ", " +
                           told(p["ActiveState"], "unknown") + "\nlast run: " + told(p["LastTriggerUSec"], "never") +
                           "\nnext run: " + told(p["NextElapseUSecRealtime"], "none") + "\n");
        return Finished();
    }

private:
    bool Reachable(bool removing) {
        systemctl_ = FindOnPath("systemctl");
        if (systemctl_.empty())
            why_ = std::string("systemctl is not on PATH: ") +
                   (removing ? "no systemd timer to disable" : "the run cannot be scheduled with systemd");
        return !systemctl_.empty();
    }

    bool Call(std::vector<std::string> args, std::string* out = nullptr) {
        args.insert(args.begin(), "--user");
        const Ran ran = Run(systemctl_, args);
        if (out)
            *out = ran.out;
        if (ran.exit != 0) {
            // systemctl has said why on stderr; only a first call that fails says the manager is out of reach.
            why_ = "systemctl --user " + args[1] + " failed (" +
                   (ran.exit < 0 ? std::string("it could not be started") : "status " + std::to_string(ran.exit)) +
                   ")" + (reached_ ? "" : ": systemd's user manager is not reachable");
        }
        reached_ = reached_ || ran.exit == 0;
        return ran.exit == 0;
    }

    int Finished() const {
        return context_.out.failure().empty() ? static_cast<int>(kExitClean) : static_cast<int>(kExitNotKept);
    }

    CliContext& context_;
    std::optional<std::chrono::minutes> every_;
    std::string systemctl_;
    bool reached_ = false;
    std::string why_;
};

} // namespace

SubcommandRunner AddScheduleCommand(CLI::App& program, CliContext& context) {
    auto words = std::make_shared<ScheduleWords>();
    CLI::App* command = program.add_subcommand(
        "schedule", "Run the watch file every hour (or --every) with systemd's user manager: enable, disable or "
                    "status. Without systemd the crontab line is printed instead.");
    command->add_option("action", words->action, "enable, disable or status")
        ->required()
        ->check(CLI::IsMember({"enable", "disable", "status"}));
    command
        ->add_option("--every", words->every,
                     "with enable: the interval, such as 30min, 2h or 1d (default: the timer's hourly runs); at "
                     "least 10min")
        ->type_name("INTERVAL");
    return [words, &context] {
        std::optional<std::chrono::minutes> every;
        if (!words->every.empty()) {
            if (words->action != "enable") {
                ReportError("--every goes with schedule enable only");
                return static_cast<int>(kExitUsage);
            }
            std::string error;
            every = ParseEvery(words->every, error);
            if (!every) {
                ReportError(error);
                return static_cast<int>(kExitUsage);
            }
        }
        Scheduler scheduler(context, every);
        if (words->action == "enable")
            return scheduler.Enable();
        if (words->action == "disable")
            return scheduler.Disable();
        return scheduler.Status();
    };
}

} // namespace rankmoth::cli
