// A probe module's one service: every form of the allocation operators, run inside a module built
// and linked exactly as the shipped one, so a host can watch where the module's blocks go.
#pragma once

#include <cstdint>

// The name the probe module serves through CreateInterface.
#define ALLOCATION_PROBE_INTERFACE_NAME "TAVREL_ALLOCATION_PROBE"

// What each probe operation allocates, in the module's own new-expressions.
constexpr uint32_t PROBE_OBJECT_SIZE = 24;
constexpr uint32_t PROBE_ALIGNMENT = 64;

// Plain function pointers, so the host needs no knowledge of the module's classes.
struct AllocationProbe {
    void* (*m_pfnNewObject)();                // new of a PROBE_OBJECT_SIZE object
    void (*m_pfnDeleteObject)(void* pObject); // its sized delete
    void* (*m_pfnNewArray)(uint32_t nCount);  // new char[nCount]
    void (*m_pfnDeleteArray)(void* pArray);
    void* (*m_pfnNewNothrowArray)(uint32_t nCount); // new (std::nothrow) char[nCount]
    void* (*m_pfnNewAlignedObject)();               // new of a PROBE_ALIGNMENT-aligned object
    void (*m_pfnDeleteAlignedObject)(void* pObject);
    void* (*m_pfnNewNothrowAlignedArray)(uint32_t nCount); // new (std::nothrow) aligned[nCount]
    void (*m_pfnDeleteAlignedArray)(void* pArray);
    // new (std::nothrow) char[] of a size beyond 32 bits where size_t allows one; null expected.
    void* (*m_pfnNewBeyondHostSize)();
};
