#pragma once

#include "cli/cli_context.h"
#include "cli/pass_printer.h"
#include "cli/watch_file.h"

#include <string>

namespace rankmoth::cli {

struct TrackPlan {
    Watch watch;
    OutputFormat format = OutputFormat::Table;
};

// One run of a watch: every shop's feed, then each listing walked once for all of them, printed shop by
// shop (own shops first) and kept as one pass per shop and listing. Returns the exit status.
int RunTrack(const TrackPlan& plan, CliContext& context);

// What a run of the watch would do, for --dry-run: the shops, the listings, the requests and the time it
// would take at the watch's pace. Makes no request.
std::string TrackPlanText(const Watch& watch);

} // namespace rankmoth::cli
