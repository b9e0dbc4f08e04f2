// What the module imports from the host's runtime library: the allocator object, the processor
// feature record and two pointer checks. The allocator is called by position; entries the module
// never calls are placeholders. Its sizes are pointer-wide: the module's 32-bit sizes reach a
// 64-bit host zero-extended.
#pragma once

#include "platform/module/linkage.h"

#include <cstddef>
#include <cstdint>

class HostAllocator {
public:
    virtual void* AllocateTagged(size_t nSize, const char* pszFile, int32_t nLine) = 0; //  0
    virtual void* Allocate(size_t nSize) = 0;                                           //  1
    virtual void* ReallocateTagged(void* pBlock, size_t nSize, const char* pszFile,
                                   int32_t nLine) = 0;        //  2
    virtual void* Reallocate(void* pBlock, size_t nSize) = 0; //  3
    virtual void Unused04() = 0;                              //  4
    virtual void Release(void* pBlock) = 0;                   //  5
    virtual void Unused06() = 0;                              //  6
    virtual void Unused07() = 0;                              //  7
    virtual size_t BlockSize(void* pBlock) = 0;               //  8
    virtual void Unused09() = 0;                              //  9
    virtual void Unused10() = 0;                              // 10
    virtual void Unused11() = 0;                              // 11
    virtual void Unused12() = 0;                              // 12
    virtual void Unused13() = 0;                              // 13
    virtual void Unused14() = 0;                              // 14
    virtual void Unused15() = 0;                              // 15
    virtual void Unused16() = 0;                              // 16
    virtual void Unused17() = 0;                              // 17
    virtual void Unused18() = 0;                              // 18
    virtual void Unused19() = 0;                              // 19
    virtual void Unused20() = 0;                              // 20
    virtual void Unused21() = 0;                              // 21
    virtual void Unused22() = 0;                              // 22
    virtual void Unused23() = 0;                              // 23
    virtual bool UsesDebugHeap() = 0;                         // 24

protected:
    ~HostAllocator() = default;
};

// The module reads one byte of the record: the one after its leading 32-bit field.
struct ProcessorFeatureRecord {
    int32_t m_nLeadingField;
    uint8_t m_nFeatureBits;
};

enum : uint8_t {
    PROCESSOR_FEATURE_SSE = 0x08,
    PROCESSOR_FEATURE_SSE2 = 0x10,
    PROCESSOR_FEATURE_3DNOW = 0x20,
    PROCESSOR_FEATURE_RECORDED_ONLY = 0x40,
};

extern "C" {
// Null when the host has no allocator; read at every use, never cached.
TAVREL_TIER0_API extern HostAllocator* g_pMemAlloc;
TAVREL_TIER0_API const ProcessorFeatureRecord* GetCPUInformation();
TAVREL_TIER0_API void _AssertValidWritePtr(void* pBuffer, int32_t nLength);
TAVREL_TIER0_API void AssertValidStringPtr(const char* pszText, int32_t nMaxLength);
}

static_assert(offsetof(ProcessorFeatureRecord, m_nFeatureBits) == 4,
              "the feature byte follows the record's leading 32-bit field");
