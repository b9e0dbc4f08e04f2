// Construction and destruction order of the module's static objects. The plug-in object itself is
// constant-initialised and needs no step here.
#include "plugin/module_objects.h"

#include "console/console_variable.h"
#include "plugin/interface_registry.h"
#include "plugin/tavrel_server_plugin.h"
#include "runtime/char_conversion.h"
#include "runtime/static_object.h"

namespace {

void* CreateServerPlugin() {
    return &g_TavrelServerPlugin;
}

CStaticObject<InterfaceRegistration> g_PluginRegistration;
bool g_bModuleObjectsStarted = false;
bool g_bModuleObjectsStopped = false;

} // namespace

void StartModuleObjects() {
    // A second start would link the entry to itself.
    if (g_bModuleObjectsStarted) {
        return;
    }
    g_bModuleObjectsStarted = true;
    g_PluginRegistration.Construct(CreateServerPlugin, SERVER_PLUGIN_CALLBACKS_INTERFACE_NAME);
    // The empty variable after the version variable, so registration submits it first.
    ConstructVersionVariable();
    ConstructEmptyVariable();
    ConstructEscapeTables();
}

void StopModuleObjects() {
    if (!g_bModuleObjectsStarted || g_bModuleObjectsStopped) {
        return;
    }
    g_bModuleObjectsStopped = true;
    DestroyEscapeTables();
    DestroyEmptyVariable();
    DestroyVersionVariable();
    // Registry entries are never removed: the entry stays readable until the module is unmapped.
}
