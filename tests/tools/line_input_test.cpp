// Splitting standard input into lines as it arrives, against scripted chunks: lines that straddle
// reads, the last line without a break, and whether a line is waiting without ever blocking.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "tools/send/line_input.h"

namespace {

using Strings = std::vector<std::string>;

// One read's worth of input. m_bReady says whether it has arrived by the time it is asked for
// without waiting; a read of a chunk that has not arrived would block, which LineWaiting must
// never do.
struct Chunk {
    InputRead m_eRead;
    std::string m_strData;
    bool m_bReady;
};

class CScriptedChunks final : public IInputChunks {
public:
    explicit CScriptedChunks(std::deque<Chunk> chunks) : m_Chunks(std::move(chunks)) {}

    InputRead Read(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead) override {
        EXPECT_FALSE(m_bInWaitingCheck && !Ready()) << "a check for a waiting line blocked";
        if (m_Chunks.empty()) {
            return InputRead::End;
        }
        Chunk chunk = m_Chunks.front();
        m_Chunks.pop_front();
        EXPECT_LE(chunk.m_strData.size(), nMaxBytes);
        std::memcpy(pBuffer, chunk.m_strData.data(), chunk.m_strData.size());
        *pnRead = static_cast<uint32_t>(chunk.m_strData.size());
        return chunk.m_eRead;
    }
    bool Ready() override { return m_Chunks.empty() || m_Chunks.front().m_bReady; }

    std::deque<Chunk> m_Chunks;
    bool m_bInWaitingCheck = false;
};

bool Waiting(CLineReader& reader, CScriptedChunks& chunks) {
    chunks.m_bInWaitingCheck = true;
    bool bWaiting = reader.LineWaiting();
    chunks.m_bInWaitingCheck = false;
    return bWaiting;
}

// Reads every line to the end; the results after the lines say how the input ended.
Strings ReadAll(CLineReader& reader, LineRead* peEnd) {
    Strings lines;
    std::string strLine;
    LineRead eRead;
    while ((eRead = reader.ReadLine(&strLine)) == LineRead::Line) {
        lines.push_back(strLine);
    }
    *peEnd = eRead;
    return lines;
}

struct SplitCase {
    const char* m_pszName;
    std::deque<Chunk> m_Chunks;
    Strings m_Lines;
    LineRead m_eEnd;
};

const SplitCase g_SplitCases[] = {
    {"LinesStraddleReads",
     {{InputRead::Data, "sta", false},
      {InputRead::Data, "tus\nsay", false},
      {InputRead::Data, " hi\r\n", false}},
     {"status", "say hi"},
     LineRead::End},
    {"ManyLinesInOneRead",
     {{InputRead::Data, "a\n\nb\r\nc\n", false}},
     {"a", "", "b", "c"},
     LineRead::End},
    {"LastLineWithoutBreak", {{InputRead::Data, "a\nlast\r", false}}, {"a", "last"}, LineRead::End},
    {"OnlyTheLastCarriageReturnGoes",
     {{InputRead::Data, "a\r\r\n", false}},
     {"a\r"},
     LineRead::End},
    {"NulBytesKept",
     {{InputRead::Data, std::string("a\0b\n", 4), false}},
     {std::string("a\0b", 3)},
     LineRead::End},
    // A line cut short by a failed read is not passed on as if whole.
    {"FailureDropsThePartialLine",
     {{InputRead::Data, "whole\npart", false}, {InputRead::Failed, "", false}},
     {"whole"},
     LineRead::Failed},
};

class LineSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(LineSplitTest, Splits) {
    CScriptedChunks chunks(GetParam().m_Chunks);
    CLineReader reader(chunks);
    LineRead eEnd;
    EXPECT_EQ(ReadAll(reader, &eEnd), GetParam().m_Lines);
    EXPECT_EQ(eEnd, GetParam().m_eEnd);
}

INSTANTIATE_TEST_SUITE_P(LineInput, LineSplitTest, ::testing::ValuesIn(g_SplitCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST(LineInputTest, WaitingMeansAWholeLineOrTheEndAndNeverBlocks) {
    CScriptedChunks chunks({{InputRead::Data, "one\ntwo\nthr", false},
                            {InputRead::Data, "ee", true},
                            {InputRead::Data, "\nfour\n", false},
                            {InputRead::End, "", true}});
    CLineReader reader(chunks);
    std::string strLine;
    EXPECT_FALSE(Waiting(reader, chunks)); // nothing has arrived
    ASSERT_EQ(reader.ReadLine(&strLine), LineRead::Line);
    EXPECT_EQ(strLine, "one");
    EXPECT_TRUE(Waiting(reader, chunks)); // "two" came with it
    ASSERT_EQ(reader.ReadLine(&strLine), LineRead::Line);
    EXPECT_EQ(strLine, "two");
    // "thr" and "ee" are here, but a partial line is not a waiting line.
    EXPECT_FALSE(Waiting(reader, chunks));
    ASSERT_EQ(reader.ReadLine(&strLine), LineRead::Line);
    EXPECT_EQ(strLine, "three");
    ASSERT_EQ(reader.ReadLine(&strLine), LineRead::Line);
    EXPECT_EQ(strLine, "four");
    EXPECT_TRUE(Waiting(reader, chunks)); // the end has arrived
    EXPECT_EQ(reader.ReadLine(&strLine), LineRead::End);
}

TEST(LineInputTest, InterruptEndsTheWaitAndReadingCanGoOn) {
    CScriptedChunks chunks({{InputRead::Data, "par", false},
                            {InputRead::Interrupted, "", false},
                            {InputRead::Data, "tial\n", false}});
    CLineReader reader(chunks);
    std::string strLine;
    EXPECT_EQ(reader.ReadLine(&strLine), LineRead::Interrupted);
    EXPECT_EQ(reader.ReadLine(&strLine), LineRead::Line);
    EXPECT_EQ(strLine, "partial");
}

} // namespace
