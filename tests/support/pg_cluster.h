#pragma once

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace rankmoth::testing {

// A throwaway PostgreSQL server in a folder of its own, reached only through a Unix socket in that folder, so
// nothing listens on any network. Made with initdb and pg_ctl from the server's binaries; when the tests run as
// root the server runs as `nobody`, as PostgreSQL refuses root.
class PgCluster {
public:
    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool running() const { return running_; }
    // Why the server is not running: missing binaries, or what initdb or pg_ctl said.
    const std::string& whyNot() const { return whyNot_; }
    // The URL of a new, empty database; empty after a failure, which `whyNot()` then names.
    std::string NewDatabase();
    // The URL of a database by its name, which need not exist.
    std::string UrlOf(const std::string& database) const;

private:
    std::string Run(const std::string& command) const; // its output when it failed; empty when it succeeded
    void StartWatchdog();

    std::unique_ptr<TempFolder> folder_;
    std::string bin_;
    std::string asUser_; // the prefix that runs a command as the server's user; empty when that is us
    bool running_ = false;
    std::string whyNot_;
    int databases_ = 0;
    int watchdog_ = -1; // the write end of the watchdog's pipe
};

// The test binary's one cluster, started on first use and stopped when the tests end.
PgCluster& SharedPgCluster();

// Whether a missing server fails the PostgreSQL cases rather than skipping them (RANKMOTH_REQUIRE_POSTGRES=1,
// as scripts/test.sh sets): CI must not pass by skipping them.
bool PostgresRequired();

} // namespace rankmoth::testing

// In a test or its SetUp: a fresh database's URL into `url`, or the test skipped (failed when PostgreSQL is
// required) with the reason.
#define RANKMOTH_FRESH_DATABASE_OR_SKIP(url)                                                                           \
    do {                                                                                                               \
        url = ::rankmoth::testing::SharedPgCluster().NewDatabase();                                                    \
        if (url.empty()) {                                                                                             \
            if (::rankmoth::testing::PostgresRequired())                                                               \
                FAIL() << "PostgreSQL is required: " << ::rankmoth::testing::SharedPgCluster().whyNot();               \
            GTEST_SKIP() << "no PostgreSQL server to test with: " << ::rankmoth::testing::SharedPgCluster().whyNot();  \
        }                                                                                                              \
    } while (false)
