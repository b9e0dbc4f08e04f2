// The module tag: the path rules as a pure function, building a tag from its sources (failures
// included), the platform's own path, and the two caches that ask the host at most once.
#include "runtime/module_tag.h"

#include "platform/module/module_path.h"
#include "runtime/allocation.h"
#include "tests/runtime/recording_allocator.h"
#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TagCase {
    const char* m_pszLabel;
    const char* m_pszPath;
    char m_cSeparator;
    const char* m_pszTag;
};

void PrintTo(const TagCase& tagCase, std::ostream* pStream) {
    *pStream << tagCase.m_pszLabel;
}

class ModuleTagRules : public testing::TestWithParam<TagCase> {};

TEST_P(ModuleTagRules, CutThePathToTheTag) {
    char buffer[MODULE_TAG_BUFFER_SIZE] = {};
    std::strcpy(buffer, GetParam().m_pszPath);
    const char* pszTag = CutModuleTag(buffer, GetParam().m_cSeparator);
    EXPECT_STREQ(pszTag, GetParam().m_pszTag);
    // The tag lies in the buffer itself, never in a copy.
    EXPECT_GE(pszTag, buffer);
    EXPECT_LT(pszTag, buffer + sizeof(buffer));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ModuleTagRules,
    testing::Values(
        TagCase{"ModuleInADirectory", "C:\\srv\\addons\\relay.dll", '\\', "relay"},
        TagCase{"NoFullStopKeepsTheWholePath", "C:\\srv\\addons\\relay", '\\',
                "C:\\srv\\addons\\relay"},
        TagCase{"FullStopWithoutSeparatorKeepsTheExtension", "relay.dll", '\\', "relay.dll"},
        TagCase{"DotOnlyInADirectoryName", "C:\\srv.1\\relay", '\\', "relay"},
        TagCase{"OnlyTheLastExtensionGoes", "C:\\srv\\relay.x.dll", '\\', "relay.x"},
        TagCase{"SlashPath", "/srv/addons/tavrel.so", '/', "tavrel"},
        TagCase{"SlashPathDotOnlyInADirectoryName", "/opt/game.d/tavrel", '/', "tavrel"},
        TagCase{"SlashPathTwoExtensions", "/srv/tavrel.x.so", '/', "tavrel.x"},
        TagCase{"SlashIsNoSeparatorWhereBackslashIs", "/srv/tavrel.so", '\\', "/srv/tavrel.so"},
        TagCase{"BackslashIsNoSeparatorWhereSlashIs", "C:\\srv\\relay.dll", '/',
                "C:\\srv\\relay.dll"},
        TagCase{"EmptyPath", "", '/', ""}),
    [](const testing::TestParamInfo<TagCase>& info) { return info.param.m_pszLabel; });

// Sources that tests control, with a record of what was asked of them.
struct FakeSources {
    static const char* s_pszPath; // null: the path cannot be had
    static bool s_bHeapRefuses;
    static int s_nBuffersTaken;
    static int s_nPathsRead;
    static char s_Buffer[MODULE_TAG_BUFFER_SIZE];

    static char* TakeBuffer(uint32_t nSize) {
        ++s_nBuffersTaken;
        return s_bHeapRefuses || nSize != sizeof(s_Buffer) ? nullptr : s_Buffer;
    }
    static bool ReadPath(const void*, char* pBuffer, uint32_t nCapacity) {
        ++s_nPathsRead;
        if (s_pszPath == nullptr || std::strlen(s_pszPath) >= nCapacity) {
            return false;
        }
        std::strcpy(pBuffer, s_pszPath);
        return true;
    }
};

const char* FakeSources::s_pszPath = nullptr;
bool FakeSources::s_bHeapRefuses = false;
int FakeSources::s_nBuffersTaken = 0;
int FakeSources::s_nPathsRead = 0;
char FakeSources::s_Buffer[MODULE_TAG_BUFFER_SIZE];

class BuildModuleTagTest : public RecordingAllocatorTest {
protected:
    void SetUp() override {
        RecordingAllocatorTest::SetUp();
        FakeSources::s_pszPath = "C:\\srv\\addons\\relay.dll";
        FakeSources::s_bHeapRefuses = false;
        FakeSources::s_nBuffersTaken = 0;
        FakeSources::s_nPathsRead = 0;
        std::memset(FakeSources::s_Buffer, 'x', sizeof(FakeSources::s_Buffer));
    }

