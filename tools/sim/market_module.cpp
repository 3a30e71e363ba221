#include "tools/sim/sim_module.h"

namespace rankmoth::sim {

namespace {
// Serves nothing yet.
class MarketModule final : public SimModule {
public:
    bool TakeOption(std::string_view, std::string_view, std::string&) override { return false; }
    bool Prepare(std::string&) override { return true; }
    void Register(httplib::Server&) override {}
    std::string Usage() const override { return {}; }
};
} // namespace

std::unique_ptr<SimModule> MakeMarketModule() { return std::make_unique<MarketModule>(); }

} // namespace rankmoth::sim
