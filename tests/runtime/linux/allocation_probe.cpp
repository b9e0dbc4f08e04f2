// The probe module's service: new-expressions of every form, compiled as the module's own code.
#include "tests/runtime/linux/allocation_probe.h"

#include "plugin/interface_registry.h"

#include <cstddef>
#include <new>

namespace {

struct ProbeObject {
    char m_Bytes[PROBE_OBJECT_SIZE];
};

struct alignas(PROBE_ALIGNMENT) AlignedProbeObject {
    char m_Bytes[PROBE_ALIGNMENT];
};

static_assert(sizeof(ProbeObject) == PROBE_OBJECT_SIZE, "the host checks the size asked for");
static_assert(alignof(AlignedProbeObject) > __STDCPP_DEFAULT_NEW_ALIGNMENT__,
              "the aligned object must take the aligned operators");

void* NewObject() {
    return new ProbeObject;
}

void DeleteObject(void* pObject) {
    delete static_cast<ProbeObject*>(pObject);
}

void* NewArray(uint32_t nCount) {
    return new char[nCount];
}

void DeleteArray(void* pArray) {
    delete[] static_cast<char*>(pArray);
}

void* NewNothrowArray(uint32_t nCount) {
    return new (std::nothrow) char[nCount];
}

void* NewAlignedObject() {
    return new AlignedProbeObject;
}

void DeleteAlignedObject(void* pObject) {
    delete static_cast<AlignedProbeObject*>(pObject);
}

void* NewNothrowAlignedArray(uint32_t nCount) {
    return new (std::nothrow) AlignedProbeObject[nCount];
}

void DeleteAlignedArray(void* pArray) {
    delete[] static_cast<AlignedProbeObject*>(pArray);
}

void* NewBeyondHostSize() {
    // A 32-bit size_t holds no such size: the sum below would wrap to a small block, which the
    // host would never give back.
    if constexpr (sizeof(size_t) <= sizeof(uint32_t)) {
        return nullptr;
    }
    // Volatile, so the compiler cannot see the size and refuse it at compile time.
    volatile size_t nSize = static_cast<size_t>(UINT32_MAX);
    return new (std::nothrow) char[nSize + 2];
}

AllocationProbe g_AllocationProbe = {
    &NewObject,              // m_pfnNewObject
    &DeleteObject,           // m_pfnDeleteObject
    &NewArray,               // m_pfnNewArray
    &DeleteArray,            // m_pfnDeleteArray
    &NewNothrowArray,        // m_pfnNewNothrowArray
    &NewAlignedObject,       // m_pfnNewAlignedObject
    &DeleteAlignedObject,    // m_pfnDeleteAlignedObject
    &NewNothrowAlignedArray, // m_pfnNewNothrowAlignedArray
    &DeleteAlignedArray,     // m_pfnDeleteAlignedArray
    &NewBeyondHostSize,      // m_pfnNewBeyondHostSize
};

void* CreateAllocationProbe() {
    return &g_AllocationProbe;
}

// Registered at load, beside the plug-in's own entry.
InterfaceRegistration g_AllocationProbeRegistration(&CreateAllocationProbe,
                                                    ALLOCATION_PROBE_INTERFACE_NAME);

} // namespace
