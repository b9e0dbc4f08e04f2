// The registry behind CreateInterface: a list of named create functions, filled during the
// module's start-up and read-only afterwards, so lookups need no lock.
#pragma once

#include "platform/module/linkage.h"

class InterfaceRegistration {
public:
    using CreateFunction = void* (*)();

    // Prepends this entry to the registry, so it shadows earlier entries of the same name.
    // pszName is borrowed and must outlive the entry.
    InterfaceRegistration(CreateFunction pfnCreate, const char* pszName);

    CreateFunction m_pfnCreate;
    const char* m_pszName;
    InterfaceRegistration* m_pNext;
};

// The most recently registered entry, or null.
extern InterfaceRegistration* g_pInterfaceRegistrations;

// The module's one lookup export, with the InterfaceFactory shape. The status is written before
// the create function runs, so an entry whose create function yields null still reports success.
extern "C" TAVREL_EXPORT void* CreateInterface(const char* pszName, int* pnStatus);
