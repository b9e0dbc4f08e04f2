// The built module's frame, drain and load, each against a bare-socket baseline in the same run.
// The module is loaded as a server loads it and called only by position; the baselines make the
// system calls an ideal relay could not avoid, on sockets made exactly like the module's pipe.
//
//   relay_benchmark --benchmark_filter=IdleFrame
//
// The module's pipe name is fixed: nothing else may hold it while this runs (not the tests, not
// a running tavrel-host).
#include "bench/bench_sockets.h"
#include "host/interface_factory.h"
#include "platform/module/linkage.h"
#include "platform/tools/module_library.h"
#include "plugin/command_protocol.h"
#include "tier0/tier0_control.h"
#include "tools/host/plugin_by_position.h"
#include "tools/host/stand_in_engine.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace {

const char PLUGIN_INTERFACE[] = "ISERVERPLUGINCALLBACKS002";
// Frames allowed for one batch or flood before the run is declared broken.
constexpr int MAX_FRAMES_PER_BATCH = 64;

uint64_t g_nIssued = 0;

// The host's side of a relayed command at its cheapest: an engine-server object, built from
// positions alone like the stand-in's, whose command entry only counts. What the frame costs is
// then the module's own work; the stand-in's console bookkeeping stays out of the figure.
using Entry = void*;

void TAVREL_THISCALL CountServerCommand(void* /*pThis*/, const char* /*pszText*/) {
    ++g_nIssued;
}

void TAVREL_THISCALL UnservedEngineOperation(void* /*pThis*/) {
    std::fputs("relay_benchmark: the module called an engine-server operation the benchmark "
               "does not serve\n",
               stderr);
    std::abort();
}

struct RawEngineServer {
    Entry* m_pTable;
};

RawEngineServer* CountingEngineServer() {
    static Entry table[ENGINE_SERVER_POSITIONS];
    static RawEngineServer engineServer = [] {
        for (Entry& entry : table) {
            entry = reinterpret_cast<Entry>(&UnservedEngineOperation);
        }
        table[ENGINE_SERVER_ISSUE_SERVER_COMMAND] = reinterpret_cast<Entry>(&CountServerCommand);
        return RawEngineServer{table};
    }();
    return &engineServer;
}

// Every other service comes from the stand-in host, as the module will ask for more of them.
void* BenchEngineFactory(const char* pszName, int* pnStatus) {
    if (std::strcmp(pszName, "VEngineServer021") != 0) {
        return StandInEngineFactory(pszName, pnStatus);
    }
    if (pnStatus != nullptr) {
        *pnStatus = INTERFACE_STATUS_OK;
    }
    return CountingEngineServer();
}

// Allocator calls that hand out or grow a block, whatever the heap.
uint32_t HeapBlocksTaken() {
    return Tier0_GetCallCount(TIER0_ALLOCATE_TAGGED) + Tier0_GetCallCount(TIER0_ALLOCATE) +
           Tier0_GetCallCount(TIER0_REALLOCATE_TAGGED) + Tier0_GetCallCount(TIER0_REALLOCATE);
}

// The module file, mapped: its plug-in found, not yet loaded.
class ModuleImage {
public:
    ModuleImage() = default;
    ~ModuleImage() { Unmap(); }
    ModuleImage(const ModuleImage&) = delete;
    ModuleImage& operator=(const ModuleImage&) = delete;

    bool Map(benchmark::State& state) {
        std::string error;
        m_hModule = LoadModuleLibrary(TAVREL_MODULE_PATH, &error);
        if (m_hModule == nullptr) {
            state.SkipWithError(("cannot load the module: " + error).c_str());
            return false;
        }
        auto pfnCreateInterface =
            reinterpret_cast<InterfaceFactory>(FindModuleSymbol(m_hModule, "CreateInterface"));
        void* pPlugin =
            pfnCreateInterface != nullptr ? pfnCreateInterface(PLUGIN_INTERFACE, nullptr) : nullptr;
        if (pPlugin == nullptr) {
            state.SkipWithError("the module serves no plug-in");
            return false;
        }
        m_Plugin = PluginByPosition(pPlugin);
        return true;
    }

    bool LoadPlugin(benchmark::State& state) {
        m_bLoaded = m_Plugin.LoadPlugin(&BenchEngineFactory, &StandInGameServerFactory);
        if (!m_bLoaded) {
            state.SkipWithError("the plug-in refused to load: does another process (the tests, "
                                "a running tavrel-host) hold the pipe's name?");
        }
        return m_bLoaded;
    }

