// Lookups through CreateInterface, with the plug-in's own entry and with entries of the test's.
#include "plugin/interface_registry.h"

#include "host/interface_factory.h"
#include "plugin/module_objects.h"
#include "plugin/tavrel_server_plugin.h"

#include <gtest/gtest.h>

namespace {

int g_FirstObject;
int g_SecondObject;

void* CreateFirst() {
    return &g_FirstObject;
}
void* CreateSecond() {
    return &g_SecondObject;
}
void* CreateNothing() {
    return nullptr;
}

// Registered once for the whole test binary, as the module registers during start-up.
InterfaceRegistration g_ShadowedEntry(CreateFirst, "RegistryTestShadowed001");
InterfaceRegistration g_ShadowingEntry(CreateSecond, "RegistryTestShadowed001");
InterfaceRegistration g_NullEntry(CreateNothing, "RegistryTestNull001");

class InterfaceRegistryTest : public testing::Test {
protected:
    void SetUp() override { StartModuleObjects(); }
};

TEST_F(InterfaceRegistryTest, PluginNameServesTheOnePluginObjectWithStatusOk) {
    int nStatus = -7;
    void* pFirst = CreateInterface("ISERVERPLUGINCALLBACKS002", &nStatus);
    EXPECT_EQ(nStatus, INTERFACE_STATUS_OK);
    EXPECT_EQ(pFirst, static_cast<void*>(&g_TavrelServerPlugin));

    nStatus = -7;
    EXPECT_EQ(CreateInterface("ISERVERPLUGINCALLBACKS002", &nStatus), pFirst);
    EXPECT_EQ(nStatus, INTERFACE_STATUS_OK);
}

class UnservedNameTest : public InterfaceRegistryTest,
                         public testing::WithParamInterface<const char*> {};

TEST_P(UnservedNameTest, YieldsNullAndStatusFailed) {
    int nStatus = -7;
    EXPECT_EQ(CreateInterface(GetParam(), &nStatus), nullptr);
    EXPECT_EQ(nStatus, INTERFACE_STATUS_FAILED);
}

INSTANTIATE_TEST_SUITE_P(NearMisses, UnservedNameTest,
                         testing::Values("iserverplugincallbacks002", "ISERVERPLUGINCALLBACKS001",
                                         "ISERVERPLUGINCALLBACKS0021", "ISERVERPLUGINCALLBACKS00",
                                         "ISERVERPLUGINCALLBACKS002 ", ""));

TEST_F(InterfaceRegistryTest, NullStatusPointerGivesTheSameResults) {
    EXPECT_EQ(CreateInterface("ISERVERPLUGINCALLBACKS002", nullptr),
              static_cast<void*>(&g_TavrelServerPlugin));
    EXPECT_EQ(CreateInterface("ISERVERPLUGINCALLBACKS003", nullptr), nullptr);
}

TEST_F(InterfaceRegistryTest, LaterRegistrationShadowsEarlierOfTheSameName) {
    EXPECT_EQ(CreateInterface("RegistryTestShadowed001", nullptr), &g_SecondObject);
}

TEST_F(InterfaceRegistryTest, StatusIsOkEvenWhenTheCreateFunctionYieldsNull) {
    int nStatus = -7;
    EXPECT_EQ(CreateInterface("RegistryTestNull001", &nStatus), nullptr);
    EXPECT_EQ(nStatus, INTERFACE_STATUS_OK);
}

TEST_F(InterfaceRegistryTest, StartingTwiceRegistersThePluginOnce) {
    StartModuleObjects();
    int nPluginEntries = 0;
    for (InterfaceRegistration* pEntry = g_pInterfaceRegistrations; pEntry != nullptr;
         pEntry = pEntry->m_pNext) {
        nPluginEntries += pEntry->m_pfnCreate() == &g_TavrelServerPlugin;
        ASSERT_LT(nPluginEntries, 2) << "the registry holds a cycle or a duplicate";
    }
    EXPECT_EQ(nPluginEntries, 1);
}

} // namespace
