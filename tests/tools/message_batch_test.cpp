// Turning input into messages, and the checks that refuse a batch before anything is sent.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "plugin/command_protocol.h"
#include "tools/send/message_batch.h"

namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;
using Origins = std::vector<size_t>;

struct InputCase {
    const char* m_pszName;
    std::string m_strInput;
    Strings m_Messages;
    Origins m_Origins;
};

const InputCase g_InputCases[] = {
    {"Empty", "", {}, {}},
    {"OnlyBlankLines", "\n\r\n\n", {}, {}},
    {"LastLineWithoutNewline", "a\nb", {"a", "b"}, {1, 2}},
    {"CarriageReturnsDropped", "a\r\nb\r", {"a", "b"}, {1, 2}},
    {"BlankLinesSkippedButCounted", "\na\n\r\n\nb\n", {"a", "b"}, {2, 5}},
    {"OnlyOneCarriageReturnDropped", "a\r\r\n", {"a\r"}, {1}},
    {"InnerCarriageReturnKept", "mid\rdle\n", {"mid\rdle"}, {1}},
    {"SpacesAreContent", " \n", {" "}, {1}},
    {"NulKeptForTheCheck", "x\0y\n"s, {"x\0y"s}, {1}},
};

class SendMessageBatchInputTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(SendMessageBatchInputTest, SplitsIntoLines) {
    MessageBatch batch = BatchFromInput(GetParam().m_strInput);
    EXPECT_TRUE(batch.m_bFromInputLines);
    EXPECT_EQ(batch.m_Messages, GetParam().m_Messages);
    EXPECT_EQ(batch.m_Origins, GetParam().m_Origins);
}

// Names the case, not its bytes, in test listings.
void PrintTo(const InputCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(SendMessageBatch, SendMessageBatchInputTest,
                         ::testing::ValuesIn(g_InputCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST(SendMessageBatchTest, EmptyCommandsAreLeftOutButCounted) {
    MessageBatch batch = BatchFromCommands({"", "status", "", "quit"});
    EXPECT_FALSE(batch.m_bFromInputLines);
    EXPECT_EQ(batch.m_Messages, (Strings{"status", "quit"}));
    EXPECT_EQ(batch.m_Origins, (Origins{2, 4}));
}

struct CheckCase {
    const char* m_pszName;
    bool m_bFromInput;
    Strings m_Messages;
    Strings m_Mentions; // empty: the batch passes
};

const CheckCase g_CheckCases[] = {
    {"LongestPasses", false, {"ok", std::string(COMMAND_MESSAGE_MAX, 'a')}, {}},
    {"OneByteTooLong", false, {"ok", std::string(1023, 'a')}, {"command 2", "1023 bytes"}},
    {"PreviewIsShortened", false, {std::string(2000, 'z')}, {"command 1", "\"zzzz", "\"..."}},
    {"NulRefused", true, {"say a\0b"s}, {"line 1", "\"say a\\0b\"", "NUL"}},
    {"NulAtEndRefused", true, {"ok", "ok", "quit\0"s}, {"line 3", "NUL"}},
    {"FirstBadOneNamed", false, {"ok", "a\0"s, std::string(1500, 'b')}, {"command 2", "NUL"}},
    {"UnprintablesEscaped", true, {"\t\x7f\"\\\xff\0"s}, {"\"\\x09\\x7f\\\"\\\\\\xff\\0\""}},
};

class SendMessageBatchCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(SendMessageBatchCheckTest, RefusesOnlyBadMessagesNamingThem) {
    const CheckCase& c = GetParam();
    MessageBatch batch = c.m_bFromInput ? BatchFromInput("") : BatchFromCommands({});
    for (size_t i = 0; i < c.m_Messages.size(); ++i) {
        batch.m_Messages.push_back(c.m_Messages[i]);
        batch.m_Origins.push_back(i + 1);
    }
    std::string strProblem = FindBadMessage(batch);
    if (c.m_Mentions.empty()) {
        EXPECT_EQ(strProblem, "");
    }
    for (const std::string& strMention : c.m_Mentions) {
        EXPECT_NE(strProblem.find(strMention), std::string::npos)
            << "'" << strMention << "' not in: " << strProblem;
    }
    EXPECT_EQ(strProblem.find('\n'), std::string::npos);
}

// Names the case, not its bytes, in test listings.
void PrintTo(const CheckCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(SendMessageBatch, SendMessageBatchCheckTest,
                         ::testing::ValuesIn(g_CheckCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

} // namespace