    void UnloadPlugin() {
        if (m_bLoaded) {
            m_Plugin.UnloadPlugin();
            m_bLoaded = false;
        }
    }

    void Unmap() {
        UnloadPlugin();
        if (m_hModule != nullptr) {
            UnloadModuleLibrary(m_hModule);
            m_hModule = nullptr;
        }
    }

    const PluginByPosition& Plugin() const { return m_Plugin; }

private:
    ModuleLibraryHandle m_hModule = nullptr;
    PluginByPosition m_Plugin{nullptr};
    bool m_bLoaded = false;
};

// A loaded plug-in whose issued commands are counted, with a client of its pipe when asked.
class RelayFixture {
public:
    ~RelayFixture() {
        CloseBenchSocket(m_nClient);
        m_Image.Unmap();
    }

    bool Start(benchmark::State& state, bool bWithClient) {
        if (!m_Image.Map(state) || !m_Image.LoadPlugin(state)) {
            return false;
        }
        if (bWithClient) {
            m_nClient = ConnectBenchClient(COMMAND_PIPE_NAME);
            if (m_nClient < 0) {
                state.SkipWithError("cannot connect to the module's pipe");
                return false;
            }
        }
        // The first frame accepts the client, so timed frames see only the steady state.
        Frame();
        return true;
    }

    void Frame() const { m_Image.Plugin().OnGameFrame(true); }
    int Client() const { return m_nClient; }

private:
    ModuleImage m_Image;
    int m_nClient = -1;
};

// A listener and, when asked, a client and its accepted connection: the sockets of the module's
// pipe, without the module.
class BareFixture {
public:
    ~BareFixture() {
        CloseBenchSocket(m_nConnection);
        CloseBenchSocket(m_nClient);
        CloseBenchSocket(m_nListener);
    }

    bool Start(benchmark::State& state, bool bWithClient) {
        const std::string name = PrivateBenchPipeName("bare");
        m_nListener = OpenBenchListener(name.c_str());
        if (m_nListener < 0) {
            state.SkipWithError("cannot open the baseline's listener");
            return false;
        }
        if (bWithClient) {
            m_nClient = ConnectBenchClient(name.c_str());
            m_nConnection = AcceptBenchClient(m_nListener);
            if (m_nClient < 0 || m_nConnection < 0) {
                state.SkipWithError("cannot connect the baseline's client");
                return false;
            }
        }
        return true;
    }

    int Listener() const { return m_nListener; }
    int Client() const { return m_nClient; }
    int Connection() const { return m_nConnection; }

private:
    int m_nListener = -1;
    int m_nClient = -1;
    int m_nConnection = -1;
};

// --- Idle frames ---

void IdleFrameModule(benchmark::State& state, bool bWithClient) {
    RelayFixture relay;
    if (!relay.Start(state, bWithClient)) {
        return;
    }
    const uint64_t nIssuedBefore = g_nIssued;
    const uint32_t nBlocksBefore = HeapBlocksTaken();
    for (auto _ : state) {
        relay.Frame();
    }
    if (g_nIssued != nIssuedBefore) {
        state.SkipWithError("an idle frame issued a command");
    }
    state.counters["heap_blocks_per_frame"] =
        benchmark::Counter(HeapBlocksTaken() - nBlocksBefore, benchmark::Counter::kAvgIterations);
}

