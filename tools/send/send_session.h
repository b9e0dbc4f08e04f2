// Delivers the messages of one run over one connection, in order, after waiting (up to a
// timeout) for the server to appear or to make room for another client.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/tools/pipe_client.h"

// What a session needs of the system. The real one is the pipe client and the steady clock;
// tests put a scripted server and clock in its place.
class ISendSystem {
public:
    virtual ~ISendSystem() = default;
    virtual PipeConnectResult Connect(const char* pszPipeName, PipeClientHandle* phPipe) = 0;
    virtual PipeSendResult Send(PipeClientHandle hPipe, const void* pData, uint32_t nBytes) = 0;
    virtual void Disconnect(PipeClientHandle hPipe) = 0;
    virtual std::chrono::steady_clock::time_point Now() = 0;
    virtual void Sleep(std::chrono::steady_clock::duration waitTime) = 0;
};

ISendSystem& SystemSendSystem();

// How long to wait between connection attempts.
constexpr std::chrono::milliseconds SEND_RETRY_INTERVAL{20};

enum class SendOutcome {
    AllSent,
    NoServer,      // the name never appeared before the timeout
    ServerBusy,    // the server was there but had no room until the timeout
    OtherUser,     // the server runs as another user; nothing was sent
    BadName,       // the pipe name cannot name a pipe here
    ConnectFailed, // the system refused the connection otherwise
    Broken,        // the server closed the connection while messages were being sent
    SendFailed,    // the system refused a send otherwise
};

struct SendReport {
    SendOutcome m_eOutcome;
    size_t m_nSent; // messages written before the session ended
};

// Connects, retrying while the server is absent or busy, for flTimeoutSeconds (0 means one
// attempt). AllSent means *phPipe holds the connection; anything else is why there is none.
SendOutcome ConnectWithRetry(ISendSystem& system, const std::string& strPipeName,
                             double flTimeoutSeconds, PipeClientHandle* phPipe);

// Broken or SendFailed, after the pipe's result of a send that did not succeed.
SendOutcome OutcomeOfFailedSend(PipeSendResult eResult);

// Connects (retrying while the server is absent or busy, for flTimeoutSeconds; 0 means one
// attempt), sends every message in order, then disconnects. Stops at the first failed send.
SendReport RunSendSession(ISendSystem& system, const std::string& strPipeName,
                          const std::vector<std::string>& messages, double flTimeoutSeconds);

// Exit codes of tavrel-send, after BSD's sysexits.
enum SendExitCode : int {
    SEND_EXIT_OK = 0,
    SEND_EXIT_USAGE = 64,
    SEND_EXIT_BAD_MESSAGE = 65,
    SEND_EXIT_NO_SERVER = 69,
    SEND_EXIT_SYSTEM = 71,
    SEND_EXIT_IO = 74,
    SEND_EXIT_TIMED_OUT = 75,
    SEND_EXIT_OTHER_USER = 77,
};

int ExitCodeForOutcome(SendOutcome eOutcome);

// Why an outcome other than AllSent came about, such as "no server on pipe NAME (waited 5 s)".
std::string DescribeSendProblem(SendOutcome eOutcome, const std::string& strPipeName,
                                double flTimeoutSeconds);

// The line that tells the user why a session failed, without the program's name.
std::string DescribeSendFailure(const SendReport& report, const std::string& strPipeName,
                                size_t nMessages, double flTimeoutSeconds);
