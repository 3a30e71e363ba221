#include "cli/cli_context.h"

#include <cstdio>

namespace rankmoth::cli {

base::Endpoints CliContext::Endpoints() const {
    base::Endpoints endpoints = base::Endpoints::FromEnvironment();
    if (!marketHost.empty())
        endpoints.marketHost = marketHost;
    if (!shopBase.empty())
        endpoints.shopBase = shopBase;
    return endpoints;
}

void ReportError(const std::string& reason) {
    std::fprintf(stderr, "rankmoth-cli: %s\n", reason.c_str());
}

} // namespace rankmoth::cli
