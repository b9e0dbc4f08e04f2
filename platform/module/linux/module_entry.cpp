// The module's load-time hook on Linux: the loader runs these when it maps and unmaps the module.
// A shared library cannot refuse to load, so without the host's allocator the module stays inert:
// none of its objects is built, nothing touches the allocator, and CreateInterface serves nothing.
#include "plugin/module_objects.h"
#include "runtime/allocation.h"

namespace {

bool g_bModuleStarted = false;

__attribute__((constructor)) void OnModuleMapped() {
    if (CheckHostAllocator(0) == 0) {
        return;
    }
    g_bModuleStarted = true;
    StartModuleObjects();
}

__attribute__((destructor)) void OnModuleUnmapped() {
    if (!g_bModuleStarted) {
        return;
    }
    StopModuleObjects();
    ShutDownHeap();
}

} // namespace
