// The runtime-library stand-in's four imports and its settings. Settings come from the
// environment when the library is mapped and can be changed at any time by tests.
#include "tier0/tier0_control.h"
#include "tier0/tier0_state.h"

#include <atomic>
#include <cpuid.h>
#include <cstdlib>
#include <cstring>

namespace {

uint8_t DetectFeatureBits() {
    unsigned int nEax = 0, nEbx = 0, nEcx = 0, nEdx = 0;
    uint8_t nBits = 0;
    if (__get_cpuid(1, &nEax, &nEbx, &nEcx, &nEdx)) {
        if (nEdx & bit_SSE) {
            nBits |= PROCESSOR_FEATURE_SSE;
        }
        if (nEdx & bit_SSE2) {
            nBits |= PROCESSOR_FEATURE_SSE2;
        }
        // The recorded-only bit reports SSE3 here.
        if (nEcx & bit_SSE3) {
            nBits |= PROCESSOR_FEATURE_RECORDED_ONLY;
        }
    }
    if (__get_cpuid(0x80000001, &nEax, &nEbx, &nEcx, &nEdx) && (nEdx & bit_3DNOW)) {
        nBits |= PROCESSOR_FEATURE_3DNOW;
    }
    return nBits;
}

uint8_t InitialFeatureBits() {
    const char* pszSetting = std::getenv("TAVREL_TIER0_FEATURE_BITS");
    if (pszSetting == nullptr || *pszSetting == '\0') {
        return DetectFeatureBits();
    }
    return static_cast<uint8_t>(std::strtoul(pszSetting, nullptr, 0));
}

ProcessorFeatureRecord g_FeatureRecord{static_cast<int32_t>(sizeof(ProcessorFeatureRecord)),
                                       InitialFeatureBits()};
std::atomic<uint32_t> g_nFeatureQueries{0};
std::atomic<uint32_t> g_nWriteChecks{0};
std::atomic<uint32_t> g_nStringChecks{0};

} // namespace

HostAllocator* g_pMemAlloc =
    EnvironmentSays("TAVREL_TIER0_ALLOCATOR", "absent") ? nullptr : StandInAllocator();

const ProcessorFeatureRecord* GetCPUInformation() {
    g_nFeatureQueries.fetch_add(1, std::memory_order_relaxed);
    return &g_FeatureRecord;
}

void _AssertValidWritePtr(void* /*pBuffer*/, int32_t /*nLength*/) {
    g_nWriteChecks.fetch_add(1, std::memory_order_relaxed);
}

void AssertValidStringPtr(const char* /*pszText*/, int32_t /*nMaxLength*/) {
    g_nStringChecks.fetch_add(1, std::memory_order_relaxed);
}

void Tier0_SetAllocatorPresent(bool bPresent) {
    g_pMemAlloc = bPresent ? StandInAllocator() : nullptr;
}

void Tier0_SetFeatureBits(uint8_t nFeatureBits) {
    g_FeatureRecord.m_nFeatureBits = nFeatureBits;
}

uint8_t Tier0_DetectFeatureBits() {
    return DetectFeatureBits();
}

uint32_t Tier0_GetFeatureQueryCount() {
    return g_nFeatureQueries.load();
}

uint32_t Tier0_GetWriteCheckCount() {
    return g_nWriteChecks.load();
}

uint32_t Tier0_GetStringCheckCount() {
    return g_nStringChecks.load();
}

void Tier0_ResetCounts() {
    ResetAllocatorCounts();
    g_nFeatureQueries = 0;
    g_nWriteChecks = 0;
    g_nStringChecks = 0;
}
