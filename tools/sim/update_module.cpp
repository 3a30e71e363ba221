#include "tools/sim/sim_module.h"

namespace rankmoth::sim {

namespace {
// Serves nothing yet.
class UpdateModule final : public SimModule {
public:
    bool TakeOption(std::string_view, std::string_view, std::string&) override { return false; }
    bool Prepare(std::string&) override { return true; }
    void Register(httplib::Server&) override {}
    std::string Usage() const override { return {}; }
};
} // namespace

std::unique_ptr<SimModule> MakeUpdateModule() { return std::make_unique<UpdateModule>(); }

} // namespace rankmoth::sim
