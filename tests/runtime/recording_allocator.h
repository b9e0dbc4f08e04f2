// A fixture over the stand-in's allocator for the allocation tests: it records every call (tags
// copied), can spoil every block the host hands out, and leaves the allocator and the module's
// tag caches as it found them.
#pragma once

#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct RecordedCall {
    int m_nPosition;
    void* m_pBlock;
    size_t m_nSize;
    bool m_bTagged;
    std::string m_Tag;
    int32_t m_nLine;
    void* m_pResult;
};

class RecordingAllocatorTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Calls at nPosition since the test began.
    std::vector<RecordedCall> CallsAt(int nPosition) const;

    // Every new block the host hands out from now on is filled with this byte first.
    void SpoilNewBlocks(unsigned char cFill) {
        m_bSpoil = true;
        m_cSpoilFill = cFill;
    }

    std::vector<RecordedCall> m_Calls;

private:
    static void Observe(const Tier0AllocatorCall& call, void* pContext);

    bool m_bSpoil = false;
    unsigned char m_cSpoilFill = 0;
};

// Forgets both tag caches, so the next use builds them again.
void ForgetModuleTags();
