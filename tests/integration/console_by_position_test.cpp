// The built module's console variables as a server reaches them: registered with the stand-in
// host's console-variable service at load, then every operation of their tables called by raw
// position, their fields read at their offsets, and their texts given back at unmap, in reverse
// of their construction.
#include "tests/integration/loaded_module.h"
#include "tier0/tier0_control.h"
#include "tools/host/console_by_position.h"
#include "tools/host/plugin_by_position.h"
#include "tools/host/stand_in_console_service.h"
#include "tools/host/stand_in_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint32_t NUMERIC_ONLY = 0x1000;

struct Change {
    void* m_pVariable;
    std::string m_PreviousText;
    float m_flPreviousValue;
    std::string m_NewText;
};

std::vector<Change> g_Changes;

void RecordChange(void* pVariable, const char* pszPreviousText, float flPreviousValue, void*) {
    g_Changes.push_back(
        {pVariable, pszPreviousText, flPreviousValue, ConsoleObjectByPosition(pVariable).Text()});
}

std::vector<void*> g_Released;

void RecordRelease(const Tier0AllocatorCall& call, void*) {
    if (call.m_nPosition == TIER0_RELEASE) {
        g_Released.push_back(call.m_pBlock);
    }
}

class LoadedConsole : public testing::Test {
protected:
    void SetUp() override {
        g_Changes.clear();
        g_Released.clear();
        ResetStandInConsoleService();
        SetConsoleChangeListener(&RecordChange, nullptr);
        std::string error;
        ASSERT_TRUE(m_Module.Open(&error)) << error;
        m_Plugin = PluginByPosition(m_Module.Plugin());
        ASSERT_TRUE(m_Plugin.LoadPlugin(&StandInEngineFactory, &StandInGameServerFactory))
            << "is another process holding the pipe's name?";
        m_bPluginLoaded = true;
        ASSERT_EQ(RegisteredConsoleObjects().size(), 2u);
        m_pEmpty = RegisteredConsoleObjects()[0];
        m_pVersion = RegisteredConsoleObjects()[1];
    }

    void TearDown() override {
        Unload();
        UnloadModule();
        SetConsoleChangeListener(nullptr, nullptr);
        ResetStandInConsoleService();
    }

    void Unload() {
        if (m_bPluginLoaded) {
            m_Plugin.UnloadPlugin();
            m_bPluginLoaded = false;
        }
    }

    void UnloadModule() { m_Module.Close(); }

    CLoadedModule m_Module;
    PluginByPosition m_Plugin{nullptr};
    bool m_bPluginLoaded = false;
    void* m_pEmpty = nullptr;
    void* m_pVersion = nullptr;
};

TEST_F(LoadedConsole, LoadRegistersTheEmptyVariableThenTheVersionVariableUnderOneIdentifier) {
    const ConsoleServiceCalls& calls = ConsoleServiceCallsSoFar();
    ASSERT_EQ(calls.m_IssuedIdentifiers.size(), 1u);
    const int32_t nIdentifier = calls.m_IssuedIdentifiers[0];
    EXPECT_EQ(calls.m_Registrations, (std::vector<void*>{m_pEmpty, m_pVersion}));
    for (void* pObject : {m_pEmpty, m_pVersion}) {
        ConsoleObjectByPosition object(pObject);
        EXPECT_FALSE(object.ActsAsCommand());
        EXPECT_TRUE(object.WasAcceptedByService()) << "the mark the service wrote at its offset";
        EXPECT_EQ(object.OwningModuleIdentifier(), nIdentifier);
    }
    EXPECT_STREQ(ConsoleObjectByPosition(m_pEmpty).ObjectName(), "");
    EXPECT_STREQ(ConsoleObjectByPosition(m_pVersion).ObjectName(), "tavrel_version");

    Unload();

    EXPECT_EQ(calls.m_Unregistrations, std::vector<int32_t>{nIdentifier});
    EXPECT_TRUE(RegisteredConsoleObjects().empty());
    EXPECT_EQ(ConsoleObjectByPosition(m_pVersion).OwningModuleIdentifier(), -1);
}

