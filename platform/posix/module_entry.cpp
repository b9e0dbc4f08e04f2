// The module's load-time hook on POSIX: the loader runs these when it maps and unmaps the module.
#include "plugin/module_objects.h"

namespace {

__attribute__((constructor)) void OnModuleMapped() {
    StartModuleObjects();
}

__attribute__((destructor)) void OnModuleUnmapped() {
    StopModuleObjects();
}

} // namespace
