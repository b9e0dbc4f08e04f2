// Load and unload steps that belong to subsystems not built yet: the math library's start-up and
// the registration of the module's console objects. Each does nothing until its subsystem lands
// and puts its real call here; nothing else depends on them meanwhile.
#pragma once

void StartMathLibraryAtLoad();
void RegisterConsoleObjectsAtLoad();
void UnregisterConsoleObjectsAtUnload();
