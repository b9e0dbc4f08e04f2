// The connect-retry-send loop against a scripted server and clock, so waiting and failures can be
// played out exactly, without real time passing.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "plugin/command_protocol.h"
#include "tools/send/send_session.h"

namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;
constexpr PipeClientHandle SCRIPTED_HANDLE = 42;

// Answers connection attempts from a script (its last entry repeats), fails the send at a chosen
// position, and records everything the session did.
class CScriptedSystem final : public ISendSystem {
public:
    std::vector<PipeConnectResult> m_ConnectScript;
    int m_nFailSendAt = -1;
    PipeSendResult m_eSendFailure = PipeSendResult::Broken;

    int m_nAttempts = 0;
    Strings m_Sent;
    int m_nSendCalls = 0;
    std::vector<PipeClientHandle> m_Disconnected;
    std::chrono::steady_clock::time_point m_Now{};
    std::chrono::steady_clock::duration m_LongestSleep{};

    PipeConnectResult Connect(const char* pszPipeName, PipeClientHandle* phPipe) override {
        EXPECT_STREQ(pszPipeName, "pipe");
        size_t nIndex = static_cast<size_t>(m_nAttempts++);
        PipeConnectResult eResult = m_ConnectScript[std::min(nIndex, m_ConnectScript.size() - 1)];
        if (eResult == PipeConnectResult::Connected) {
            *phPipe = SCRIPTED_HANDLE;
        }
        return eResult;
    }
    PipeSendResult Send(PipeClientHandle hPipe, const void* pData, uint32_t nBytes) override {
        EXPECT_EQ(hPipe, SCRIPTED_HANDLE);
        if (m_nSendCalls++ == m_nFailSendAt) {
            return m_eSendFailure;
        }
        m_Sent.emplace_back(static_cast<const char*>(pData), nBytes);
        return PipeSendResult::Sent;
    }
    void Disconnect(PipeClientHandle hPipe) override { m_Disconnected.push_back(hPipe); }
    std::chrono::steady_clock::time_point Now() override { return m_Now; }
    void Sleep(std::chrono::steady_clock::duration waitTime) override {
        EXPECT_GT(waitTime.count(), 0);
        m_LongestSleep = std::max(m_LongestSleep, waitTime);
        m_Now += waitTime;
    }
};

const Strings MESSAGES = {"status", std::string(COMMAND_MESSAGE_MAX, 'm'), "quit"};

using PCR = PipeConnectResult;

struct SessionCase {
    const char* m_pszName;
    std::vector<PipeConnectResult> m_ConnectScript;
    double m_flTimeout;
    int m_nFailSendAt;
    PipeSendResult m_eSendFailure;
    SendOutcome m_eOutcome;
    size_t m_nSent;
    int m_nAttempts;
    milliseconds m_Waited; // scripted time that passed before the session gave up or connected
};

const SessionCase g_SessionCases[] = {
    {"ConnectsAtOnce",
     {PCR::Connected},
     5,
     -1,
     PipeSendResult::Sent,
     SendOutcome::AllSent,
     3,
     1,
     milliseconds(0)},
    {"WaitsForServerToAppear",
     {PCR::NotThere, PCR::NotThere, PCR::NotThere, PCR::Connected},
     5,
     -1,
     PipeSendResult::Sent,
     SendOutcome::AllSent,
     3,
     4,
     milliseconds(60)},
    {"WaitsForRoom",
     {PCR::Busy, PCR::Busy, PCR::Connected},
     5,
     -1,
     PipeSendResult::Sent,
     SendOutcome::AllSent,
     3,
     3,
     milliseconds(40)},
    {"ZeroTimeoutTriesOnce",
     {PCR::NotThere},
     0,
     -1,
     PipeSendResult::Sent,
     SendOutcome::NoServer,
     0,
     1,
     milliseconds(0)},
    {"NoServerWaitsWholeTimeout",
     {PCR::NotThere},
     0.1,
     -1,
     PipeSendResult::Sent,
     SendOutcome::NoServer,
     0,
     6,
     milliseconds(100)},
    // The last wait is cut to what is left, so the final attempt falls on the deadline.
    {"UnevenTimeoutEndsOnDeadline",
     {PCR::NotThere},
     0.05,
     -1,
     PipeSendResult::Sent,
     SendOutcome::NoServer,
     0,
     4,
     milliseconds(50)},
    {"BusyUntilTimeout",
     {PCR::Busy},
     0.1,
     -1,
     PipeSendResult::Sent,
     SendOutcome::ServerBusy,
     0,
     6,
     milliseconds(100)},
    {"SeenBusyThenGoneIsBusy",
     {PCR::Busy, PCR::NotThere},
     0.1,
     -1,
     PipeSendResult::Sent,
     SendOutcome::ServerBusy,
     0,
     6,
     milliseconds(100)},
    {"OtherUserEndsAtOnce",
     {PCR::NotThere, PCR::OtherUser, PCR::Connected},
     5,
     -1,
     PipeSendResult::Sent,
     SendOutcome::OtherUser,
     0,
     2,
     milliseconds(20)},
    {"BadNameEndsAtOnce",
     {PCR::BadName},
     5,
     -1,
     PipeSendResult::Sent,
     SendOutcome::BadName,
     0,
     1,
     milliseconds(0)},
    {"ConnectFailureEndsAtOnce",
     {PCR::Failed},
     5,
     -1,
     PipeSendResult::Sent,
     SendOutcome::ConnectFailed,
     0,
     1,
     milliseconds(0)},
    {"BrokenMidBatchStops",
     {PCR::Connected},
     5,
     1,
     PipeSendResult::Broken,
     SendOutcome::Broken,
     1,
     1,
     milliseconds(0)},
    {"SendFailureStops",
     {PCR::Connected},
     5,
     0,
     PipeSendResult::Failed,
     SendOutcome::SendFailed,
     0,
     1,
     milliseconds(0)},
};

class SendSessionTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SendSessionTest, PlaysOut) {
    const SessionCase& c = GetParam();
    CScriptedSystem system;
    system.m_ConnectScript = c.m_ConnectScript;
    system.m_nFailSendAt = c.m_nFailSendAt;
    system.m_eSendFailure = c.m_eSendFailure;

    SendReport report = RunSendSession(system, "pipe", MESSAGES, c.m_flTimeout);

    EXPECT_EQ(report.m_eOutcome, c.m_eOutcome);
    EXPECT_EQ(report.m_nSent, c.m_nSent);
    EXPECT_EQ(system.m_nAttempts, c.m_nAttempts);
    EXPECT_EQ(system.m_Now.time_since_epoch(), c.m_Waited);
    EXPECT_LE(system.m_LongestSleep, SEND_RETRY_INTERVAL);
    // What was sent is exactly the leading messages, whole and in order.
    EXPECT_EQ(system.m_Sent, Strings(MESSAGES.begin(), MESSAGES.begin() + c.m_nSent));
    // Only a connection the session made is closed, exactly once, after the last send.
    bool bConnected = system.m_nSendCalls > 0 || c.m_eOutcome == SendOutcome::AllSent;
    EXPECT_EQ(system.m_Disconnected, bConnected ? std::vector<PipeClientHandle>{SCRIPTED_HANDLE}
                                                : std::vector<PipeClientHandle>{});
    EXPECT_EQ(system.m_nSendCalls, static_cast<int>(c.m_nSent) + (c.m_nFailSendAt >= 0 ? 1 : 0));
}

// Names the case, not its bytes, in test listings.
void PrintTo(const SessionCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(SendSession, SendSessionTest, ::testing::ValuesIn(g_SessionCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

} // namespace
