#include "tests/support/pg_cluster.h"

#include <pqxx/pqxx>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace rankmoth::testing {

namespace {

namespace fs = std::filesystem;

// The server's binaries: RANKMOTH_PG_BIN, else the newest Debian installs.
std::string ServerBinaries() {
    if (const char* bin = std::getenv("RANKMOTH_PG_BIN"); bin && *bin)
        return bin;
    std::string newest;
    int newestVersion = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const std::string name = entry.path().filename().string();
        const int version = std::atoi(name.c_str());
        if (version > newestVersion && fs::exists(entry.path() / "bin/pg_ctl", ec)) {
            newestVersion = version;
            newest = (entry.path() / "bin").string();
        }
    }
    return newest;
}

// Single quotes for the shell, each quote inside closed, escaped and reopened.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

// Stops the cluster when the tests end, whether or not one was started.
class ClusterEnvironment : public ::testing::Environment {
public:
    void TearDown() override { Cluster().reset(); }
    static std::unique_ptr<PgCluster>& Cluster() {
        static std::unique_ptr<PgCluster> cluster;
        return cluster;
    }
};

::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ClusterEnvironment);

} // namespace

PgCluster::PgCluster() : bin_(ServerBinaries()) {
    if (bin_.empty() || !fs::exists(bin_ + "/initdb")) {
        whyNot_ = "no PostgreSQL server binaries (install postgresql-15, or set RANKMOTH_PG_BIN)";
        return;
    }
    folder_ = std::make_unique<TempFolder>("rankmoth-pg");
    if (::geteuid() == 0) {
        // PostgreSQL will not run as root: the folder becomes nobody's, and so the server.
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(folder_->path().c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            whyNot_ = "the tests run as root and there is no user nobody to run the server as";
            return;
        }
        asUser_ = "setpriv --reuid=" + std::to_string(nobody->pw_uid) + " --regid=" + std::to_string(nobody->pw_gid) +
                  " --clear-groups -- ";
    }
    const std::string data = folder_->file("data");
    if (std::string failed =
            Run(Quoted(bin_ + "/initdb") + " -A trust -U rankmoth -E UTF8 --locale=C --no-sync -D " + Quoted(data));
        !failed.empty()) {
        whyNot_ = "initdb failed: " + failed;
        return;
    }
    // No TCP at all: the socket in the cluster's folder is the only way in.
    const std::string options = "-k " + folder_->path() + " -c listen_addresses='' -c fsync=off";
    if (std::string failed = Run(Quoted(bin_ + "/pg_ctl") + " -w -D " + Quoted(data) + " -l " +
                                 Quoted(folder_->file("server.log")) + " -o " + Quoted(options) + " start");
        !failed.empty()) {
        whyNot_ = "pg_ctl start failed: " + failed;
        return;
    }
    running_ = true;
    StartWatchdog();
}

PgCluster::~PgCluster() {
    if (running_)
        Run(Quoted(bin_ + "/pg_ctl") + " -w -m immediate -D " + Quoted(folder_->file("data")) + " stop");
    if (watchdog_ >= 0)
        ::close(watchdog_);
}

// A test binary that crashes or is killed at its time-out runs no destructor: a process of its own waits for
// the binary's end (the pipe's last writer gone) and then stops the server and removes its folder, so that no
// server outlives its tests.
void PgCluster::StartWatchdog() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return;
    // Made before the fork: the child only reads, then replaces itself with the shell.
    const std::string cleanup = asUser_ + Quoted(bin_ + "/pg_ctl") + " -w -m immediate -D " +
                                Quoted(folder_->file("data")) + " stop >/dev/null 2>&1; rm -rf " +
                                Quoted(folder_->path());
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ends[1]);
        char byte;
        while (::read(ends[0], &byte, 1) > 0) {
        }
        ::execl("/bin/sh", "sh", "-c", cleanup.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[0]);
    if (pid > 0)
        watchdog_ = ends[1];
    else
        ::close(ends[1]);
}

std::string PgCluster::Run(const std::string& command) const {
    const std::string line = "cd " + Quoted(folder_->path()) + " && " + asUser_ + command + " 2>&1";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe)
        return "cannot run " + command;
    std::string output;
    char buffer[512];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    return status == 0 ? std::string() : (output.empty() ? "exit status " + std::to_string(status) : output);
}

std::string PgCluster::UrlOf(const std::string& database) const {
    return "postgresql://rankmoth@/" + database + "?host=" + (folder_ ? folder_->path() : std::string());
}

std::string PgCluster::NewDatabase() {
    if (!running_)
        return {};
    const std::string name = "history_" + std::to_string(++databases_);
    try {
        pqxx::connection admin(UrlOf("postgres"));
        pqxx::nontransaction work(admin);
        work.exec("CREATE DATABASE " + name);
    } catch (const std::exception& e) {
        whyNot_ = std::string("cannot create a database: ") + e.what();
        return {};
    }
    return UrlOf(name);
}

PgCluster& SharedPgCluster() {
    (void)kEnvironment;
    std::unique_ptr<PgCluster>& cluster = ClusterEnvironment::Cluster();
    if (!cluster)
        cluster = std::make_unique<PgCluster>();
    return *cluster;
}

bool PostgresRequired() {
    const char* required = std::getenv("RANKMOTH_REQUIRE_POSTGRES");
    return required && std::string(required) == "1";
}

} // namespace rankmoth::testing
