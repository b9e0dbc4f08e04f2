// The module's static objects, constructed by one start-up routine in a fixed order and destroyed
// in reverse, because C++ does not order static initialisation across files.
#pragma once

// Called once when the module is mapped, after the host allocator has been found present.
void StartModuleObjects();

// Called once when the module is unmapped, only after StartModuleObjects ran.
void StopModuleObjects();
