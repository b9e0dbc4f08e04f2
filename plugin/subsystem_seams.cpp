// Deliberately empty until the math library and the console objects exist.
#include "plugin/subsystem_seams.h"

void StartMathLibraryAtLoad() {}

void RegisterConsoleObjectsAtLoad() {}

void UnregisterConsoleObjectsAtUnload() {}
