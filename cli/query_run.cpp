#include "cli/query_run.h"

namespace rankmoth::cli {

int RunQuery(const QueryPlan&, CliContext&) {
    ReportError("the query is not wired to the engine yet");
    return kExitNoShop;
}

int RunItems(const Text&, OutputFormat, CliContext&) {
    ReportError("the shop load is not wired to the engine yet");
    return kExitNoShop;
}

} // namespace rankmoth::cli
