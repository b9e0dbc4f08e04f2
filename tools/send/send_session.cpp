// The connect-with-retry and send loop of tavrel-send.
#include "tools/send/send_session.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

class CSystemSendSystem final : public ISendSystem {
public:
    PipeConnectResult Connect(const char* pszPipeName, PipeClientHandle* phPipe) override {
        return ConnectToCommandPipe(pszPipeName, phPipe);
    }
    PipeSendResult Send(PipeClientHandle hPipe, const void* pData, uint32_t nBytes) override {
        return SendPipeMessage(hPipe, pData, nBytes);
    }
    void Disconnect(PipeClientHandle hPipe) override { DisconnectFromCommandPipe(hPipe); }
    std::chrono::steady_clock::time_point Now() override {
        return std::chrono::steady_clock::now();
    }
    void Sleep(std::chrono::steady_clock::duration waitTime) override {
        std::this_thread::sleep_for(waitTime);
    }
};

std::string FormatSeconds(double flSeconds) {
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%g", flSeconds);
    return szText;
}

} // namespace

ISendSystem& SystemSendSystem() {
    static CSystemSendSystem s_System;
    return s_System;
}

SendReport RunSendSession(ISendSystem& system, const std::string& strPipeName,
                          const std::vector<std::string>& messages, double flTimeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        system.Now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(flTimeoutSeconds));

    PipeClientHandle hPipe = INVALID_PIPE_CLIENT_HANDLE;
    bool bServerSeen = false;
    for (;;) {
        PipeConnectResult eResult = system.Connect(strPipeName.c_str(), &hPipe);
        if (eResult == PipeConnectResult::Connected) {
            break;
        }
        switch (eResult) {
        case PipeConnectResult::NotThere:
            break;
        case PipeConnectResult::Busy:
            bServerSeen = true;
            break;
        case PipeConnectResult::OtherUser:
            return {SendOutcome::OtherUser, 0};
        case PipeConnectResult::BadName:
            return {SendOutcome::BadName, 0};
        default:
            return {SendOutcome::ConnectFailed, 0};
        }
        Clock::time_point now = system.Now();
        if (now >= deadline) {
            // A server that was seen even once was there; a name that never answered was not.
            return {bServerSeen ? SendOutcome::ServerBusy : SendOutcome::NoServer, 0};
        }
        system.Sleep(std::min<Clock::duration>(SEND_RETRY_INTERVAL, deadline - now));
    }

    SendReport report{SendOutcome::AllSent, 0};
    for (const std::string& strMessage : messages) {
        PipeSendResult eResult =
            system.Send(hPipe, strMessage.data(), static_cast<uint32_t>(strMessage.size()));
        if (eResult != PipeSendResult::Sent) {
            report.m_eOutcome =
                eResult == PipeSendResult::Broken ? SendOutcome::Broken : SendOutcome::SendFailed;
            break;
        }
        ++report.m_nSent;
    }
    system.Disconnect(hPipe);
    return report;
}

int ExitCodeForOutcome(SendOutcome eOutcome) {
    switch (eOutcome) {
    case SendOutcome::AllSent:
        return SEND_EXIT_OK;
    case SendOutcome::NoServer:
        return SEND_EXIT_NO_SERVER;
    case SendOutcome::ServerBusy:
        return SEND_EXIT_TIMED_OUT;
    case SendOutcome::OtherUser:
        return SEND_EXIT_OTHER_USER;
    case SendOutcome::BadName:
        return SEND_EXIT_USAGE;
    case SendOutcome::ConnectFailed:
        return SEND_EXIT_SYSTEM;
    case SendOutcome::Broken:
    case SendOutcome::SendFailed:
        return SEND_EXIT_IO;
    }
    return SEND_EXIT_SYSTEM;
}

std::string DescribeSendFailure(const SendReport& report, const std::string& strPipeName,
                                size_t nMessages, double flTimeoutSeconds) {
    const std::string strSent =
        "sent " + std::to_string(report.m_nSent) + " of " + std::to_string(nMessages) + " messages";
    switch (report.m_eOutcome) {
    case SendOutcome::AllSent:
        break;
    case SendOutcome::NoServer:
        return "no server on pipe " + strPipeName + " (waited " + FormatSeconds(flTimeoutSeconds) +
               " s); nothing sent";
    case SendOutcome::ServerBusy:
        return "server on pipe " + strPipeName + " stayed busy for " +
               FormatSeconds(flTimeoutSeconds) + " s; nothing sent";
    case SendOutcome::OtherUser:
        return "server on pipe " + strPipeName + " runs as another user; nothing sent";
    case SendOutcome::BadName:
        return "'" + strPipeName + "' cannot name a pipe on this system";
    case SendOutcome::ConnectFailed:
        return "cannot connect to pipe " + strPipeName + "; nothing sent";
    case SendOutcome::Broken:
        return "server on pipe " + strPipeName + " closed the connection; " + strSent;
    case SendOutcome::SendFailed:
        return "writing to pipe " + strPipeName + " failed; " + strSent;
    }
    return std::string();
}
