// The console-object base and registration: the pending list, the registration walk, the module
// identifier, the accessors, and the base operations as the host calls them by position.
#include "tests/console/console_test.h"

#include "console/console_object.h"
#include "platform/module/linkage.h"
#include "tools/host/console_by_position.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Objects = std::vector<void*>;

// An accessor the host provides, built from positions alone: it records each object with the
// flags it carried on arrival, and refuses it, which must change nothing.
struct AcceptedObject {
    void* m_pObject;
    uint32_t m_nFlagBitsOnArrival;
};

std::vector<AcceptedObject> g_Accepted;

struct RawAccessor {
    void** m_pTable;
};

RawAccessor g_RawAccessor{nullptr};

bool TAVREL_THISCALL RefuseAndRecord(void* pThis, void* pObject) {
    EXPECT_EQ(pThis, &g_RawAccessor) << "the accessor was not called as a member";
    g_Accepted.push_back({pObject, ConsoleObjectByPosition(pObject).FlagBits()});
    return false;
}

void* g_RawAccessorTable[] = {reinterpret_cast<void*>(&RefuseAndRecord)};

IConCommandBaseAccessor* HostAccessor() {
    g_RawAccessor.m_pTable = g_RawAccessorTable;
    return reinterpret_cast<IConCommandBaseAccessor*>(&g_RawAccessor);
}

Objects AcceptedObjects() {
    Objects objects;
    for (const AcceptedObject& accepted : g_Accepted) {
        objects.push_back(accepted.m_pObject);
    }
    return objects;
}

class Registration : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        g_Accepted.clear();
    }

    ConCommandBase m_A;
    ConCommandBase m_B;
};

TEST_F(Registration, ConstructionClearsTheObjectAndListsNothing) {
    EXPECT_EQ(m_A.m_pNextPending, nullptr);
    EXPECT_FALSE(m_A.m_bAcceptedByService);
    EXPECT_EQ(m_A.m_pszObjectName, nullptr);
    EXPECT_EQ(m_A.m_pszHelpText, nullptr);
    EXPECT_EQ(m_A.m_nFlagBits, 0u);
    EXPECT_EQ(g_pPendingObjects, nullptr);
}

TEST_F(Registration, ServiceReceivesObjectsInReverseOfSetUpThroughTheDefaultAccessor) {
    m_A.SetUpObject("a", "help a", 0);
    m_B.SetUpObject("b", "help b", 0);
    EXPECT_EQ(g_pPendingObjects, &m_B);
    EXPECT_EQ(m_B.m_pNextPending, &m_A);
    EXPECT_TRUE(ServiceCalls().m_Registrations.empty()) << "nothing is submitted while collecting";

    RegisterConsoleObjects(0, nullptr);

    EXPECT_EQ(ServiceCalls().m_Registrations, (Objects{&m_B, &m_A}));
    EXPECT_EQ(g_pRegistrationAccessor, &g_DefaultRegistrationAccessor);
    EXPECT_TRUE(g_bConsoleObjectsRegistered);
    EXPECT_EQ(g_pPendingObjects, nullptr);
    EXPECT_EQ(m_B.m_pNextPending, &m_A) << "links inside the objects stay as they were";
}

TEST_F(Registration, FlagsAreMergedBeforeTheAccessorSeesEachObjectAndARefusalChangesNothing) {
    m_A.SetUpObject("a", "", 0x4);
    m_B.SetUpObject("b", "", 0);

    RegisterConsoleObjects(0x20, HostAccessor());

    ASSERT_EQ(AcceptedObjects(), (Objects{&m_B, &m_A}));
    EXPECT_EQ(g_Accepted[0].m_nFlagBitsOnArrival, 0x20u);
    EXPECT_EQ(g_Accepted[1].m_nFlagBitsOnArrival, 0x24u);
    EXPECT_TRUE(ConsoleObjectByPosition(&m_A).HasAnyFlag(0x20));
    EXPECT_TRUE(ConsoleObjectByPosition(&m_B).HasAnyFlag(0x20));
    EXPECT_TRUE(ServiceCalls().m_Registrations.empty()) << "the host's accessor took the place";
    EXPECT_EQ(g_pRegistrationAccessor, HostAccessor());
    EXPECT_EQ(g_nRegistrationFlags, 0x20u);
    EXPECT_TRUE(g_bConsoleObjectsRegistered);
}

