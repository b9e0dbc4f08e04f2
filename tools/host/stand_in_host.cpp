// Loading, frames and shutdown of the stand-in host, and its command line.
#include "tools/host/stand_in_host.h"
#include "plugin/command_protocol.h"

#include "host/interface_factory.h"
#include "tools/host/console_by_position.h"
#include "tools/host/stand_in_console_service.h"
#include "tools/host/stand_in_engine.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

namespace {

// Accepts the whole text as a decimal number within the bounds, nothing less.
bool ParseNumber(const std::string& text, long nMinimum, long nMaximum, long* pnValue) {
    if (text.empty()) {
        return false;
    }
    char* pszEnd = nullptr;
    errno = 0;
    long nValue = std::strtol(text.c_str(), &pszEnd, 10);
    if (errno != 0 || *pszEnd != '\0' || nValue < nMinimum || nValue > nMaximum) {
        return false;
    }
    *pnValue = nValue;
    return true;
}

std::string Quoted(const char* pszText) {
    return std::string("\"") + pszText + "\"";
}

// A variable's value as a server reads it: the text of the variable it names as its identity.
const char* ValueText(void* pVariable) {
    return ConsoleObjectByPosition(ConsoleObjectByPosition(pVariable).Identity()).Text();
}

// "NAME" = "VALUE", and " - HELP" when asked for and there is any.
std::string DescribeVariable(void* pVariable, bool bWithHelp) {
    ConsoleObjectByPosition variable(pVariable);
    std::string description = Quoted(variable.ObjectName()) + " = " + Quoted(ValueText(pVariable));
    const char* pszHelp = variable.ObjectHelp();
    if (bWithHelp && pszHelp != nullptr && *pszHelp != '\0') {
        description += std::string(" - ") + pszHelp;
    }
    return description;
}

// "1 frame", "2 frames".
std::string Counted(uint64_t nCount, const char* pszNoun) {
    return std::to_string(nCount) + " " + pszNoun + (nCount == 1 ? "" : "s");
}

// A value typed in quotes loses them, so it may hold blanks at its ends.
std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

} // namespace

const char* HostUsage() {
    return "Usage: tavrel-host [OPTIONS] [MODULE]\n"
           "Loads a server plug-in module as a game server does and runs server frames.\n"
           "MODULE defaults to the module beside this program.\n"
           "\n"
           "  --tickrate N  run N frames per second (default 66)\n"
           "  --frames N    quit after N frames\n"
           "  --help        show this help and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "Type console commands on standard input; 'help' lists them, 'quit' ends the host.\n"
           "Exit codes: 0 success, 64 bad usage, 66 module missing or unloadable, 69 module\n"
           "serves no plug-in, 70 the plug-in refused to load.\n";
}

bool ParseHostOptions(const std::vector<std::string>& arguments, HostOptions* pOptions,
                      std::string* pError) {
    bool bModuleGiven = false;
    for (size_t nIndex = 0; nIndex < arguments.size(); ++nIndex) {
        const std::string& argument = arguments[nIndex];
        if (argument == "--help" || argument == "-h") {
            pOptions->m_bShowHelp = true;
            continue;
        }
        if (argument == "--version") {
            pOptions->m_bShowVersion = true;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            std::string name = argument.substr(0, argument.find('='));
            if (name != "--tickrate" && name != "--frames") {
                *pError = "unknown option '" + argument + "'";
                return false;
            }
            std::string value;
            if (name.size() < argument.size()) {
                value = argument.substr(name.size() + 1);
            } else if (nIndex + 1 < arguments.size()) {
                value = arguments[++nIndex];
            } else {
                *pError = "option '" + name + "' needs a number";
                return false;
            }
            long nValue = 0;
            if (name == "--tickrate") {
                if (!ParseNumber(value, 1, 1000, &nValue)) {
                    *pError = "--tickrate wants a whole number from 1 to 1000, not '" + value + "'";
                    return false;
                }
                pOptions->m_nTickRate = static_cast<int>(nValue);
            } else {
                if (!ParseNumber(value, 0, 1000000000L, &nValue)) {
                    *pError = "--frames wants a whole number of at least 0, not '" + value + "'";
                    return false;
                }
                pOptions->m_nFrameLimit = nValue;
            }
            continue;
        }
        if (bModuleGiven) {
            *pError = "one module at a time, not also '" + argument + "'";
            return false;
        }
        pOptions->m_strModulePath = argument;
        bModuleGiven = true;
    }
    return true;
}