TEST_F(LoadedConsole, EveryPrimaryOperationAtItsPosition) {
    ConsoleObjectByPosition version(m_pVersion);

    version.AssignFromText("2.5");
    EXPECT_STREQ(version.Text(), "2.5");
    EXPECT_EQ(version.Number(), 2.5f);
    EXPECT_EQ(version.Integer(), 2);
    ASSERT_EQ(g_Changes.size(), 1u);
    EXPECT_EQ(g_Changes[0].m_pVariable, m_pVersion);
    EXPECT_EQ(g_Changes[0].m_PreviousText, "0.1");
    EXPECT_EQ(g_Changes[0].m_flPreviousValue, 0.1f);
    EXPECT_EQ(g_Changes[0].m_NewText, "2.5");

    version.AssignFromFloat(3.5f);
    EXPECT_STREQ(version.Text(), "3.500000");
    version.AssignFromInteger(7);
    EXPECT_STREQ(version.Text(), "7");
    EXPECT_EQ(version.Number(), 7.0f);

    float flValue = 20.0f;
    EXPECT_FALSE(version.LimitToRange(&flValue));
    EXPECT_EQ(flValue, 20.0f);

    version.ReplaceText("abc", 1.25f);
    EXPECT_STREQ(version.Text(), "abc");
    ASSERT_EQ(g_Changes.size(), 4u);
    EXPECT_EQ(g_Changes[3].m_PreviousText, "7");
    EXPECT_EQ(g_Changes[3].m_flPreviousValue, 1.25f);

    // Set up again with bounds: submitted at once, since the accessor is in force.
    version.SetUpVariable("tavrel_version", "5", 0, "Tavrel Plugin Version", true, 0.0f, true,
                          10.0f, nullptr);
    EXPECT_STREQ(version.Text(), "5");
    EXPECT_EQ(version.Number(), 5.0f);
    EXPECT_EQ(ConsoleServiceCallsSoFar().m_Registrations.size(), 3u);
    flValue = 20.0f;
    EXPECT_TRUE(version.LimitToRange(&flValue));
    EXPECT_EQ(flValue, 10.0f);
    flValue = -1.0f;
    EXPECT_TRUE(version.LimitToRange(&flValue));
    EXPECT_EQ(flValue, 0.0f);
    version.AssignFromText("15");
    EXPECT_STREQ(version.Text(), "10.000000");

    version.MergeFlags(NUMERIC_ONLY);
    EXPECT_TRUE(version.HasAnyFlag(NUMERIC_ONLY));
    const size_t nChanges = g_Changes.size();
    version.AssignFromText("3");
    EXPECT_EQ(version.Number(), 3.0f);
    EXPECT_STREQ(version.Text(), "10.000000");
    EXPECT_EQ(g_Changes.size(), nChanges);

    version.SetUpObject("tavrel_renamed", nullptr, 0);
    EXPECT_STREQ(version.ObjectName(), "tavrel_renamed");
    EXPECT_STREQ(version.ObjectHelp(), "");
    EXPECT_EQ(ConsoleServiceCallsSoFar().m_Registrations.size(), 4u);
    version.SubmitToAccessor();
    EXPECT_EQ(ConsoleServiceCallsSoFar().m_Registrations.size(), 5u);
    EXPECT_EQ(ConsoleServiceCallsSoFar().m_Registrations.back(), m_pVersion);
}

