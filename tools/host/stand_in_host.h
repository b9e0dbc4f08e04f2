// The stand-in host: loads a module as a game server does, finds its plug-in, runs server frames
// at a fixed rate and shuts it down again. Everything it calls on the plug-in goes by position.
// Its console also reaches the console variables the plug-in registers: NAME shows a value, NAME
// VALUE sets it, cvarlist lists them, and every change is printed. status tells how long it has
// run and how much the plug-in relayed.
#pragma once

#include "platform/tools/module_library.h"
#include "tools/host/plugin_by_position.h"
#include "tools/host/server_console.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

// Exit codes of tavrel-host, after the usual system conventions.
enum HostExitCode : int {
    HOST_EXIT_OK = 0,
    HOST_EXIT_USAGE = 64,       // bad command line
    HOST_EXIT_NO_MODULE = 66,   // the module file is missing or cannot be loaded
    HOST_EXIT_NO_PLUGIN = 69,   // the module serves no plug-in
    HOST_EXIT_LOAD_FAILED = 70, // the plug-in refused to load
};

struct HostOptions {
    std::string m_strModulePath; // empty: the module beside the executable
    int m_nTickRate = 66;        // frames per second
    long m_nFrameLimit = -1;     // frames to run before quitting; negative: until told to quit
    bool m_bShowHelp = false;
    bool m_bShowVersion = false;
};

// Reads the command line (without the program's name). False with a one-line reason on bad usage.
bool ParseHostOptions(const std::vector<std::string>& arguments, HostOptions* pOptions,
                      std::string* pError);

const char* HostUsage();

// Lines typed at the host's input, passed from the thread that reads them to the host thread.
class TypedLines {
public:
    void Push(std::string line);
    std::vector<std::string> TakeAll();

private:
    std::mutex m_Mutex;
    std::vector<std::string> m_Lines;
};

// One per process: the plug-in's engine factory reaches it through process-wide state. Host
// thread only, but for TypedInput, whose lines may be pushed from any thread.
class StandInHost {
public:
    using Clock = std::chrono::steady_clock;

    // Commands and the banner go to output, reasons for failure to errors. now tells the time for
    // status; the host is up from its construction.
    StandInHost(std::ostream& output, std::ostream& errors,
                std::function<Clock::time_point()> now = &Clock::now);
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    // Loads the module and its plug-in and prints the banner. On failure prints one line to
    // errors, leaves nothing loaded and returns the exit code for it.
    HostExitCode Load(const std::string& modulePath);

    // Runs the typed lines and the commands the module issued, then the plug-in's frame, unless
    // a command asked to quit.
    void RunFrame();

    // Runs frames at nTickRate per second until a command quits, stopRequested turns true or
    // nFrameLimit frames have run (a negative limit never ends the run).
    void Run(int nTickRate, long nFrameLimit, const std::atomic<bool>& stopRequested);

    // Unloads the plug-in and the module; does nothing when nothing is loaded.
    void Unload();

    ServerConsole& Console() { return m_Console; }
    std::shared_ptr<TypedLines> TypedInput() const { return m_pTypedLines; }

private:
    static void ReceiveServerCommand(const char* pszText, void* pContext);
    // The console-variable service's global change listener: prints each change.
    static void ReceiveVariableChange(void* pVariable, const char* pszPreviousText,
                                      float flPreviousValue, void* pContext);

    ServerConsole m_Console;
    std::ostream& m_Errors;
    std::shared_ptr<TypedLines> m_pTypedLines;
    std::function<Clock::time_point()> m_Now;
    Clock::time_point m_StartTime;
    uint64_t m_nFramesRun = 0;
    uint64_t m_nCommandsRelayed = 0; // texts the plug-in issued as server commands
    ModuleLibraryHandle m_hModule = nullptr;
    PluginByPosition m_Plugin{nullptr};
};
