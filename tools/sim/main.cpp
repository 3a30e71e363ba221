// rankmoth-sim: a local marketplace, notice and update server on loopback, for the tests and the demo.
#include "tools/sim/sim_module.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <vector>

namespace {

httplib::Server* g_server = nullptr;

void StopOnSignal(int) {
    if (g_server)
        g_server->stop();
}

} // namespace

int main(int argc, char** argv) {
    using namespace rankmoth::sim;
    std::vector<std::unique_ptr<SimModule>> modules;
    modules.push_back(MakeMarketModule());
    modules.push_back(MakeUpdateModule());

    int port = 0;
    std::string bind = "127.0.0.1";
    std::string portFile;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << "usage: rankmoth-sim [--port=N] [--port-file=PATH] [options]\n"
                         "  --port=N          port on 127.0.0.1 (0: any free port, printed on start)\n"
                         "  --port-file=PATH  write the chosen port to PATH once listening\n";
            for (const auto& m : modules)
                std::cout << m->Usage();
            return 0;
        }
        const auto eq = arg.find('=');
        if (arg.substr(0, 2) != "--" || eq == std::string_view::npos) {
            std::cerr << "rankmoth-sim: options are --name=value, not \"" << arg << "\" (see --help)\n";
            return 2;
        }
        const auto name = arg.substr(2, eq - 2);
        const auto value = arg.substr(eq + 1);
        if (name == "port") {
            port = std::atoi(std::string(value).c_str());
            continue;
        }
        if (name == "port-file") {
            portFile = value;
            continue;
        }
        bool taken = false;
        for (const auto& m : modules) {
            std::string error;
            if (m->TakeOption(name, value, error)) {
                if (!error.empty()) {
                    std::cerr << "rankmoth-sim: --" << name << ": " << error << "\n";
                    return 2;
                }
                taken = true;
                break;
            }
        }
        if (!taken) {
            std::cerr << "rankmoth-sim: unknown option --" << name << " (see --help)\n";
            return 2;
        }
    }

    httplib::Server server;
    for (const auto& m : modules) {
        std::string error;
        if (!m->Prepare(error)) {
            std::cerr << "rankmoth-sim: " << error << "\n";
            return 2;
        }
        m->Register(server);
    }

    const int bound = port == 0 ? server.bind_to_any_port(bind) : (server.bind_to_port(bind, port) ? port : -1);
    if (bound <= 0) {
        std::cerr << "rankmoth-sim: cannot listen on " << bind << ":" << port << "\n";
        return 1;
    }
    if (!portFile.empty()) {
        if (FILE* f = std::fopen(portFile.c_str(), "w")) {
            std::fprintf(f, "%d\n", bound);
            std::fclose(f);
        }
    }
    std::cout << "rankmoth-sim listening on http://" << bind << ":" << bound << "/" << std::endl;
    g_server = &server;
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    server.listen_after_bind();
    return 0;
}
