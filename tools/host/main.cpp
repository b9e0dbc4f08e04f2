// tavrel-host: the stand-in game server. Loads a plug-in module, runs frames and a console until
// told to quit. See --help for usage and exit codes.
#include "platform/tools/module_library.h"
#include "tools/host/stand_in_host.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <thread>

namespace {

std::atomic<bool> g_bStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnStopSignal(int) {
    g_bStopRequested = true;
}

} // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::cerr << "tavrel-host: " << error << " (see --help)" << std::endl;
        return HOST_EXIT_USAGE;
    }
    if (options.m_bShowHelp) {
        std::cout << HostUsage() << std::flush;
        return HOST_EXIT_OK;
    }
    if (options.m_bShowVersion) {
        std::cout << "tavrel-host " TAVREL_HOST_VERSION << std::endl;
        return HOST_EXIT_OK;
    }
    if (options.m_strModulePath.empty()) {
        options.m_strModulePath = PathBesideExecutable(ModuleFileName("tavrel").c_str());
    }

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);

    StandInHost host(std::cout, std::cerr);
    HostExitCode result = host.Load(options.m_strModulePath);
    if (result != HOST_EXIT_OK) {
        return result;
    }

    // A read of standard input cannot be interrupted portably, so the reader is left behind at
    // exit; it shares ownership of the queue it fills.
    std::thread([pLines = host.TypedInput()] {
        std::string line;
        while (std::getline(std::cin, line)) {
            pLines->Push(line);
        }
    }).detach();

    host.Run(options.m_nTickRate, options.m_nFrameLimit, g_bStopRequested);
    host.Unload();
    return HOST_EXIT_OK;
}
