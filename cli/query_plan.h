#pragma once

#include "cli/pass_printer.h"
#include "cli/query_options.h"

#include <chrono>
#include <vector>

namespace rankmoth::cli {

// A checked query command line.
struct QueryPlan {
    Text shop;
    CategoryChoice category;
    std::vector<SortPass> sorts;
    int pageLimit = 10;
    OutputFormat format = OutputFormat::Table;
    std::chrono::milliseconds delay{200};
    int retries = 2;
};

} // namespace rankmoth::cli
