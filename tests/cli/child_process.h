#pragma once

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rankmoth::testing {

// A program run by a test with its output in files, waited for with a deadline and killed when the test
// is done with it.
class ChildProcess {
public:
    // A binary built beside this test's build tree, e.g. "cli/rankmoth-cli" or "tools/sim/rankmoth-sim".
    static std::string Built(const std::string& relative) {
        std::error_code ec;
        auto dir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
        for (int up = 0; up < 4 && !dir.empty(); ++up, dir = dir.parent_path()) {
            if (std::filesystem::exists(dir / relative, ec))
                return (dir / relative).string();
        }
        return {};
    }

    // `inChild` runs in the child just before the program starts: to set its environment or its limits.
    ChildProcess(const std::string& binary, const std::vector<std::string>& args,
                 const std::function<void()>& inChild = {}) {
        static int counter = 0;
        const auto stem = std::filesystem::temp_directory_path() /
                          ("rankmoth-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        out_ = stem.string() + ".out";
        err_ = stem.string() + ".err";
        std::vector<std::string> argv{binary};
        argv.insert(argv.end(), args.begin(), args.end());
        pid_ = ::fork();
        if (pid_ == 0) {
            // The child must not inherit the test's terminal: a progress line would go to it.
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            std::vector<char*> raw;
            for (auto& a : argv)
                raw.push_back(a.data());
            raw.push_back(nullptr);
            if (inChild)
                inChild();
            ::execv(binary.c_str(), raw.data());
            ::_exit(127);
        }
    }
    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ec;
        std::filesystem::remove(out_, ec);
        std::filesystem::remove(err_, ec);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Signal(int signal) const { ::kill(pid_, signal); }

    // The exit code (128 + N when killed by signal N), or empty when it is still running at the deadline.
    std::optional<int> Wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!status_ && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            rusage usage{};
            if (::wait4(pid_, &status, WNOHANG, &usage) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                maxRssKb_ = usage.ru_maxrss;
                const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
                cpuSeconds_ = seconds(usage.ru_utime) + seconds(usage.ru_stime);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return status_;
    }

    // The child's peak resident size, once Wait has seen it end.
    long maxRssKb() const { return maxRssKb_; }
    // The child's user and system time, once Wait has seen it end.
    double cpuSeconds() const { return cpuSeconds_; }

    std::string Out() const { return Slurp(out_); }
    std::string Err() const { return Slurp(err_); }

    // Waits until the standard error holds `part`; false at the deadline.
    bool WaitForErr(const std::string& part, std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Err().find(part) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    pid_t pid_ = -1;
    std::optional<int> status_;
    long maxRssKb_ = 0;
    double cpuSeconds_ = 0;
    std::string out_;
    std::string err_;
};

// rankmoth-sim on a free loopback port, its request log on its standard error.
class LoggedSim {
public:
    explicit LoggedSim(std::vector<std::string> options) {
        portFile_ = std::filesystem::temp_directory_path() /
                    ("rankmoth-cli-test-port-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::remove(portFile_);
        options.insert(options.begin(), {"--port=0", "--port-file=" + portFile_.string(), "--log-requests=headers"});
        const std::string binary = ChildProcess::Built("tools/sim/rankmoth-sim");
        if (binary.empty())
            return;
        process_.emplace(binary, options);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (port_ == 0 && std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(portFile_);
            if (!(in >> port_))
                port_ = 0;
            if (port_ == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~LoggedSim() {
        std::error_code ec;
        std::filesystem::remove(portFile_, ec);
    }

    bool running() const { return port_ > 0; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string ShopBase() const { return "http://" + HostPort() + "/"; }
    std::string Log() const { return process_ ? process_->Err() : std::string(); }

private:
    static inline int counter_ = 0;
    std::filesystem::path portFile_;
    std::optional<ChildProcess> process_;
    int port_ = 0;
};

// One run of the built rankmoth-cli against `sim`, its hosts given on the command line.
struct CliRun {
    std::optional<int> exit;
    std::string out;
    std::string err;
};
inline CliRun RunCliAgainst(const LoggedSim& sim, std::vector<std::string> args) {
    args.insert(args.begin(), {"--market-host", sim.HostPort(), "--shop-base", sim.ShopBase()});
    ChildProcess cli(ChildProcess::Built("cli/rankmoth-cli"), args);
    CliRun run;
    run.exit = cli.Wait();
    run.out = cli.Out();
    run.err = cli.Err();
    return run;
}

} // namespace rankmoth::testing
