// Building the module's tag from its own path, once per cache.
#include "runtime/module_tag.h"

#include "host/runtime_library.h"
#include "platform/module/module_path.h"

#include <cstring>

namespace {

// Serves only as an address inside the module, from which the system finds the module's path.
char g_cModuleMarker;

} // namespace

ModuleTagCache AllocationTagCache{{false}, {nullptr}};
ModuleTagCache ReallocationTagCache{{false}, {nullptr}};

char* CutModuleTag(char* pszPath, char cSeparator) {
    // Both searches run on the uncut path.
    char* pszLastFullStop = std::strrchr(pszPath, '.');
    if (pszLastFullStop == nullptr) {
        return pszPath;
    }
    char* pszLastSeparator = std::strrchr(pszPath, cSeparator);
    if (pszLastSeparator == nullptr) {
        return pszPath;
    }
    *pszLastFullStop = '\0';
    return pszLastSeparator + 1;
}

const char* BuildModuleTag() {
    return BuildModuleTagFrom({&TakeProcessHeapBlock, &ReadModulePath, ModulePathSeparator()});
}

const char* BuildModuleTagFrom(const ModuleTagSources& sources) {
    if (!g_pMemAlloc->UsesDebugHeap()) {
        return nullptr;
    }
    // Read first, so a path that cannot be had costs no heap block.
    char path[MODULE_TAG_BUFFER_SIZE];
    if (!sources.m_pfnReadModulePath(&g_cModuleMarker, path, sizeof(path))) {
        return nullptr;
    }
    char* pBuffer = sources.m_pfnTakeBuffer(MODULE_TAG_BUFFER_SIZE);
    if (pBuffer == nullptr) {
        return nullptr;
    }
    // The reader terminates a path it reports; a faulty one is still cut at the buffer's end.
    const void* pTerminator = std::memchr(path, '\0', sizeof(path));
    const size_t nLength =
        pTerminator != nullptr ? static_cast<const char*>(pTerminator) - path : sizeof(path) - 1;
    std::memcpy(pBuffer, path, nLength);
    pBuffer[nLength] = '\0';
    return CutModuleTag(pBuffer, sources.m_cSeparator);
}

const char* LookUpModuleTag(ModuleTagCache& cache) {
    // The flag is set before the build, so the build runs once even if it allocates itself.
    if (!cache.m_bBuilt.load(std::memory_order_acquire) &&
        !cache.m_bBuilt.exchange(true, std::memory_order_acq_rel)) {
        cache.m_pszTag.store(BuildModuleTag(), std::memory_order_release);
    }
    return cache.m_pszTag.load(std::memory_order_acquire);
}
