#pragma once

#include "cli/cli_context.h"
#include "cli/pass_printer.h"
#include "cli/watch_file.h"

#include <optional>
#include <string>
#include <vector>

namespace rankmoth::cli {

struct TrackPlan {
    Watch watch;
    OutputFormat format = OutputFormat::Table;
};

// One run of a watch: every shop's feed, then each listing walked once for all of them, printed shop by
// shop (own shops first) and kept as one pass per shop and listing. Returns the exit status.
int RunTrack(const TrackPlan& plan, CliContext& context);

// What the history knows that a plan can go by; empty where it has not seen it.
struct TrackEstimates {
    std::vector<std::optional<int>> feedRequests; // per shop of the watch: its last feed load's requests
    std::optional<double> secondsPerRequest;      // over the latest passes, pacing included
};
// The estimates from the history at `location`, read only; none when it cannot be read.
TrackEstimates EstimatesFrom(const std::string& location, const Watch& watch);

// What a run of the watch would do, for --dry-run: the shops, the listings, the requests and the time it
// would take. Makes no request.
std::string TrackPlanText(const Watch& watch, const TrackEstimates& estimates);

} // namespace rankmoth::cli
