#include "cli/cli_context.h"

#include "base/settings.h"

#include <cstdio>

namespace rankmoth::cli {

bool CliContext::Endpoints(base::Endpoints& endpoints, std::vector<base::Endpoints::Origin>* origins) const {
    std::vector<std::string> problems;
    endpoints = base::Endpoints::Resolve(base::ConfigFile(), base::ProcessEnvironment(), problems, origins);
    for (const std::string& problem : problems)
        ReportError(problem);
    if (!marketHost.empty())
        endpoints.marketHost = marketHost;
    if (!shopBase.empty())
        endpoints.shopBase = shopBase;
    if (origins) {
        for (base::Endpoints::Origin& origin : *origins) {
            const bool market = std::string_view(origin.key) == "market";
            const bool shop = std::string_view(origin.key) == "shop_base";
            if ((market && !marketHost.empty()) || (shop && !shopBase.empty())) {
                origin.value = market ? marketHost : shopBase;
                origin.from = market ? "flag --market-host" : "flag --shop-base";
            }
        }
    }
    return problems.empty();
}

void ReportError(const std::string& reason) {
    std::fprintf(stderr, "rankmoth-cli: %s\n", reason.c_str());
}

} // namespace rankmoth::cli
