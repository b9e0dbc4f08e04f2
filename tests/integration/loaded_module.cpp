// Mapping the built module and finding its plug-in.
#include "tests/integration/loaded_module.h"

bool CLoadedModule::Open(std::string* pError) {
    Close();
    m_hModule = LoadModuleLibrary(TAVREL_MODULE_PATH, pError);
    if (m_hModule == nullptr) {
        return false;
    }
    m_pfnCreateInterface =
        reinterpret_cast<InterfaceFactory>(FindModuleSymbol(m_hModule, "CreateInterface"));
    m_pPlugin = m_pfnCreateInterface != nullptr
                    ? m_pfnCreateInterface("ISERVERPLUGINCALLBACKS002", nullptr)
                    : nullptr;
    if (m_pPlugin == nullptr) {
        *pError = m_pfnCreateInterface == nullptr ? "the module exports no CreateInterface"
                                                  : "the module serves no plug-in";
        Close();
        return false;
    }
    return true;
}

void CLoadedModule::Close() {
    if (m_hModule != nullptr) {
        UnloadModuleLibrary(m_hModule);
    }
    m_hModule = nullptr;
    m_pfnCreateInterface = nullptr;
    m_pPlugin = nullptr;
}