void TypedLines::Push(std::string line) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Lines.push_back(std::move(line));
}

std::vector<std::string> TypedLines::TakeAll() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::vector<std::string> lines;
    lines.swap(m_Lines);
    return lines;
}

StandInHost::StandInHost(std::ostream& output, std::ostream& errors,
                         std::function<Clock::time_point()> now)
    : m_Console(output), m_Errors(errors), m_pTypedLines(std::make_shared<TypedLines>()),
      m_Now(std::move(now)), m_StartTime(m_Now()) {
    m_Console.AddCommand(
        "status", "show the frames run, the commands relayed and the time up",
        [this](ServerConsole& console, const std::string&) {
            auto nSecondsUp =
                std::chrono::duration_cast<std::chrono::seconds>(m_Now() - m_StartTime).count();
            console.Print(Counted(m_nFramesRun, "frame") + " run, " +
                          Counted(m_nCommandsRelayed, "command") + " relayed, " +
                          Counted(static_cast<uint64_t>(nSecondsUp), "second") + " up");
        });
    m_Console.AddCommand("plugin_print", "describe the loaded plug-in",
                         [this](ServerConsole& console, const std::string&) {
                             if (m_hModule != nullptr) {
                                 console.Print(m_Plugin.GetDescription());
                             }
                         });
    m_Console.AddCommand("cvarlist", "list the console variables with their values and help",
                         [](ServerConsole& console, const std::string&) {
                             size_t nVariables = 0;
                             for (void* pObject : RegisteredConsoleObjects()) {
                                 if (!ConsoleObjectByPosition(pObject).ActsAsCommand()) {
                                     console.Print(DescribeVariable(pObject, true));
                                     ++nVariables;
                                 }
                             }
                             console.Print(std::to_string(nVariables) + " console variables");
                         });
    // NAME prints the variable's value; NAME VALUE sets it through its facet, as a server does.
    m_Console.SetNameHandler(
        [](ServerConsole& console, const std::string& name, const std::string& arguments) {
            void* pVariable = FindConsoleVariable(name.c_str());
            if (pVariable == nullptr) {
                return false;
            }
            if (arguments.empty()) {
                console.Print(DescribeVariable(pVariable, false));
            } else {
                ConVarFacetByPosition(ConsoleObjectByPosition(pVariable).Facet())
                    .SetFromText(Unquoted(arguments).c_str());
            }
            return true;
        });
}

StandInHost::~StandInHost() {
    Unload();
}