    const char* Build() {
        return BuildModuleTagFrom({&FakeSources::TakeBuffer, &FakeSources::ReadPath, '\\'});
    }
};

TEST_F(BuildModuleTagTest, DebugHeapGivesTheTagInTheHeapBuffer) {
    Tier0_SetDebugHeap(true);
    const char* pszTag = Build();
    ASSERT_NE(pszTag, nullptr);
    EXPECT_STREQ(pszTag, "relay");
    EXPECT_GE(pszTag, FakeSources::s_Buffer);
    EXPECT_LT(pszTag, FakeSources::s_Buffer + sizeof(FakeSources::s_Buffer));
    EXPECT_EQ(CallsAt(TIER0_USES_DEBUG_HEAP).size(), 1u);
}

TEST_F(BuildModuleTagTest, NoDebugHeapTakesNoBufferAndReadsNoPath) {
    EXPECT_EQ(Build(), nullptr);
    EXPECT_EQ(CallsAt(TIER0_USES_DEBUG_HEAP).size(), 1u);
    EXPECT_EQ(FakeSources::s_nBuffersTaken, 0);
    EXPECT_EQ(FakeSources::s_nPathsRead, 0);
}

TEST_F(BuildModuleTagTest, RefusedHeapGivesNoTag) {
    Tier0_SetDebugHeap(true);
    FakeSources::s_bHeapRefuses = true;
    EXPECT_EQ(Build(), nullptr);
    EXPECT_EQ(FakeSources::s_nBuffersTaken, 1);
}

TEST_F(BuildModuleTagTest, UnreadablePathGivesNoTagAndCostsNoBuffer) {
    Tier0_SetDebugHeap(true);
    FakeSources::s_pszPath = nullptr;
    EXPECT_EQ(Build(), nullptr);
    EXPECT_EQ(FakeSources::s_nBuffersTaken, 0);
}

TEST_F(BuildModuleTagTest, LongestPathThatFitsIsTaggedWhole) {
    Tier0_SetDebugHeap(true);
    // 259 characters and the terminator fill the buffer exactly.
    std::string path = "C:\\" + std::string(MODULE_TAG_BUFFER_SIZE - 1 - 3 - 4, 'd') + "\\m.x";
    ASSERT_EQ(path.size(), MODULE_TAG_BUFFER_SIZE - 1);
    FakeSources::s_pszPath = path.c_str();
    EXPECT_STREQ(Build(), "m");
}

// The platform's own answers, from inside this test program and the runtime library.
TEST(ModulePath, NamesTheModuleThatHoldsTheAddress) {
    char path[MODULE_TAG_BUFFER_SIZE];
    ASSERT_TRUE(ReadModulePath(reinterpret_cast<const void*>(&CutModuleTag), path, sizeof(path)));
    EXPECT_NE(std::strstr(path, "runtime_tests"), nullptr) << path;
    ASSERT_TRUE(
        ReadModulePath(reinterpret_cast<const void*>(&Tier0_ResetCounts), path, sizeof(path)));
    EXPECT_NE(std::strstr(path, "tier0"), nullptr) << path;
    EXPECT_NE(std::strrchr(path, ModulePathSeparator()), nullptr) << path;
}

TEST(ModulePath, PathThatDoesNotFitIsRefused) {
    char path[4];
    EXPECT_FALSE(ReadModulePath(reinterpret_cast<const void*>(&CutModuleTag), path, sizeof(path)));
}

TEST(ModulePath, AddressOutsideEveryModuleIsRefused) {
    char path[MODULE_TAG_BUFFER_SIZE];
    int nOnTheStack = 0;
    EXPECT_FALSE(ReadModulePath(&nOnTheStack, path, sizeof(path)));
}

TEST(ProcessHeap, GivesAWritableBlock) {
    // Never given back, so kept reachable as the module keeps its tag, or a leak check objects.
    static char* pBlock = nullptr;
    pBlock = TakeProcessHeapBlock(MODULE_TAG_BUFFER_SIZE);
    ASSERT_NE(pBlock, nullptr);
    std::memset(pBlock, 'x', MODULE_TAG_BUFFER_SIZE);
    EXPECT_EQ(pBlock[MODULE_TAG_BUFFER_SIZE - 1], 'x');
}

