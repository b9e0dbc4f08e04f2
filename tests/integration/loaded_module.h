// The built module mapped into the test process, with its plug-in object found the way a server
// finds it: CreateInterface with the plug-in interface's name.
#pragma once

#include "host/interface_factory.h"
#include "platform/tools/module_library.h"

#include <string>

class CLoadedModule {
public:
    CLoadedModule() = default;
    ~CLoadedModule() { Close(); }
    CLoadedModule(const CLoadedModule&) = delete;
    CLoadedModule& operator=(const CLoadedModule&) = delete;

    // Maps the built module and finds its plug-in; false, with the reason in *pError, when
    // either step fails (nothing stays mapped then).
    bool Open(std::string* pError);
    // Unmaps the module; the caller unloads the plug-in first. Safe to call again.
    void Close();

    InterfaceFactory CreateInterfaceExport() const { return m_pfnCreateInterface; }
    void* Plugin() const { return m_pPlugin; }
    void* Symbol(const char* pszName) const { return FindModuleSymbol(m_hModule, pszName); }

private:
    ModuleLibraryHandle m_hModule = nullptr;
    InterfaceFactory m_pfnCreateInterface = nullptr;
    void* m_pPlugin = nullptr;
};
