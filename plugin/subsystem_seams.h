// The load and unload steps that start other subsystems: the math library's start-up, and the
// registration of the module's console objects, which stays empty until console objects exist.
#pragma once

void StartMathLibraryAtLoad();
void RegisterConsoleObjectsAtLoad();
void UnregisterConsoleObjectsAtUnload();