TEST_F(Registration, UnlistedObjectIsNeverSubmitted) {
    m_A.SetUpObject("a", "", 0);
    m_B.m_pNextPending = &m_A; // whatever it held before, set-up clears it
    m_B.SetUpObject("hidden", "", CONSOLE_FLAG_UNLISTED);
    EXPECT_EQ(m_B.m_pNextPending, nullptr);
    EXPECT_EQ(g_pPendingObjects, &m_A);

    RegisterConsoleObjects(0, nullptr);

    EXPECT_EQ(ServiceCalls().m_Registrations, Objects{&m_A});
}

TEST_F(Registration, ObjectSetUpAgainIsListedOnceAtTheHeadAndSubmittedOnce) {
    m_A.SetUpObject("a", "", 0);
    m_B.SetUpObject("b", "", 0);
    m_A.SetUpObject("a again", "", 0);
    EXPECT_EQ(g_pPendingObjects, &m_A);
    EXPECT_EQ(m_A.m_pNextPending, &m_B);
    EXPECT_EQ(m_B.m_pNextPending, nullptr);

    RegisterConsoleObjects(0, nullptr);

    EXPECT_EQ(ServiceCalls().m_Registrations, (Objects{&m_A, &m_B}));
}

TEST_F(Registration, ListedObjectSetUpAgainAsUnlistedLeavesTheListWhole) {
    m_A.SetUpObject("a", "", 0);
    m_B.SetUpObject("b", "", 0);
    m_B.SetUpObject("b hidden", "", CONSOLE_FLAG_UNLISTED);
    EXPECT_EQ(g_pPendingObjects, &m_A);

    RegisterConsoleObjects(0, nullptr);

    EXPECT_EQ(ServiceCalls().m_Registrations, Objects{&m_A});
}

TEST_F(Registration, UnlistedObjectSetUpWhileAnAccessorIsInForceIsSubmittedAtOnce) {
    RegisterConsoleObjects(0, nullptr);
    m_A.SetUpObject("hidden", "", CONSOLE_FLAG_UNLISTED);
    EXPECT_EQ(ServiceCalls().m_Registrations, Objects{&m_A});
    EXPECT_EQ(g_pPendingObjects, nullptr);
}

TEST_F(Registration, WithoutAServiceNothingIsStoredAndTheObjectsWait) {
    ConnectService(false);
    m_A.SetUpObject("a", "", 0);

    RegisterConsoleObjects(0x20, HostAccessor());

    EXPECT_FALSE(g_bConsoleObjectsRegistered);
    EXPECT_EQ(g_nModuleIdentifier, -1);
    EXPECT_EQ(g_pRegistrationAccessor, nullptr);
    EXPECT_EQ(g_nRegistrationFlags, 0u);
    EXPECT_EQ(g_pPendingObjects, &m_A);
    EXPECT_TRUE(g_Accepted.empty());
    EXPECT_FALSE(m_A.HasAnyFlag(0x20));

    ConnectService(true);
    RegisterConsoleObjects(0, nullptr);
    EXPECT_EQ(ServiceCalls().m_IssuedIdentifiers.size(), 1u);
    EXPECT_EQ(ServiceCalls().m_Registrations, Objects{&m_A});
}

TEST_F(Registration, SecondRegistrationWhileRegisteredIsIgnored) {
    m_A.SetUpObject("a", "", 0);
    RegisterConsoleObjects(0, nullptr);
    m_B.SetUpObject("b", "", 0); // submitted at once, and pending again

    RegisterConsoleObjects(0x20, HostAccessor());

    EXPECT_EQ(ServiceCalls().m_IssuedIdentifiers.size(), 1u);
    EXPECT_EQ(ServiceCalls().m_Registrations, (Objects{&m_A, &m_B}));
    EXPECT_TRUE(g_Accepted.empty());
    EXPECT_EQ(g_pRegistrationAccessor, &g_DefaultRegistrationAccessor);
    EXPECT_EQ(g_nRegistrationFlags, 0u);
    EXPECT_FALSE(m_B.HasAnyFlag(0x20));
}

