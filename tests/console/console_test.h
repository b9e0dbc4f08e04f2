// The fixture the console tests share: the module's registration state as at start-up, the
// stand-in host's console-variable service connected, and the recording allocator watching.
#pragma once

#include "tests/runtime/recording_allocator.h"
#include "tools/host/stand_in_console_service.h"

class ConsoleTest : public RecordingAllocatorTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Stores the stand-in service in g_pCVar and cvar, or null, as load and unload do.
    static void ConnectService(bool bConnected);
    static const ConsoleServiceCalls& ServiceCalls() { return ConsoleServiceCallsSoFar(); }
};

// The registration state of a freshly mapped module: collecting, nothing pending.
void ResetRegistrationState();