HostExitCode StandInHost::Load(const std::string& modulePath) {
    std::string error;
    ModuleLibraryHandle hModule = LoadModuleLibrary(modulePath.c_str(), &error);
    if (hModule == nullptr) {
        m_Errors << "tavrel-host: cannot load module " << modulePath << ": " << error << std::endl;
        return HOST_EXIT_NO_MODULE;
    }
    auto pfnCreateInterface =
        reinterpret_cast<InterfaceFactory>(FindModuleSymbol(hModule, "CreateInterface"));
    if (pfnCreateInterface == nullptr) {
        m_Errors << "tavrel-host: " << modulePath << " exports no CreateInterface" << std::endl;
        UnloadModuleLibrary(hModule);
        return HOST_EXIT_NO_PLUGIN;
    }
    int nStatus = INTERFACE_STATUS_FAILED;
    void* pPlugin = pfnCreateInterface("ISERVERPLUGINCALLBACKS002", &nStatus);
    if (pPlugin == nullptr || nStatus != INTERFACE_STATUS_OK) {
        m_Errors << "tavrel-host: " << modulePath << " serves no ISERVERPLUGINCALLBACKS002"
                 << std::endl;
        UnloadModuleLibrary(hModule);
        return HOST_EXIT_NO_PLUGIN;
    }

    PluginByPosition plugin(pPlugin);
    SetServerCommandSink(&StandInHost::ReceiveServerCommand, this);
    SetConsoleChangeListener(&StandInHost::ReceiveVariableChange, this);
    if (!plugin.LoadPlugin(&StandInEngineFactory, &StandInGameServerFactory)) {
        // A server does not unload a plug-in that failed to load; it only lets go of the module.
        SetServerCommandSink(nullptr, nullptr);
        SetConsoleChangeListener(nullptr, nullptr);
        ResetStandInConsoleService();
        UnloadModuleLibrary(hModule);
        m_Errors << "tavrel-host: the plug-in refused to load; is another process holding the "
                    "command pipe " COMMAND_PIPE_NAME "?"
                 << std::endl;
        return HOST_EXIT_LOAD_FAILED;
    }
    m_hModule = hModule;
    m_Plugin = plugin;
    m_Console.Print("tavrel-host: loaded " + modulePath + ": " + m_Plugin.GetDescription());
    return HOST_EXIT_OK;
}

void StandInHost::RunFrame() {
    for (const std::string& line : m_pTypedLines->TakeAll()) {
        m_Console.AddText((line + '\n').c_str());
    }
    m_Console.Execute();
    if (m_hModule != nullptr && !m_Console.QuitRequested()) {
        m_Plugin.OnGameFrame(true);
    }
    ++m_nFramesRun;
}

void StandInHost::Run(int nTickRate, long nFrameLimit, const std::atomic<bool>& stopRequested) {
    using Clock = std::chrono::steady_clock;
    const Clock::duration period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / nTickRate));
    Clock::time_point nextFrame = Clock::now();
    for (long nFrame = 0; nFrameLimit < 0 || nFrame < nFrameLimit; ++nFrame) {
        if (stopRequested.load()) {
            break;
        }
        RunFrame();
        if (m_Console.QuitRequested()) {
            break;
        }
        nextFrame += period;
        Clock::time_point now = Clock::now();
        if (nextFrame < now) {
            // Behind schedule: carry on from now rather than run a burst of frames to catch up.
            nextFrame = now;
        } else {
            std::this_thread::sleep_until(nextFrame);
        }
    }
}

void StandInHost::Unload() {
    if (m_hModule == nullptr) {
        return;
    }
    m_Plugin.UnloadPlugin();
    SetServerCommandSink(nullptr, nullptr);
    SetConsoleChangeListener(nullptr, nullptr);
    // Whatever the plug-in left registered goes with its module.
    ResetStandInConsoleService();
    UnloadModuleLibrary(m_hModule);
    m_hModule = nullptr;
    m_Plugin = PluginByPosition(nullptr);
}

void StandInHost::ReceiveVariableChange(void* pVariable, const char* pszPreviousText,
                                        float /*flPreviousValue*/, void* pContext) {
    static_cast<StandInHost*>(pContext)->m_Console.Print(
        Quoted(ConsoleObjectByPosition(pVariable).ObjectName()) + " changed from " +
        Quoted(pszPreviousText) + " to " + Quoted(ValueText(pVariable)));
}

void StandInHost::ReceiveServerCommand(const char* pszText, void* pContext) {
    // The engine queues the text; it runs with the console's next frame, as typed commands do.
    auto* pHost = static_cast<StandInHost*>(pContext);
    ++pHost->m_nCommandsRelayed;
    pHost->m_Console.AddText(pszText);
}
