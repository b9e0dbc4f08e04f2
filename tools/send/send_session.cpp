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

SendOutcome ConnectWithRetry(ISendSystem& system, const std::string& strPipeName,
                             double flTimeoutSeconds, PipeClientHandle* phPipe) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        system.Now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(flTimeoutSeconds));

    bool bServerSeen = false;
    for (;;) {
        switch (system.Connect(strPipeName.c_str(), phPipe)) {
        case PipeConnectResult::Connected:
            return SendOutcome::AllSent;
        case PipeConnectResult::NotThere:
            break;
        case PipeConnectResult::Busy:
            bServerSeen = true;
            break;
        case PipeConnectResult::OtherUser:
            return SendOutcome::OtherUser;
        case PipeConnectResult::BadName:
            return SendOutcome::BadName;
        case PipeConnectResult::Failed:
            return SendOutcome::ConnectFailed;
        }
        Clock::time_point now = system.Now();
        if (now >= deadline) {
            // A server that was seen even once was there; a name that never answered was not.
            return bServerSeen ? SendOutcome::ServerBusy : SendOutcome::NoServer;
        }
        system.Sleep(std::min<Clock::duration>(SEND_RETRY_INTERVAL, deadline - now));
    }
}

SendOutcome OutcomeOfFailedSend(PipeSendResult eResult) {
    return eResult == PipeSendResult::Broken ? SendOutcome::Broken : SendOutcome::SendFailed;
}

SendReport RunSendSession(ISendSystem& system, const std::string& strPipeName,
                          const std::vector<std::string>& messages, double flTimeoutSeconds) {
    PipeClientHandle hPipe = INVALID_PIPE_CLIENT_HANDLE;
    SendOutcome eConnected = ConnectWithRetry(system, strPipeName, flTimeoutSeconds, &hPipe);
    if (eConnected != SendOutcome::AllSent) {
        return {eConnected, 0};
    }

    SendReport report{SendOutcome::AllSent, 0};
    for (const std::string& strMessage : messages) {
        PipeSendResult eResult =
            system.Send(hPipe, strMessage.data(), static_cast<uint32_t>(strMessage.size()));
        if (eResult != PipeSendResult::Sent) {
            report.m_eOutcome = OutcomeOfFailedSend(eResult);
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

std::string DescribeSendProblem(SendOutcome eOutcome, const std::string& strPipeName,
                                double flTimeoutSeconds) {
    switch (eOutcome) {
    case SendOutcome::AllSent:
        break;
    case SendOutcome::NoServer:
        return "no server on pipe " + strPipeName + " (waited " + FormatSeconds(flTimeoutSeconds) +
               " s)";
    case SendOutcome::ServerBusy:
        return "server on pipe " + strPipeName + " stayed busy for " +
               FormatSeconds(flTimeoutSeconds) + " s";
    case SendOutcome::OtherUser:
        return "server on pipe " + strPipeName + " runs as another user";
    case SendOutcome::BadName:
        return "'" + strPipeName + "' cannot name a pipe on this system";
    case SendOutcome::ConnectFailed:
        return "cannot connect to pipe " + strPipeName;
    case SendOutcome::Broken:
        return "server on pipe " + strPipeName + " closed the connection";
    case SendOutcome::SendFailed:
        return "writing to pipe " + strPipeName + " failed";
    }
    return std::string();
}

std::string DescribeSendFailure(const SendReport& report, const std::string& strPipeName,
                                size_t nMessages, double flTimeoutSeconds) {
    std::string strProblem = DescribeSendProblem(report.m_eOutcome, strPipeName, flTimeoutSeconds);
    switch (report.m_eOutcome) {
    case SendOutcome::AllSent:
    case SendOutcome::BadName:
        return strProblem;
    case SendOutcome::Broken:
    case SendOutcome::SendFailed:
        return strProblem + "; sent " + std::to_string(report.m_nSent) + " of " +
               std::to_string(nMessages) + " messages";
    case SendOutcome::NoServer:
    case SendOutcome::ServerBusy:
    case SendOutcome::OtherUser:
    case SendOutcome::ConnectFailed:
        break;
    }
    return strProblem + "; nothing sent";
}
