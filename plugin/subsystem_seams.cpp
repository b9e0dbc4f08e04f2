// The math library's start-up, and the console objects' registration steps.
#include "plugin/subsystem_seams.h"

#include "console/console_object.h"
#include "math/math_library.h"

void StartMathLibraryAtLoad() {
    // Output and source gamma 2.2, no brightness lift, overbright range 2; every instruction
    // set the processor reports may be used. Only the first load does anything.
    InitMathLibrary(2.2f, 2.2f, 0.0f, 2, true, true, true, true);
}

void RegisterConsoleObjectsAtLoad() {
    // No extra flags; the default accessor hands each object to the service.
    RegisterConsoleObjects(0, nullptr);
}

void UnregisterConsoleObjectsAtUnload() {
    UnregisterConsoleObjects();
}
