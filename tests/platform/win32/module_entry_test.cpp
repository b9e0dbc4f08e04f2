// The DLL's entry point as the host's loader meets it: with no allocator in the runtime library
// the load is refused before anything in the module runs; with one, the module starts and serves.
#include "host/interface_factory.h"
#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// Found beside this program, as a server finds its plug-ins.
constexpr char MODULE_FILE[] = "tavrel.dll";

InterfaceFactory FindCreateInterface(HMODULE hModule) {
    // Through a plain function pointer: the exported address is the function's, whatever its type.
    return reinterpret_cast<InterfaceFactory>(
        reinterpret_cast<void (*)()>(GetProcAddress(hModule, "CreateInterface")));
}

// Everything the module could have asked of the runtime library.
uint32_t RuntimeLibraryTraffic() {
    uint32_t nCalls =
        Tier0_GetFeatureQueryCount() + Tier0_GetWriteCheckCount() + Tier0_GetStringCheckCount();
    for (int nPosition = 0; nPosition < TIER0_ALLOCATOR_POSITIONS; ++nPosition) {
        nCalls += Tier0_GetCallCount(nPosition);
    }
    return nCalls;
}

class ModuleEntryTest : public testing::Test {
protected:
    void TearDown() override { Tier0_SetAllocatorPresent(true); }
};

TEST_F(ModuleEntryTest, LoadIsRefusedWhileTheAllocatorIsAbsentAndTouchesNothing) {
    Tier0_SetAllocatorPresent(false);
    Tier0_ResetCounts();
    const int32_t nLiveBlocks = Tier0_GetLiveBlockCount();

    HMODULE hModule = LoadLibraryA(MODULE_FILE);
    const DWORD nError = GetLastError();

    EXPECT_EQ(hModule, nullptr);
    // Not a missing file or import: the module was found and its entry point said no.
    EXPECT_EQ(nError, static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    EXPECT_EQ(GetModuleHandleA(MODULE_FILE), nullptr) << "a refused module must not stay mapped";
    EXPECT_EQ(RuntimeLibraryTraffic(), 0u);
    EXPECT_EQ(Tier0_GetLiveBlockCount(), nLiveBlocks);
    if (hModule != nullptr) {
        FreeLibrary(hModule);
    }
}

TEST_F(ModuleEntryTest, RefusedLoadLeavesNothingInTheWayOfTheNext) {
    Tier0_SetAllocatorPresent(false);
    ASSERT_EQ(LoadLibraryA(MODULE_FILE), nullptr);
    Tier0_SetAllocatorPresent(true);

    HMODULE hModule = LoadLibraryA(MODULE_FILE);
    ASSERT_NE(hModule, nullptr) << "error " << GetLastError();
    InterfaceFactory pfnCreateInterface = FindCreateInterface(hModule);
    ASSERT_NE(pfnCreateInterface, nullptr);
    int nStatus = -1;
    // Served only if the start-up routine ran behind the run time's own start.
    EXPECT_NE(pfnCreateInterface("ISERVERPLUGINCALLBACKS002", &nStatus), nullptr);
    EXPECT_EQ(nStatus, INTERFACE_STATUS_OK);

    EXPECT_TRUE(FreeLibrary(hModule));
    EXPECT_EQ(GetModuleHandleA(MODULE_FILE), nullptr);
}

} // namespace
