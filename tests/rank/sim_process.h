#pragma once

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace rankmoth::testing {

// rankmoth-sim started on a free loopback port for one test, stopped when the object goes.
class SimProcess {
public:
    // The binary beside the build's tools/sim, found from the test binary's place (or $RANKMOTH_SIM).
    static std::string FindBinary() {
        if (const char* env = std::getenv("RANKMOTH_SIM"); env && *env)
            return env;
        std::error_code ec;
        auto dir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
        for (int up = 0; up < 4 && !dir.empty(); ++up, dir = dir.parent_path()) {
            const auto candidate = dir / "tools" / "sim" / "rankmoth-sim";
            if (std::filesystem::exists(candidate, ec))
                return candidate.string();
        }
        return {};
    }

    explicit SimProcess(std::vector<std::string> options = {}) {
        const std::string binary = FindBinary();
        if (binary.empty())
            return;
        portFile_ =
            std::filesystem::temp_directory_path() /
            (std::string("rankmoth-sim-port-") + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::remove(portFile_);
        options.insert(options.begin(), "--port-file=" + portFile_.string());
        options.insert(options.begin(), "--port=0");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(binary.c_str()));
        for (auto& o : options)
            argv.push_back(o.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            std::freopen("/dev/null", "w", stdout);
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(portFile_);
            if (in >> port_ && port_ > 0)
                break;
            port_ = 0;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (::waitpid(pid_, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (::waitpid(pid_, &status, WNOHANG) == 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
            }
        }
        std::error_code ec;
        std::filesystem::remove(portFile_, ec);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    std::string HostPort() const { return std::string("127.0.0.1:") + std::to_string(port_); }
    std::string ShopBase() const { return "http://" + HostPort() + "/"; }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path portFile_;
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace rankmoth::testing
