#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <string_view>

namespace rankmoth::sim {

// One group of routes of the simulator (the marketplace, the notice pages and update archive). Options
// come as --name=value; each module takes the names it knows.
class SimModule {
public:
    virtual ~SimModule() = default;
    // True when the option was this module's. `error` is set when the value is unusable.
    virtual bool TakeOption(std::string_view name, std::string_view value, std::string& error) = 0;
    // Called once all options are read, before the server starts.
    virtual bool Prepare(std::string& error) = 0;
    virtual void Register(httplib::Server& server) = 0;
    // Lines for --help.
    virtual std::string Usage() const = 0;
};

std::unique_ptr<SimModule> MakeMarketModule();
std::unique_ptr<SimModule> MakeUpdateModule();

} // namespace rankmoth::sim
