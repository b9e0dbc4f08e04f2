// The steps of load and unload that start or stop other subsystems: the math library's start-up,
// and the registration of the module's console objects with the host's console-variable service.
#pragma once

void StartMathLibraryAtLoad();
void RegisterConsoleObjectsAtLoad();
void UnregisterConsoleObjectsAtUnload();
