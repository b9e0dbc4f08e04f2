// Registration and lookup of the interfaces the module serves by name.
#include "plugin/interface_registry.h"

#include "host/interface_factory.h"

#include <cstring>

InterfaceRegistration* g_pInterfaceRegistrations = nullptr;

InterfaceRegistration::InterfaceRegistration(CreateFunction pfnCreate, const char* pszName)
    : m_pfnCreate(pfnCreate), m_pszName(pszName), m_pNext(g_pInterfaceRegistrations) {
    g_pInterfaceRegistrations = this;
}

void* CreateInterface(const char* pszName, int* pnStatus) {
    for (InterfaceRegistration* pEntry = g_pInterfaceRegistrations; pEntry != nullptr;
         pEntry = pEntry->m_pNext) {
        if (std::strcmp(pEntry->m_pszName, pszName) == 0) {
            if (pnStatus != nullptr) {
                *pnStatus = INTERFACE_STATUS_OK;
            }
            return pEntry->m_pfnCreate();
        }
    }
    if (pnStatus != nullptr) {
        *pnStatus = INTERFACE_STATUS_FAILED;
    }
    return nullptr;
}