TEST_F(Registration, ModuleIdentifierIsTheServicesOnlyWhileRegistered) {
    m_A.SetUpObject("a", "", 0);
    ConsoleObjectByPosition object(&m_A);
    EXPECT_EQ(object.OwningModuleIdentifier(), -1);

    RegisterConsoleObjects(0, nullptr);
    ASSERT_EQ(ServiceCalls().m_IssuedIdentifiers.size(), 1u);
    const int32_t nIdentifier = ServiceCalls().m_IssuedIdentifiers[0];
    EXPECT_NE(nIdentifier, -1);
    EXPECT_EQ(object.OwningModuleIdentifier(), nIdentifier);
    EXPECT_EQ(ConsoleObjectByPosition(&m_B).OwningModuleIdentifier(), nIdentifier)
        << "every object of the module answers the same, set up or not";

    UnregisterConsoleObjects();
    EXPECT_EQ(ServiceCalls().m_Unregistrations, std::vector<int32_t>{nIdentifier});
    EXPECT_EQ(object.OwningModuleIdentifier(), -1);
    EXPECT_FALSE(g_bConsoleObjectsRegistered);
    EXPECT_TRUE(RegisteredConsoleObjects().empty()) << "the service forgot the module's objects";
    EXPECT_EQ(g_pRegistrationAccessor, &g_DefaultRegistrationAccessor) << "stays in force";
}

TEST_F(Registration, UnregisterWithoutARegistrationOrAServiceDoesNothing) {
    UnregisterConsoleObjects();
    EXPECT_TRUE(ServiceCalls().m_Unregistrations.empty());

    RegisterConsoleObjects(0, nullptr);
    const int32_t nIdentifier = g_nModuleIdentifier;
    ConnectService(false);
    UnregisterConsoleObjects();
    EXPECT_TRUE(ServiceCalls().m_Unregistrations.empty());
    EXPECT_TRUE(g_bConsoleObjectsRegistered);
    EXPECT_EQ(g_nModuleIdentifier, nIdentifier);
}

TEST_F(Registration, RegisteringAgainTakesANewIdentifierAndSubmitsOnlyWhatWasSetUpSince) {
    m_A.SetUpObject("a", "", 0);
    RegisterConsoleObjects(0, nullptr);
    UnregisterConsoleObjects();
    // Unregistered: the accessor is still in force, so set-up submits at once and lists too.
    m_B.SetUpObject("b", "", 0);
    EXPECT_EQ(ServiceCalls().m_Registrations, (Objects{&m_A, &m_B}));
    EXPECT_EQ(g_pPendingObjects, &m_B);

    RegisterConsoleObjects(0, nullptr);

    ASSERT_EQ(ServiceCalls().m_IssuedIdentifiers.size(), 2u);
    EXPECT_NE(ServiceCalls().m_IssuedIdentifiers[1], ServiceCalls().m_IssuedIdentifiers[0]);
    EXPECT_EQ(g_nModuleIdentifier, ServiceCalls().m_IssuedIdentifiers[1]);
    EXPECT_EQ(ServiceCalls().m_Registrations, (Objects{&m_A, &m_B, &m_B}));
}

TEST_F(Registration, SetUpWhileRegisteredSubmitsAtOnceWithItsOwnFlagsOnly) {
    m_A.SetUpObject("a", "", 0);
    RegisterConsoleObjects(0x20, nullptr);

    m_B.SetUpObject("b", "", 0x4);

    EXPECT_EQ(ServiceCalls().m_Registrations, (Objects{&m_A, &m_B}));
    EXPECT_EQ(m_B.m_nFlagBits, 0x4u);
    EXPECT_EQ(g_pPendingObjects, &m_B);
}

