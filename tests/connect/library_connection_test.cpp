// The library connection: which factory is asked for which name, and what connect and
// disconnect leave behind.
#include "connect/library_connection.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Two factories whose served names each test chooses; every request is logged.
struct FakeFactory {
    std::set<std::string> served;
    std::vector<std::string> asked;
    char object = 0; // its address is what the factory serves

    void* Serve(const char* pszName, int* pnStatus) {
        asked.emplace_back(pszName);
        bool bServed = served.count(pszName) != 0;
        if (pnStatus != nullptr) {
            *pnStatus = bServed ? INTERFACE_STATUS_OK : INTERFACE_STATUS_FAILED;
        }
        return bServed ? &object : nullptr;
    }
};

FakeFactory g_First;
FakeFactory g_Second;

void* FirstFactory(const char* pszName, int* pnStatus) {
    return g_First.Serve(pszName, pnStatus);
}
void* SecondFactory(const char* pszName, int* pnStatus) {
    return g_Second.Serve(pszName, pnStatus);
}

const InterfaceFactory g_BothFactories[] = {FirstFactory, SecondFactory};

const char* const g_EngineSystemNames[] = {
    "VFileSystem017",
    "VMaterialSystem079",
    "InputSystemVersion001",
    "NetworkSystemVersion001",
    "MaterialSystemHardwareConfig012",
    "DebugTextureInfo001",
    "VBAllocTracker001",
    "COLORCORRECTION_VERSION_1",
    "VP4001",
    "VMDLLIB001",
    "QueuedLoaderVersion001",
};

void* const* const g_EngineSystemPointers[] = {
    &g_pFileSystem,
    &g_pMaterialSystem,
    &g_pInputSystem,
    &g_pNetworkSystem,
    &g_pMaterialSystemHardwareConfig,
    &g_pDebugTextureInfo,
    &g_pVertexBufferAllocTracker,
    &g_pColorCorrectionSystem,
    &g_pRevisionControl,
    &g_pModelLibrary,
    &g_pQueuedLoader,
};

class LibraryConnectionTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() {
        DisconnectConsoleServices();
        DisconnectEngineSystems();
        g_First = FakeFactory{};
        g_Second = FakeFactory{};
    }
};

TEST_F(LibraryConnectionTest, FirstFactoryServingANameWinsAndIsNotAskedAgain) {
    g_First.served = {"VProcessUtils001"};
    g_Second.served = {"VEngineCvar004", "VProcessUtils001"};

    ConnectConsoleServices(g_BothFactories, 2);

    EXPECT_EQ(g_First.asked, (std::vector<std::string>{"VEngineCvar004", "VProcessUtils001"}));
    EXPECT_EQ(g_Second.asked, (std::vector<std::string>{"VEngineCvar004"}));
    EXPECT_EQ(static_cast<void*>(g_pCVar), &g_Second.object);
    EXPECT_EQ(cvar, g_pCVar);
    EXPECT_EQ(g_pProcessUtilities, &g_First.object);
    EXPECT_TRUE(g_bConsoleServicesConnected);
}

TEST_F(LibraryConnectionTest, SecondConnectWhileConnectedAsksNoFactory) {
    g_First.served = {"VEngineCvar004"};
    ConnectConsoleServices(g_BothFactories, 1);
    g_First.asked.clear();

    ConnectConsoleServices(g_BothFactories, 2);

    EXPECT_TRUE(g_First.asked.empty());
    EXPECT_TRUE(g_Second.asked.empty());
}

TEST_F(LibraryConnectionTest, ConnectWithNoFactoriesMarksConnectedUntilDisconnect) {
    g_First.served = {"VEngineCvar004", "VProcessUtils001"};

    ConnectConsoleServices(g_BothFactories, 0);
    EXPECT_TRUE(g_bConsoleServicesConnected);
    ConnectConsoleServices(g_BothFactories, 1);
    EXPECT_TRUE(g_First.asked.empty());
    EXPECT_EQ(g_pCVar, nullptr);

    DisconnectConsoleServices();
    ConnectConsoleServices(g_BothFactories, 1);
    EXPECT_EQ(static_cast<void*>(g_pCVar), &g_First.object);
}

TEST_F(LibraryConnectionTest, DisconnectClearsBothExportsAndTheFlag) {
    g_First.served = {"VEngineCvar004", "VProcessUtils001"};
    ConnectConsoleServices(g_BothFactories, 1);

    DisconnectConsoleServices();

    EXPECT_EQ(cvar, nullptr);
    EXPECT_EQ(g_pCVar, nullptr);
    EXPECT_EQ(g_pProcessUtilities, nullptr);
    EXPECT_FALSE(g_bConsoleServicesConnected);
}

TEST_F(LibraryConnectionTest, DisconnectWhenNeverConnectedChangesNothing) {
    // Pointers set by someone else survive a disconnect that has nothing to undo.
    auto* pService = reinterpret_cast<ConsoleVariableService*>(&g_First.object);
    g_pCVar = pService;
    cvar = pService;

    DisconnectConsoleServices();

    EXPECT_EQ(g_pCVar, pService);
    EXPECT_EQ(cvar, pService);
    g_pCVar = nullptr;
    cvar = nullptr;
}

TEST_F(LibraryConnectionTest, EngineSystemsAskedInOrderAndOnlyWhileMissing) {
    g_First.served = {"VFileSystem017", "VP4001"};
    g_Second.served = {g_EngineSystemNames, g_EngineSystemNames + 11};

    ConnectEngineSystems(g_BothFactories, 2);

    EXPECT_EQ(g_First.asked,
              std::vector<std::string>(g_EngineSystemNames, g_EngineSystemNames + 11));
    std::vector<std::string> expectedSecond;
    for (const char* pszName : g_EngineSystemNames) {
        if (g_First.served.count(pszName) == 0) {
            expectedSecond.emplace_back(pszName);
        }
    }
    EXPECT_EQ(g_Second.asked, expectedSecond);
    for (size_t i = 0; i < 11; ++i) {
        void* pExpected =
            g_First.served.count(g_EngineSystemNames[i]) ? &g_First.object : &g_Second.object;
        EXPECT_EQ(*g_EngineSystemPointers[i], pExpected) << g_EngineSystemNames[i];
    }
}

TEST_F(LibraryConnectionTest, ReconnectAfterDisconnectAsksForAllElevenAgain) {
    g_First.served = {g_EngineSystemNames, g_EngineSystemNames + 11};
    ConnectEngineSystems(g_BothFactories, 1);
    DisconnectEngineSystems();
    for (void* const* ppSystem : g_EngineSystemPointers) {
        EXPECT_EQ(*ppSystem, nullptr);
    }
    g_First.asked.clear();

    ConnectEngineSystems(g_BothFactories, 1);

    EXPECT_EQ(g_First.asked.size(), 11u);
}

} // namespace
