// The allocation routines against the stand-in's recording allocator: what each asks of the host,
// the zero fill, the size checks, and the over-aligned blocks.
#include "runtime/allocation.h"

#include "tests/runtime/recording_allocator.h"
#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

namespace {

bool AllBytesAre(const void* pBlock, size_t nSize, unsigned char cValue) {
    const auto* pBytes = static_cast<const unsigned char*>(pBlock);
    for (size_t i = 0; i < nSize; ++i) {
        if (pBytes[i] != cValue) {
            return false;
        }
    }
    return true;
}

class AllocationTest : public RecordingAllocatorTest {};

TEST_F(AllocationTest, BlockOfAnySizeIncludingZeroIsAskedForAsItIs) {
    for (uint32_t nSize : {0u, 1u, 16u, 4096u}) {
        void* pBlock = AllocateBlock(nSize);
        ASSERT_NE(pBlock, nullptr) << nSize;
        EXPECT_EQ(QueryBlockSize(pBlock), nSize);
        ReleaseBlock(pBlock);
    }
    const std::vector<RecordedCall> allocations = CallsAt(TIER0_ALLOCATE);
    ASSERT_EQ(allocations.size(), 4u);
    EXPECT_EQ(allocations[0].m_nSize, 0u);
    EXPECT_EQ(allocations[3].m_nSize, 4096u);
    EXPECT_EQ(CallsAt(TIER0_BLOCK_SIZE).size(), 4u);
    EXPECT_EQ(CallsAt(TIER0_RELEASE).size(), 4u);
}

TEST_F(AllocationTest, ZeroedBlocksAreZeroWhateverTheHostGaveThem) {
    SpoilNewBlocks(0xA5);
    const struct {
        uint32_t m_nCount;
        uint32_t m_nSize;
    } cases[] = {{1, 1}, {1, 64}, {3, 5}, {1000, 4}, {7, 0}};
    for (const auto& zeroed : cases) {
        const uint32_t nBytes = zeroed.m_nCount * zeroed.m_nSize;
        void* pBlock = AllocateZeroedArray(zeroed.m_nCount, zeroed.m_nSize);
        ASSERT_NE(pBlock, nullptr);
        EXPECT_TRUE(AllBytesAre(pBlock, nBytes, 0)) << zeroed.m_nCount << " x " << zeroed.m_nSize;
        ASSERT_FALSE(m_Calls.empty());
        EXPECT_EQ(m_Calls.back().m_nSize, nBytes);
        ReleaseBlock(pBlock);
    }
    void* pBlock = AllocateZeroed(100);
    ASSERT_NE(pBlock, nullptr);
    EXPECT_TRUE(AllBytesAre(pBlock, 100, 0));
    ReleaseBlock(pBlock);
}

TEST_F(AllocationTest, FailedZeroedAllocationIsNullAndWritesNothing) {
    Tier0_FailNextAllocations(2);
    // A fill through null would end this program here.
    EXPECT_EQ(AllocateZeroed(32), nullptr);
    EXPECT_EQ(AllocateZeroedArray(3, 5), nullptr);
    const std::vector<RecordedCall> allocations = CallsAt(TIER0_ALLOCATE);
    ASSERT_EQ(allocations.size(), 2u);
    EXPECT_EQ(allocations[0].m_nSize, 32u);
    EXPECT_EQ(allocations[1].m_nSize, 15u);
}

struct OverflowCase {
    uint32_t m_nCount;
    uint32_t m_nSize;
};

void PrintTo(const OverflowCase& overflow, std::ostream* pStream) {
    *pStream << overflow.m_nCount << " x " << overflow.m_nSize;
}

class ZeroedArrayOverflow : public RecordingAllocatorTest,
                            public testing::WithParamInterface<OverflowCase> {};

TEST_P(ZeroedArrayOverflow, YieldsNullWithoutAskingTheHost) {
    EXPECT_EQ(AllocateZeroedArray(GetParam().m_nCount, GetParam().m_nSize), nullptr);
    EXPECT_TRUE(m_Calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Products, ZeroedArrayOverflow,
                         testing::Values(OverflowCase{0x10000, 0x10000},
                                         OverflowCase{UINT32_MAX, 2}, OverflowCase{2, 0x80000000u},
                                         OverflowCase{UINT32_MAX, UINT32_MAX}));

TEST_F(AllocationTest, LargestProductThatFitsIsAskedForWhole) {
    // Refused by the stand-in, so nothing that large is really taken.
    Tier0_FailNextAllocations(1);
    EXPECT_EQ(AllocateZeroedArray(0x10000, 0xFFFF), nullptr);
    const std::vector<RecordedCall> allocations = CallsAt(TIER0_ALLOCATE);
    ASSERT_EQ(allocations.size(), 1u);
    EXPECT_EQ(allocations[0].m_nSize, 0xFFFF0000u);
}

// A 64-bit host takes sizes at the pointer's width: the top bit of a 32-bit size must not spread
// into the upper half. Every operation is refused, so nothing that large is really taken.
TEST_F(AllocationTest, SizesReachTheHostZeroExtended) {
    constexpr uint32_t LARGE = 0xFFFFFFF0u;
    int nDummy = 0;
    for (bool bDebugHeap : {false, true}) {
        Tier0_SetDebugHeap(bDebugHeap);
        ForgetModuleTags();
        Tier0_FailNextAllocations(2);
        EXPECT_EQ(AllocateBlock(LARGE), nullptr);
        EXPECT_EQ(ReallocateBlock(&nDummy, LARGE), nullptr);
    }
    std::vector<int> sizedPositions;
    for (const RecordedCall& call : m_Calls) {
        if (call.m_nSize != 0) {
            EXPECT_EQ(call.m_nSize, static_cast<size_t>(LARGE)) << "position " << call.m_nPosition;
            sizedPositions.push_back(call.m_nPosition);
        }
    }
    EXPECT_EQ(sizedPositions, (std::vector<int>{TIER0_ALLOCATE, TIER0_REALLOCATE,
                                                TIER0_ALLOCATE_TAGGED, TIER0_REALLOCATE_TAGGED}));
}

TEST_F(AllocationTest, ReallocationPassesBlockAndSizeOnAndKeepsTheContents) {
    auto* pBlock = static_cast<char*>(AllocateBlock(8));
    ASSERT_NE(pBlock, nullptr);
    std::memcpy(pBlock, "abcdefg", 8);
    auto* pGrown = static_cast<char*>(ReallocateBlock(pBlock, 64));
    ASSERT_NE(pGrown, nullptr);
    EXPECT_STREQ(pGrown, "abcdefg");
    const std::vector<RecordedCall> reallocations = CallsAt(TIER0_REALLOCATE);
    ASSERT_EQ(reallocations.size(), 1u);
    EXPECT_EQ(reallocations[0].m_pBlock, pBlock);
    EXPECT_EQ(reallocations[0].m_nSize, 64u);
    EXPECT_EQ(reallocations[0].m_pResult, pGrown);

    // A failed reallocation is null, and the block stays the caller's.
    Tier0_FailNextAllocations(1);
    EXPECT_EQ(ReallocateBlock(pGrown, 1 << 20), nullptr);
    EXPECT_STREQ(pGrown, "abcdefg");
    ReleaseBlock(pGrown);
}

TEST_F(AllocationTest, NullReleaseIsPassedOn) {
    ReleaseBlock(nullptr);
    const std::vector<RecordedCall> releases = CallsAt(TIER0_RELEASE);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].m_pBlock, nullptr);
}

