// The console-object base, the default accessor and registration with the console-variable
// service.
#include "console/console_object.h"
#include "console/host_offset.h"

#include "connect/library_connection.h"
#include "runtime/allocation.h"

ConCommandBase* g_pPendingObjects = nullptr;
IConCommandBaseAccessor* g_pRegistrationAccessor = nullptr;
uint32_t g_nRegistrationFlags = 0;
bool g_bConsoleObjectsRegistered = false;
int32_t g_nModuleIdentifier = -1;
CDefaultAccessor g_DefaultRegistrationAccessor;

namespace {

void UnlinkPendingObject(ConCommandBase* pObject) {
    for (ConCommandBase** ppLink = &g_pPendingObjects; *ppLink != nullptr;
         ppLink = &(*ppLink)->m_pNextPending) {
        if (*ppLink == pObject) {
            *ppLink = pObject->m_pNextPending;
            return;
        }
    }
}

} // namespace

ConCommandBase::ConCommandBase()
    : m_pNextPending(nullptr), m_bAcceptedByService(false), m_pszObjectName(nullptr),
      m_pszHelpText(nullptr), m_nFlagBits(0) {}

ConCommandBase::~ConCommandBase() = default;

bool ConCommandBase::ActsAsCommand() {
    return true;
}

bool ConCommandBase::HasAnyFlag(uint32_t nMask) {
    return (m_nFlagBits & nMask) != 0;
}

void ConCommandBase::MergeFlags(uint32_t nMask) {
    m_nFlagBits |= nMask;
}

const char* ConCommandBase::ObjectName() {
    return m_pszObjectName;
}

const char* ConCommandBase::ObjectHelp() {
    return m_pszHelpText;
}

bool ConCommandBase::WasAcceptedByService() {
    return m_bAcceptedByService;
}

int32_t ConCommandBase::OwningModuleIdentifier() {
    return g_nModuleIdentifier;
}

void ConCommandBase::SetUpObject(const char* pszName, const char* pszHelpText, uint32_t nFlags) {
    m_pszObjectName = pszName;
    m_bAcceptedByService = false;
    m_pszHelpText = pszHelpText != nullptr ? pszHelpText : "";
    m_nFlagBits = nFlags;
    // An object set up again must not be linked a second time: the list would close into a loop
    // and the next registration would never end.
    UnlinkPendingObject(this);
    if ((nFlags & CONSOLE_FLAG_UNLISTED) != 0) {
        m_pNextPending = nullptr;
    } else {
        m_pNextPending = g_pPendingObjects;
        g_pPendingObjects = this;
    }
    // After unload the accessor is still in force but the service is gone: nothing could take
    // the object, so it waits on the pending list for the next registration.
    if (g_pRegistrationAccessor != nullptr && g_pCVar != nullptr) {
        SubmitToAccessor();
    }
}

void ConCommandBase::SubmitToAccessor() {
    if (g_pRegistrationAccessor != nullptr) {
        g_pRegistrationAccessor->AcceptConsoleObject(this);
    }
}

void* ConCommandBase::operator new(size_t nSize, const std::nothrow_t&) noexcept {
    return AllocateBlockOfSize(nSize);
}

void ConCommandBase::operator delete(void* pObject) noexcept {
    ReleaseBlock(pObject);
}

bool CDefaultAccessor::AcceptConsoleObject(ConCommandBase* pObject) {
    if (g_pCVar == nullptr) {
        return false;
    }
    g_pCVar->RegisterConsoleObject(pObject);
    return true;
}

void RegisterConsoleObjects(uint32_t nFlags, IConCommandBaseAccessor* pAccessor) {
    if (g_pCVar == nullptr || g_bConsoleObjectsRegistered) {
        return;
    }
    g_nRegistrationFlags = nFlags;
    g_bConsoleObjectsRegistered = true;
    g_nModuleIdentifier = g_pCVar->AllocateModuleIdentifier();
    g_pRegistrationAccessor = pAccessor != nullptr ? pAccessor : &g_DefaultRegistrationAccessor;
    ConCommandBase* pObject = g_pPendingObjects;
    while (pObject != nullptr) {
        // Read first: the accessor may set the object up again and relink it.
        ConCommandBase* pNext = pObject->m_pNextPending;
        pObject->MergeFlags(g_nRegistrationFlags);
        pObject->SubmitToAccessor();
        pObject = pNext;
    }
    g_pPendingObjects = nullptr;
}

void UnregisterConsoleObjects() {
    if (g_pCVar == nullptr || !g_bConsoleObjectsRegistered) {
        return;
    }
    g_pCVar->UnregisterModuleObjects(g_nModuleIdentifier);
    g_nModuleIdentifier = -1;
    g_bConsoleObjectsRegistered = false;
}

// The host reads these fields at fixed offsets; a layout change must fail the build, not the
// server. Offsets for 32-bit and 64-bit pointers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(ConCommandBase, m_pNextPending) == HostOffset(4, 8));
static_assert(offsetof(ConCommandBase, m_bAcceptedByService) == HostOffset(8, 16));
static_assert(offsetof(ConCommandBase, m_pszObjectName) == HostOffset(12, 24));
static_assert(offsetof(ConCommandBase, m_pszHelpText) == HostOffset(16, 32));
static_assert(offsetof(ConCommandBase, m_nFlagBits) == HostOffset(20, 40));
static_assert(sizeof(ConCommandBase) == HostOffset(24, 48));
static_assert(sizeof(bool) == 1 && sizeof(CDefaultAccessor) == sizeof(void*));
#pragma GCC diagnostic pop