// After unload the accessor is still in force but the service is gone.
TEST_F(Registration, SetUpWithoutAServiceSubmitsNothingAndTheNextRegistrationDoes) {
    RegisterConsoleObjects(0, nullptr);
    UnregisterConsoleObjects();
    ConnectService(false);

    m_A.SetUpObject("a", "", 0);
    EXPECT_TRUE(ServiceCalls().m_Registrations.empty());
    EXPECT_EQ(g_pPendingObjects, &m_A);

    ConnectService(true);
    RegisterConsoleObjects(0, nullptr);
    EXPECT_EQ(ServiceCalls().m_Registrations, Objects{&m_A});
}

TEST_F(Registration, DefaultAccessorByPositionHandsTheObjectToTheServiceWhileThereIsOne) {
    AccessorByPosition accessor(&g_DefaultRegistrationAccessor);
    EXPECT_TRUE(accessor.AcceptConsoleObject(&m_A));
    EXPECT_EQ(ServiceCalls().m_Registrations, Objects{&m_A});

    ConnectService(false);
    EXPECT_FALSE(accessor.AcceptConsoleObject(&m_B));
    EXPECT_EQ(ServiceCalls().m_Registrations, Objects{&m_A});
}

TEST_F(Registration, BaseOperationsByPosition) {
    ConsoleObjectByPosition object(&m_A);
    object.SetUpObject("base", nullptr, 0x4);

    EXPECT_TRUE(object.ActsAsCommand());
    EXPECT_STREQ(object.ObjectName(), "base");
    ASSERT_NE(object.ObjectHelp(), nullptr);
    EXPECT_STREQ(object.ObjectHelp(), "");
    EXPECT_TRUE(object.HasAnyFlag(0x6));
    EXPECT_FALSE(object.HasAnyFlag(0x2));
    object.MergeFlags(0x2);
    EXPECT_TRUE(object.HasAnyFlag(0x2));
    EXPECT_EQ(m_A.m_nFlagBits, 0x6u);
    EXPECT_EQ(g_pPendingObjects, &m_A);

    // Only the service marks an object accepted; every set-up clears the mark.
    EXPECT_FALSE(object.WasAcceptedByService());
    object.SetAcceptedByService(true);
    EXPECT_TRUE(object.WasAcceptedByService());
    object.SetUpObject("base", "help", 0);
    EXPECT_FALSE(object.WasAcceptedByService());
    EXPECT_STREQ(object.ObjectHelp(), "help");

    object.SubmitToAccessor(); // none in force yet
    EXPECT_TRUE(ServiceCalls().m_Registrations.empty());
    RegisterConsoleObjects(0, nullptr);
    EXPECT_TRUE(object.WasAcceptedByService()) << "the service marks what it keeps";
    object.SubmitToAccessor();
    EXPECT_EQ(ServiceCalls().m_Registrations, (Objects{&m_A, &m_A}));
}

TEST_F(Registration, HeapObjectComesFromTheHostAllocatorAndItsDeletingEntryGivesItBack) {
    auto* pObject = new (std::nothrow) ConCommandBase();
    ASSERT_NE(pObject, nullptr);
    std::vector<RecordedCall> allocations = CallsAt(TIER0_ALLOCATE);
    ASSERT_EQ(allocations.size(), 1u);
    EXPECT_EQ(allocations[0].m_pResult, pObject);
    EXPECT_EQ(allocations[0].m_nSize, sizeof(ConCommandBase));
    pObject->SetUpObject("doomed", "", 0);

    ConsoleObjectByPosition(pObject).Destroy(true);

    std::vector<RecordedCall> releases = CallsAt(TIER0_RELEASE);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].m_pBlock, static_cast<void*>(pObject));
    // Destruction neither unlinks nor unregisters.
    EXPECT_EQ(g_pPendingObjects, static_cast<void*>(pObject));
    EXPECT_TRUE(ServiceCalls().m_Unregistrations.empty());
}

TEST_F(Registration, FailedHeapAllocationYieldsNullWithoutConstructing) {
    Tier0_FailNextAllocations(1);
    EXPECT_EQ(new (std::nothrow) ConCommandBase(), nullptr);
}

} // namespace
