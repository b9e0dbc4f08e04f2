// What load and unload do in other subsystems: the math library's start-up, and the console
// objects' registration steps.
#include "plugin/load_steps.h"

#include "console/console_object.h"
#include "math/math_library.h"

void StartMathLibraryAtLoad() {
    // The colour settings a server's plug-in starts the library with. Every instruction set the
    // processor reports may be used. Only the first load does anything.
    const float flOutputGamma = 2.2f;
    const float flSourceGamma = 2.2f;
    const float flBrightness = 0.0f; // no lift
    const int32_t nOverbrightFactor = 2;
    const bool bAllow3DNow = true;
    const bool bAllowSSE = true;
    const bool bAllowSSE2 = true;
    const bool bAllowFeatureBit6 = true;
    InitMathLibrary(flOutputGamma, flSourceGamma, flBrightness, nOverbrightFactor, bAllow3DNow,
                    bAllowSSE, bAllowSSE2, bAllowFeatureBit6);
}

void RegisterConsoleObjectsAtLoad() {
    // No extra flags; the default accessor hands each object to the service.
    RegisterConsoleObjects(0, nullptr);
}

void UnregisterConsoleObjectsAtUnload() {
    UnregisterConsoleObjects();
}
