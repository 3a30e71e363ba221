#pragma once

#include "base/result.h"

#include <cstdint>
#include <string>

namespace rankmoth::history {

struct MigrationCount {
    std::int64_t copied = 0;       // passes new to the database
    std::int64_t alreadyThere = 0; // passes it held already, by shop, listing, sort, times and walk
};

// Copies the SQLite history at `file` into the PostgreSQL database at `url`: passes with their results, the
// items and their sightings, feed loads, runs and hosts' backoff; the standings of the file's shops are then
// rebuilt from the results. A pass the database already holds is skipped, so a second run copies nothing; each
// 1,000 passes are committed together, so an interrupted run keeps what it finished and the next run goes on
// from there.
base::Result<MigrationCount> MigrateToDatabase(const std::string& file, const std::string& url);

} // namespace rankmoth::history
