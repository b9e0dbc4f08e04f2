// What each read of the server end reports, for the client behaviours the relay must tell apart.
#include "platform/module/command_pipe.h"
#include "plugin/command_protocol.h"

#include "tests/support/test_client.h"
#include "tests/support/unique_pipe_name.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Read {
    CommandPipeRead result;
    std::string text;

    bool operator==(const Read& other) const {
        return result == other.result && text == other.text;
    }
};

void PrintTo(const Read& read, std::ostream* pStream) {
    static const char* const names[] = {"Message", "NoData", "ClientGone", "TooLong", "Failed"};
    *pStream << names[static_cast<int>(read.result)] << "(\"" << read.text << "\")";
}

class CommandPipeTest : public testing::Test {
protected:
    void SetUp() override {
        m_Name = UniquePipeName("command_pipe_test");
        m_hPipe = CreateCommandPipe(m_Name.c_str());
        ASSERT_NE(m_hPipe, INVALID_COMMAND_PIPE_HANDLE);
    }
    void TearDown() override {
        if (m_hPipe != INVALID_COMMAND_PIPE_HANDLE) {
            CloseCommandPipe(m_hPipe);
        }
    }

    Read ReadOnce() {
        char buffer[COMMAND_MESSAGE_MAX + 2];
        uint32_t nRead = 12345;
        CommandPipeRead result = ReadCommandPipe(m_hPipe, buffer, COMMAND_MESSAGE_MAX, &nRead);
        if (result != CommandPipeRead::Message) {
            EXPECT_EQ(nRead, 0u) << "a failed read must report no bytes";
        }
        return {result, std::string(buffer, result == CommandPipeRead::Message ? nRead : 0)};
    }

    // Reads until something other than NoData arrives; the client's writes may land a moment
    // after they returned on some systems.
    Read ReadNext() {
        for (int nTry = 0; nTry < 500; ++nTry) {
            Read read = ReadOnce();
            if (read.result != CommandPipeRead::NoData) {
                return read;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return {CommandPipeRead::NoData, ""};
    }

    std::string m_Name;
    CommandPipeHandle m_hPipe = INVALID_COMMAND_PIPE_HANDLE;
};

TEST_F(CommandPipeTest, NoClientMeansNoData) {
    EXPECT_EQ(ReadOnce(), (Read{CommandPipeRead::NoData, ""}));
    EXPECT_EQ(ReadOnce(), (Read{CommandPipeRead::NoData, ""}));
}

TEST_F(CommandPipeTest, SecondPipeOfTheSameNameIsRefused) {
    EXPECT_EQ(CreateCommandPipe(m_Name.c_str()), INVALID_COMMAND_PIPE_HANDLE);
}

TEST_F(CommandPipeTest, ClosingReleasesTheName) {
    CloseCommandPipe(m_hPipe);
    m_hPipe = CreateCommandPipe(m_Name.c_str());
    EXPECT_NE(m_hPipe, INVALID_COMMAND_PIPE_HANDLE);
}

TEST_F(CommandPipeTest, InvalidHandleFails) {
    uint32_t nRead = 7;
    char buffer[4];
    EXPECT_EQ(ReadCommandPipe(INVALID_COMMAND_PIPE_HANDLE, buffer, sizeof(buffer), &nRead),
              CommandPipeRead::Failed);
    EXPECT_EQ(nRead, 0u);
}

struct ReadSequence {
    const char* pszName;
    std::vector<std::string> messages;
    std::vector<Read> expected; // after the client has written everything and left
};

void PrintTo(const ReadSequence& sequence, std::ostream* pStream) {
    *pStream << sequence.pszName;
}

class ReadSequenceTest : public CommandPipeTest,
                         public testing::WithParamInterface<ReadSequence> {};

TEST_P(ReadSequenceTest, ClientWritesAndLeaves) {
    // A Windows pipe takes only 1024 bytes before a write waits for the reader, so the client
    // writes on a thread of its own.
    std::thread writer([this] {
        CTestClient client;
        ASSERT_TRUE(client.Connect(m_Name.c_str()));
        for (const std::string& message : GetParam().messages) {
            ASSERT_TRUE(client.Send(message));
        }
    });
    std::vector<Read> reads;
    for (size_t i = 0; i < GetParam().expected.size(); ++i) {
        reads.push_back(ReadNext());
    }
    writer.join();
    EXPECT_EQ(reads, GetParam().expected);
}

const std::string g_Exact(COMMAND_MESSAGE_MAX, 'e');
const std::string g_Over(COMMAND_MESSAGE_MAX + 1, 'o');

INSTANTIATE_TEST_SUITE_P(
    Clients, ReadSequenceTest,
    testing::Values(ReadSequence{"LeavesWithoutWriting", {}, {{CommandPipeRead::ClientGone, ""}}},
                    ReadSequence{"EmptyMessageIsNotDeparture",
                                 {"", "x"},
                                 {{CommandPipeRead::Message, ""},
                                  {CommandPipeRead::Message, "x"},
                                  {CommandPipeRead::ClientGone, ""}}},
                    ReadSequence{"EmptyMessagesBeforeTheLast",
                                 {"", "", "x"},
                                 {{CommandPipeRead::Message, ""},
                                  {CommandPipeRead::Message, ""},
                                  {CommandPipeRead::Message, "x"},
                                  {CommandPipeRead::ClientGone, ""}}},
                    ReadSequence{
                        "ExactlyFull",
                        {g_Exact},
                        {{CommandPipeRead::Message, g_Exact}, {CommandPipeRead::ClientGone, ""}}},
                    ReadSequence{"OverLongReportedOnceThenTheNext",
                                 {g_Over, "next"},
                                 {{CommandPipeRead::TooLong, ""},
                                  {CommandPipeRead::Message, "next"},
                                  {CommandPipeRead::ClientGone, ""}}}),
    [](const testing::TestParamInfo<ReadSequence>& info) { return info.param.pszName; });

TEST_F(CommandPipeTest, ConnectedSilentClientMeansNoDataNotDeparture) {
    CTestClient client;
    ASSERT_TRUE(client.Connect(m_Name.c_str()));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ReadOnce().result, CommandPipeRead::NoData);
    }
    ASSERT_TRUE(client.Send("now"));
    EXPECT_EQ(ReadNext(), (Read{CommandPipeRead::Message, "now"}));
}

TEST_F(CommandPipeTest, RecycleServesTheNextClientUnderTheSameName) {
    {
        CTestClient first;
        ASSERT_TRUE(first.Connect(m_Name.c_str()));
        ASSERT_TRUE(first.Send("one"));
    }
    EXPECT_EQ(ReadNext(), (Read{CommandPipeRead::Message, "one"}));
    EXPECT_EQ(ReadNext(), (Read{CommandPipeRead::ClientGone, ""}));
    RecycleCommandPipe(m_hPipe);

    EXPECT_EQ(CreateCommandPipe(m_Name.c_str()), INVALID_COMMAND_PIPE_HANDLE)
        << "recycling must keep the name";
    CTestClient second;
    ASSERT_TRUE(second.Connect(m_Name.c_str()));
    ASSERT_TRUE(second.Send("two"));
    EXPECT_EQ(ReadNext(), (Read{CommandPipeRead::Message, "two"}));
}

} // namespace