void IdleFrameBareAccept(benchmark::State& state) {
    BareFixture bare;
    if (!bare.Start(state, false)) {
        return;
    }
    for (auto _ : state) {
        const int nAccepted =
            accept4(bare.Listener(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        benchmark::DoNotOptimize(nAccepted);
    }
    if (accept4(bare.Listener(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC) >= 0 ||
        errno != EAGAIN) {
        state.SkipWithError("the baseline's accept did not fail for want of a client");
    }
}

void IdleFrameBareReceive(benchmark::State& state) {
    BareFixture bare;
    if (!bare.Start(state, true)) {
        return;
    }
    char buffer[COMMAND_MESSAGE_MAX];
    for (auto _ : state) {
        const ssize_t nReceived = recv(bare.Connection(), buffer, sizeof(buffer), MSG_DONTWAIT);
        benchmark::DoNotOptimize(nReceived);
    }
    if (recv(bare.Connection(), buffer, sizeof(buffer), MSG_DONTWAIT) >= 0 || errno != EAGAIN) {
        state.SkipWithError("the baseline's receive did not fail for want of data");
    }
}

// Not a baseline: what the frame would cost if it polled the listener instead of accepting.
void IdleFrameBarePoll(benchmark::State& state) {
    BareFixture bare;
    if (!bare.Start(state, false)) {
        return;
    }
    for (auto _ : state) {
        pollfd poller{};
        poller.fd = bare.Listener();
        poller.events = POLLIN;
        const int nReady = poll(&poller, 1, 0);
        benchmark::DoNotOptimize(nReady);
    }
}

// --- Draining a batch ---

// 128 messages of 6 to 1022 bytes, evenly spread and in a scrambled order, so every batch size
// sees the same mix. Text only: a NUL would end a command early.
const std::vector<std::string>& MessagePool() {
    static const std::vector<std::string> pool = [] {
        constexpr size_t BATCH_MESSAGES = 128;
        std::vector<std::string> messages(BATCH_MESSAGES);
        for (size_t i = 0; i < BATCH_MESSAGES; ++i) {
            const size_t nSize = 6 + (COMMAND_MESSAGE_MAX - 6) * i / (BATCH_MESSAGES - 1);
            // 45 is odd, so i * 45 mod 128 visits every slot once.
            std::string& message = messages[(i * 45) % BATCH_MESSAGES];
            message = "echo ";
            message.resize(nSize, static_cast<char>('a' + i % 26));
        }
        return messages;
    }();
    return pool;
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void ReportDrain(benchmark::State& state, size_t nBatch) {
    const auto nMessages = static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(nBatch);
    state.SetItemsProcessed(nMessages);
    int64_t nBytes = 0;
    for (int64_t i = 0; i < nMessages; ++i) {
        nBytes += static_cast<int64_t>(
            MessagePool()[static_cast<size_t>(i) % MessagePool().size()].size());
    }
    state.SetBytesProcessed(nBytes);
}

// Only the drain is timed: the client's sends before it are the same for both sides.
void DrainModule(benchmark::State& state) {
    const auto nBatch = static_cast<size_t>(state.range(0));
    RelayFixture relay;
    if (!relay.Start(state, true)) {
        return;
    }
    const uint32_t nBlocksBefore = HeapBlocksTaken();
    size_t nNext = 0;
    int64_t nFrames = 0;
    for (auto _ : state) {
        if (!SendBenchMessages(relay.Client(), MessagePool(), nNext, nBatch)) {
            state.SkipWithError("the client could not queue a whole batch");
            break;
        }
        nNext += nBatch;
        const uint64_t nTarget = g_nIssued + nBatch;
        int nBatchFrames = 0;
        const auto start = std::chrono::steady_clock::now();
        while (g_nIssued < nTarget && nBatchFrames < MAX_FRAMES_PER_BATCH) {
            relay.Frame();
            ++nBatchFrames;
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(end - start));
        nFrames += nBatchFrames;
        if (g_nIssued != nTarget) {
            state.SkipWithError("the module did not issue exactly the batch");
            break;
        }
    }
    ReportDrain(state, nBatch);
    state.counters["frames_per_batch"] =
        benchmark::Counter(static_cast<double>(nFrames), benchmark::Counter::kAvgIterations);
    state.counters["heap_blocks_per_message"] =
        benchmark::Counter(static_cast<double>(HeapBlocksTaken() - nBlocksBefore) /
                               static_cast<double>(nBatch > 0 ? nBatch : 1),
                           benchmark::Counter::kAvgIterations);
}

// Queues nBatch messages of the set at a time and times a bare loop receiving them.
void BareReceiveBatches(benchmark::State& state, const std::vector<std::string>& messages,
                        size_t nBatch) {
    BareFixture bare;
    if (!bare.Start(state, true)) {
        return;
    }
    char buffer[COMMAND_MESSAGE_MAX];
    size_t nNext = 0;
    for (auto _ : state) {
        if (!SendBenchMessages(bare.Client(), messages, nNext, nBatch)) {
            state.SkipWithError("the client could not queue a whole batch");
            break;
        }
        nNext += nBatch;
        size_t nReceived = 0;
        const auto start = std::chrono::steady_clock::now();
        while (recv(bare.Connection(), buffer, sizeof(buffer), MSG_DONTWAIT) >= 0) {
            ++nReceived;
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(end - start));
        if (nReceived != nBatch) {
            state.SkipWithError("the baseline did not receive exactly the batch");
            break;
        }
    }
}

void DrainBareReceive(benchmark::State& state) {
    const auto nBatch = static_cast<size_t>(state.range(0));
    BareReceiveBatches(state, MessagePool(), nBatch);
    ReportDrain(state, nBatch);
}

// Not a baseline: the bare loop plus the least the relay must do with each message, find the
// first NUL and put the newline there, so the gap to the module is its own layering alone.
void DrainBareReceiveAndScan(benchmark::State& state) {
    const auto nBatch = static_cast<size_t>(state.range(0));
    BareFixture bare;
    if (!bare.Start(state, true)) {
        return;
    }
    char buffer[COMMAND_MESSAGE_MAX + 2];
    size_t nNext = 0;
    for (auto _ : state) {
        if (!SendBenchMessages(bare.Client(), MessagePool(), nNext, nBatch)) {
            state.SkipWithError("the client could not queue a whole batch");
            break;
        }
        nNext += nBatch;
        size_t nReceived = 0;
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            const ssize_t nLength =
                recv(bare.Connection(), buffer, COMMAND_MESSAGE_MAX, MSG_DONTWAIT);
            if (nLength < 0) {
                break;
            }
            const void* pNul = std::memchr(buffer, '\0', static_cast<size_t>(nLength));
            const size_t nEnd = pNul != nullptr
                                    ? static_cast<size_t>(static_cast<const char*>(pNul) - buffer)
                                    : static_cast<size_t>(nLength);
            buffer[nEnd] = '\n';
            buffer[nEnd + 1] = '\0';
            benchmark::DoNotOptimize(buffer);
            ++nReceived;
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(end - start));
        if (nReceived != nBatch) {
            state.SkipWithError("the baseline did not receive exactly the batch");
            break;
        }
    }
    ReportDrain(state, nBatch);
}

// --- A flood ---

// A client that has queued far more than one frame's worth before the frame runs, as one that
// writes without pause does. Short messages, so the flood fits the queue on any kernel's default
// socket limits.
constexpr size_t FLOOD_MESSAGES = 512;

const std::vector<std::string>& FloodMessages() {
    static const std::vector<std::string> messages = [] {
        std::vector<std::string> flood(FLOOD_MESSAGES);
        for (size_t i = 0; i < FLOOD_MESSAGES; ++i) {
            flood[i] = "echo flood-" + std::to_string(1000 + i);
        }
        return flood;
    }();
    return messages;
}

// Each iteration queues one flood and runs frames until all of it is issued; its time is the
// longest of those frames, what the server's tick has to absorb.
void FloodModule(benchmark::State& state) {
    RelayFixture relay;
    if (!relay.Start(state, true)) {
        return;
    }
    int64_t nFrames = 0;
    for (auto _ : state) {
        if (!SendBenchMessages(relay.Client(), FloodMessages(), 0, FLOOD_MESSAGES)) {
            state.SkipWithError("the client could not queue a whole flood");
            break;
        }
        const uint64_t nTarget = g_nIssued + FLOOD_MESSAGES;
        std::chrono::steady_clock::duration longest{};
        for (int nFrame = 0; g_nIssued < nTarget && nFrame < MAX_FRAMES_PER_BATCH; ++nFrame) {
            const auto start = std::chrono::steady_clock::now();
            relay.Frame();
            const auto end = std::chrono::steady_clock::now();
            longest = std::max(longest, end - start);
            ++nFrames;
        }
        state.SetIterationTime(Seconds(longest));
        if (g_nIssued != nTarget) {
            state.SkipWithError("the module did not issue exactly the flood");
            break;
        }
    }
    state.counters["frames_per_flood"] =
        benchmark::Counter(static_cast<double>(nFrames), benchmark::Counter::kAvgIterations);
}

// The same flood received by a bare loop in one go: what a relay that drains everything in one
// frame would at least spend there.
void FloodBareReceive(benchmark::State& state) {
    BareReceiveBatches(state, FloodMessages(), FLOOD_MESSAGES);
}

// --- Load ---

// Live blocks and bytes of the host allocator, followed through its observer.
struct HeapWatch {
    std::map<void*, uint32_t> m_BlockSizes;
    int64_t m_nBytes = 0;

    static void Observe(const Tier0AllocatorCall& call, void* pContext) {
        auto* pWatch = static_cast<HeapWatch*>(pContext);
        const bool bResizes =
            call.m_nPosition == TIER0_REALLOCATE_TAGGED || call.m_nPosition == TIER0_REALLOCATE;
        const bool bAllocates =
            call.m_nPosition == TIER0_ALLOCATE_TAGGED || call.m_nPosition == TIER0_ALLOCATE;
        if ((bResizes && call.m_pResult != nullptr) || call.m_nPosition == TIER0_RELEASE) {
            pWatch->Forget(call.m_pBlock);
        }
        if ((bAllocates || bResizes) && call.m_pResult != nullptr) {
            pWatch->m_BlockSizes[call.m_pResult] = call.m_nSize;
            pWatch->m_nBytes += call.m_nSize;
        }
    }

    void Forget(void* pBlock) {
        auto found = m_BlockSizes.find(pBlock);
        if (found != m_BlockSizes.end()) {
            m_nBytes -= found->second;
            m_BlockSizes.erase(found);
        }
    }
};

// True when no mapping of the module is left in the process.
bool ModuleUnmapped() {
    void* hStillThere = dlopen(TAVREL_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (hStillThere != nullptr) {
        dlclose(hStillThere);
        return false;
    }
    return true;
}

// The first load of a freshly mapped module: its math start-up runs, once per mapping, so
// every iteration maps the module anew (untimed) and times LoadPlugin alone.
void LoadFirst(benchmark::State& state) {
    int32_t nLiveBlocks = 0;
    int64_t nLiveBytes = 0;
    for (auto _ : state) {
        HeapWatch watch;
        const int32_t nLiveBefore = Tier0_GetLiveBlockCount();
        Tier0_SetAllocatorObserver(&HeapWatch::Observe, &watch);
        ModuleImage image;
        if (!image.Map(state)) {
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        const bool bLoaded = image.LoadPlugin(state);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(end - start));
        nLiveBlocks = Tier0_GetLiveBlockCount() - nLiveBefore;
        nLiveBytes = watch.m_nBytes;
        Tier0_SetAllocatorObserver(nullptr, nullptr);
        if (!bLoaded) {
            break;
        }
        image.Unmap();
        if (!ModuleUnmapped()) {
            state.SkipWithError("the module stayed mapped after unloading: its start-up would "
                                "not run again");
            break;
        }
    }
    Tier0_SetAllocatorObserver(nullptr, nullptr);
    state.counters["heap_blocks_after_load"] = nLiveBlocks;
    state.counters["heap_bytes_after_load"] = static_cast<double>(nLiveBytes);
}

// A later load of the same mapping: the math start-up has run and returns at once.
void LoadAgain(benchmark::State& state) {
    ModuleImage image;
    if (!image.Map(state) || !image.LoadPlugin(state)) {
        return;
    }
    image.UnloadPlugin();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool bLoaded = image.LoadPlugin(state);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(end - start));
        if (!bLoaded) {
            break;
        }
        image.UnloadPlugin();
    }
}

} // namespace

BENCHMARK_CAPTURE(IdleFrameModule, NoClient, false)->Name("IdleFrame_NoClient/Module");
BENCHMARK(IdleFrameBareAccept)->Name("IdleFrame_NoClient/BareAccept");
BENCHMARK(IdleFrameBarePoll)->Name("IdleFrame_NoClient/BarePoll");
BENCHMARK_CAPTURE(IdleFrameModule, SilentClient, true)->Name("IdleFrame_SilentClient/Module");
BENCHMARK(IdleFrameBareReceive)->Name("IdleFrame_SilentClient/BareReceive");

BENCHMARK(DrainModule)->Name("Drain/Module")->Arg(1)->Arg(16)->Arg(128)->UseManualTime();
BENCHMARK(DrainBareReceive)->Name("Drain/BareReceive")->Arg(1)->Arg(16)->Arg(128)->UseManualTime();
BENCHMARK(DrainBareReceiveAndScan)
    ->Name("Drain/BareReceiveAndScan")
    ->Arg(1)
    ->Arg(16)
    ->Arg(128)
    ->UseManualTime();

BENCHMARK(FloodModule)->Name("Flood/Module")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(FloodBareReceive)
    ->Name("Flood/BareReceive")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(LoadFirst)->Name("Load/FirstLoad")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadAgain)
    ->Name("Load/MathAlreadyStarted")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
