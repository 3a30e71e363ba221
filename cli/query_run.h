#pragma once

#include "cli/cli_context.h"
#include "cli/query_plan.h"

namespace rankmoth::cli {

// The shop load and the passes of a checked query, printed as they finish; returns the exit status.
int RunQuery(const QueryPlan& plan, CliContext& context);
// The shop load alone, printed as item ID and title.
int RunItems(const Text& shop, OutputFormat format, int retries, CliContext& context);

} // namespace rankmoth::cli