class TagCacheTest : public RecordingAllocatorTest {};

TEST_F(TagCacheTest, EachCacheAsksTheHostOnceAndKeepsANullAnswer) {
    void* pFirst = AllocateBlock(8);
    void* pSecond = AllocateZeroed(8);
    void* pThird = AllocateZeroedArray(2, 4);
    EXPECT_EQ(CallsAt(TIER0_USES_DEBUG_HEAP).size(), 1u);
    // A debug heap reported later changes nothing: the null answer is kept.
    Tier0_SetDebugHeap(true);
    void* pFourth = AllocateBlock(8);
    EXPECT_EQ(CallsAt(TIER0_USES_DEBUG_HEAP).size(), 1u);
    EXPECT_EQ(CallsAt(TIER0_ALLOCATE).size(), 4u);
    EXPECT_TRUE(CallsAt(TIER0_ALLOCATE_TAGGED).empty());

    // The reallocation cache is a second one, asked at its own first use.
    pFirst = ReallocateBlock(pFirst, 16);
    pFirst = ReallocateBlock(pFirst, 32);
    EXPECT_EQ(CallsAt(TIER0_USES_DEBUG_HEAP).size(), 2u);
    EXPECT_EQ(CallsAt(TIER0_REALLOCATE_TAGGED).size(), 2u);

    for (void* pBlock : {pFirst, pSecond, pThird, pFourth}) {
        ReleaseBlock(pBlock);
    }
}

TEST_F(TagCacheTest, DebugHeapTagsEveryAllocationWithThisProgramsName) {
    Tier0_SetDebugHeap(true);
    void* pBlock = AllocateBlock(16);
    pBlock = ReallocateBlock(pBlock, 48);
    ReleaseBlock(pBlock);
    ReleaseBlock(AllocateZeroedArray(3, 5));
    const std::vector<RecordedCall> allocations = CallsAt(TIER0_ALLOCATE_TAGGED);
    const std::vector<RecordedCall> reallocations = CallsAt(TIER0_REALLOCATE_TAGGED);
    ASSERT_EQ(allocations.size(), 2u);
    ASSERT_EQ(reallocations.size(), 1u);
    for (const RecordedCall& call : {allocations[0], allocations[1], reallocations[0]}) {
        // Whatever the directory, the tag ends in this program's name, without an extension.
        const std::string name = "runtime_tests";
        ASSERT_GE(call.m_Tag.size(), name.size()) << call.m_Tag;
        EXPECT_EQ(call.m_Tag.substr(call.m_Tag.size() - name.size()), name);
        EXPECT_EQ(call.m_nLine, 0);
    }
    EXPECT_EQ(allocations[0].m_nSize, 16u);
    EXPECT_EQ(reallocations[0].m_nSize, 48u);
    EXPECT_EQ(allocations[1].m_nSize, 15u);
    EXPECT_TRUE(CallsAt(TIER0_ALLOCATE).empty());
    EXPECT_TRUE(CallsAt(TIER0_REALLOCATE).empty());
}

TEST_F(TagCacheTest, ConcurrentFirstUsesBuildTheTagOnce) {
    Tier0_SetAllocatorObserver(nullptr, nullptr);
    Tier0_SetDebugHeap(true);
    constexpr int THREADS = 8;
    void* blocks[THREADS] = {};
    // Every thread waits until all have started, so the first uses really meet.
    std::atomic<int> nStarted{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < THREADS; ++i) {
        threads.emplace_back([&blocks, &nStarted, i] {
            nStarted.fetch_add(1);
            while (nStarted.load() < THREADS) {
                std::this_thread::yield();
            }
            blocks[i] = AllocateBlock(8);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(Tier0_GetCallCount(TIER0_USES_DEBUG_HEAP), 1u);
    EXPECT_EQ(Tier0_GetCallCount(TIER0_ALLOCATE_TAGGED) + Tier0_GetCallCount(TIER0_ALLOCATE),
              static_cast<uint32_t>(THREADS));
    for (void* pBlock : blocks) {
        EXPECT_NE(pBlock, nullptr);
        ReleaseBlock(pBlock);
    }
}

} // namespace
