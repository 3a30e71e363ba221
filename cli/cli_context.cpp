#include "cli/cli_context.h"

#include "base/settings.h"

#include <cstdio>

namespace rankmoth::cli {

base::Endpoints CliContext::Endpoints() const {
    std::vector<std::string> warnings;
    base::Endpoints endpoints = base::Endpoints::Resolve(base::ConfigFile(), base::ProcessEnvironment(), warnings);
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "rankmoth-cli: warning: %s\n", warning.c_str());
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
