#pragma once

#include "base/text.h"

#include <vector>

namespace rankmoth::rank {

// The parameters and progress of the current rank query. One per process, owned by the composition root;
// each accepted start overwrites it and the values stay after the run.
struct QueryState {
    Text categorySlug;
    Text sortKey;
    Text sortLabel;
    int pageLimit = 0;
    int interval = 0;
    // The selected sub-category entry split at "|": kept with the run, though no request carries it.
    std::vector<Text> subCategoryFields;
    int pageNumber = 0;
    bool running = false;
    bool stopRequested = false;
};

} // namespace rankmoth::rank