TEST_F(AllocationTest, CheckFollowsTheAllocatorsPresenceWhateverItsArgument) {
    EXPECT_EQ(CheckHostAllocator(0), 1);
    Tier0_SetAllocatorPresent(false);
    for (int32_t nArgument : {0, 1, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(CheckHostAllocator(nArgument), 0) << nArgument;
    }
    Tier0_SetAllocatorPresent(true);
    for (int32_t nArgument : {0, 1, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(CheckHostAllocator(nArgument), 1) << nArgument;
    }
    ShutDownHeap();
    EXPECT_TRUE(m_Calls.empty());
}

TEST_F(AllocationTest, SizeBeyondTheHostsThirtyTwoBitsIsRefused) {
    if (sizeof(size_t) <= sizeof(uint32_t)) {
        GTEST_SKIP() << "size_t cannot exceed 32 bits here";
    }
    const uint64_t nBeyond = uint64_t{UINT32_MAX} + 1;
    EXPECT_EQ(AllocateBlockOfSize(static_cast<size_t>(nBeyond)), nullptr);
    EXPECT_EQ(AllocateAlignedBlock(static_cast<size_t>(nBeyond), 64), nullptr);
    EXPECT_TRUE(m_Calls.empty());
}

struct AlignedCase {
    size_t m_nSize;
    size_t m_nAlignment;
};

void PrintTo(const AlignedCase& aligned, std::ostream* pStream) {
    *pStream << aligned.m_nSize << " bytes at " << aligned.m_nAlignment;
}

class AlignedBlock : public RecordingAllocatorTest,
                     public testing::WithParamInterface<AlignedCase> {};

TEST_P(AlignedBlock, IsAlignedInsideTheHostBlockAndReleasesIt) {
    const size_t nSize = GetParam().m_nSize;
    void* pBlock = AllocateAlignedBlock(nSize, GetParam().m_nAlignment);
    ASSERT_NE(pBlock, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pBlock) % GetParam().m_nAlignment, 0u);
    const std::vector<RecordedCall> allocations = CallsAt(TIER0_ALLOCATE);
    ASSERT_EQ(allocations.size(), 1u);
    const auto* pHostStart = static_cast<const char*>(allocations[0].m_pResult);
    const auto* pStart = static_cast<const char*>(pBlock);
    EXPECT_GE(pStart, pHostStart);
    EXPECT_LE(pStart + nSize, pHostStart + allocations[0].m_nSize);
    // The caller may use every byte without harming what the release needs.
    std::memset(pBlock, 0xEE, nSize);

    ReleaseAlignedBlock(pBlock);
    const std::vector<RecordedCall> releases = CallsAt(TIER0_RELEASE);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].m_pBlock, allocations[0].m_pResult);
}

INSTANTIATE_TEST_SUITE_P(Alignments, AlignedBlock,
                         testing::Values(AlignedCase{1, 32}, AlignedCase{100, 64},
                                         AlignedCase{0, 64}, AlignedCase{24, 4096},
                                         AlignedCase{4096, 4096}, AlignedCase{8, sizeof(void*)}));

TEST_F(AllocationTest, AlignedBlockRefusesWhatItCannotServe) {
    for (size_t nAlignment : {size_t{0}, size_t{3}, size_t{48}}) {
        EXPECT_EQ(AllocateAlignedBlock(16, nAlignment), nullptr) << nAlignment;
    }
    // The room for alignment would overflow the size.
    EXPECT_EQ(AllocateAlignedBlock(SIZE_MAX - 8, 64), nullptr);
    EXPECT_TRUE(m_Calls.empty());

    Tier0_FailNextAllocations(1);
    EXPECT_EQ(AllocateAlignedBlock(16, 64), nullptr);

    ReleaseAlignedBlock(nullptr);
    const std::vector<RecordedCall> releases = CallsAt(TIER0_RELEASE);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].m_pBlock, nullptr);
}

} // namespace
