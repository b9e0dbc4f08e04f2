// The shared console fixture.
#include "tests/console/console_test.h"

#include "connect/library_connection.h"
#include "console/console_object.h"

void ResetRegistrationState() {
    g_pPendingObjects = nullptr;
    g_pRegistrationAccessor = nullptr;
    g_nRegistrationFlags = 0;
    g_bConsoleObjectsRegistered = false;
    g_nModuleIdentifier = -1;
}

void ConsoleTest::SetUp() {
    RecordingAllocatorTest::SetUp();
    ResetRegistrationState();
    ResetStandInConsoleService();
    SetConsoleChangeListener(nullptr, nullptr);
    ConnectService(true);
}

void ConsoleTest::TearDown() {
    // The service must not keep objects that die with the test.
    ResetStandInConsoleService();
    SetConsoleChangeListener(nullptr, nullptr);
    ConnectService(false);
    ResetRegistrationState();
    RecordingAllocatorTest::TearDown();
}

void ConsoleTest::ConnectService(bool bConnected) {
    g_pCVar = bConnected ? static_cast<ConsoleVariableService*>(StandInConsoleService()) : nullptr;
    cvar = g_pCVar;
}