TEST_F(LoadedConsole, FacetOfEachVariableAtItsPositions) {
    ConVarFacetByPosition version(ConsoleObjectByPosition(m_pVersion).Facet());
    EXPECT_STREQ(version.ObjectName(), "tavrel_version");
    EXPECT_FALSE(version.HasAnyFlag(NUMERIC_ONLY));
    version.SetFromInteger(4);
    EXPECT_STREQ(ConsoleObjectByPosition(m_pVersion).Text(), "4");
    version.SetFromFloat(0.5f);
    EXPECT_STREQ(ConsoleObjectByPosition(m_pVersion).Text(), "0.500000");
    version.SetFromText("x");
    EXPECT_STREQ(ConsoleObjectByPosition(m_pVersion).Text(), "x");
    EXPECT_EQ(g_Changes.size(), 3u);

    ConsoleObjectByPosition emptyObject(m_pEmpty);
    ConVarFacetByPosition empty(emptyObject.Facet());
    EXPECT_STREQ(empty.ObjectName(), "");
    EXPECT_FALSE(empty.HasAnyFlag(0xFFFFFFFFu));
    empty.SetFromInteger(5);
    empty.SetFromFloat(5.0f);
    empty.SetFromText("5");
    EXPECT_STREQ(emptyObject.Text(), "0");
    EXPECT_EQ(g_Changes.size(), 3u);
    // The primary table still assigns it.
    emptyObject.AssignFromText("5");
    EXPECT_STREQ(emptyObject.Text(), "5");
    ASSERT_EQ(g_Changes.size(), 4u);
    EXPECT_EQ(g_Changes[3].m_pVariable, m_pEmpty);
}

TEST_F(LoadedConsole, UnmappingGivesTheEmptyTextBackBeforeTheVersionText) {
    const void* pEmptyText = ConsoleObjectByPosition(m_pEmpty).Text();
    const void* pVersionText = ConsoleObjectByPosition(m_pVersion).Text();
    Unload();

    Tier0_SetAllocatorObserver(&RecordRelease, nullptr);
    UnloadModule();
    Tier0_SetAllocatorObserver(nullptr, nullptr);

    auto emptyAt = std::find(g_Released.begin(), g_Released.end(), pEmptyText);
    auto versionAt = std::find(g_Released.begin(), g_Released.end(), pVersionText);
    ASSERT_NE(emptyAt, g_Released.end());
    ASSERT_NE(versionAt, g_Released.end());
    EXPECT_LT(emptyAt, versionAt);
    EXPECT_EQ(std::count(g_Released.begin(), g_Released.end(), pEmptyText), 1);
}

// A server that destroys a variable in place before the module goes: its text is given back then,
// and the module's own destruction at unmap finds nothing left to give back.
TEST_F(LoadedConsole, InPlaceDestructorEntryReleasesTheTextOnce) {
    ConsoleObjectByPosition empty(m_pEmpty);
    const void* pEmptyText = empty.Text();
    Unload();
    const int32_t nLiveBlocks = Tier0_GetLiveBlockCount();

    Tier0_SetAllocatorObserver(&RecordRelease, nullptr);
    empty.Destroy(false);
    EXPECT_EQ(g_Released, std::vector<void*>{const_cast<void*>(pEmptyText)});
    EXPECT_EQ(Tier0_GetLiveBlockCount(), nLiveBlocks - 1);
    EXPECT_EQ(empty.Text(), nullptr);
    UnloadModule();
    Tier0_SetAllocatorObserver(nullptr, nullptr);

    EXPECT_EQ(std::count(g_Released.begin(), g_Released.end(), pEmptyText), 1);
}

// Last, after the cases that change the variables: each case loads the module afresh.
TEST_F(LoadedConsole, VersionVariableReadsAsAServerReadsIt) {
    ConsoleObjectByPosition version(m_pVersion);
    EXPECT_STREQ(version.ObjectName(), "tavrel_version");
    EXPECT_STREQ(version.ObjectHelp(), "Tavrel Plugin Version");
    EXPECT_EQ(version.Identity(), m_pVersion);
    EXPECT_STREQ(version.DefaultText(), "0.1");
    EXPECT_STREQ(version.Text(), "0.1");
    EXPECT_EQ(version.TextCapacity(), 4);
    EXPECT_EQ(version.Number(), 0.1f);
    EXPECT_EQ(version.Integer(), 0);
    EXPECT_EQ(version.FlagBits(), 0u);
    EXPECT_FALSE(version.HasAnyFlag(0xFFFFFFFFu));

    ConsoleObjectByPosition empty(m_pEmpty);
    EXPECT_STREQ(empty.Text(), "0");
    EXPECT_EQ(empty.Number(), 0.0f);
    EXPECT_EQ(empty.Integer(), 0);
    EXPECT_STREQ(empty.ObjectHelp(), "");
}

} // namespace
