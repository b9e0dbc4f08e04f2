// The interactive and streaming modes of tavrel-send.
#include "tools/send/line_modes.h"

#include <cctype>
#include <cstdio>

#include "tools/send/message_batch.h"

namespace {

const char BLANKS[] = " \t";

class CSystemLineModeOutput final : public ILineModeOutput {
public:
    void Show(const std::string& strText) override {
        std::fputs(strText.c_str(), stdout);
        std::fflush(stdout);
    }
    void Complain(const std::string& strLine) override {
        std::fprintf(stderr, "tavrel-send: %s\n", strLine.c_str());
    }
};

bool EqualsIgnoringCase(const std::string& strText, const char* pszWord) {
    size_t i = 0;
    for (; i < strText.size() && pszWord[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(strText[i])) != pszWord[i]) {
            return false;
        }
    }
    return i == strText.size() && pszWord[i] == '\0';
}

std::string Trimmed(const std::string& strText) {
    size_t nFirst = strText.find_first_not_of(BLANKS);
    if (nFirst == std::string::npos) {
        return std::string();
    }
    return strText.substr(nFirst, strText.find_last_not_of(BLANKS) + 1 - nFirst);
}

bool IsStopCommand(const std::string& strCommand) {
    std::string strText = Trimmed(strCommand);
    std::string strName = strText.substr(0, strText.find_first_of(BLANKS));
    return EqualsIgnoringCase(strName, "quit") || EqualsIgnoringCase(strName, "exit");
}

// Reports a failed read of standard input; the line modes end there.
int InputFailed(ILineModeOutput& output) {
    output.Complain("cannot read standard input");
    return SEND_EXIT_IO;
}

} // namespace

ILineModeOutput& SystemLineModeOutput() {
    static CSystemLineModeOutput s_Output;
    return s_Output;
}

int CLineSender::Check(const std::string& strLine, size_t nLine) {
    MessageBatch line;
    line.m_Messages.push_back(strLine);
    line.m_Origins.push_back(nLine);
    line.m_bFromInputLines = true;
    std::string strProblem = FindBadMessage(line);
    if (strProblem.empty()) {
        return SEND_EXIT_OK;
    }
    m_Output.Complain(strProblem + "; not sent");
    return SEND_EXIT_BAD_MESSAGE;
}

int CLineSender::Send(const std::string& strLine, size_t nLine) {
    // The second write goes over a new connection: the first may have failed only because the
    // server let the old one go.
    for (int nAttempt = 0; nAttempt < 2; ++nAttempt) {
        if (m_hPipe == INVALID_PIPE_CLIENT_HANDLE) {
            SendOutcome eConnected = ConnectWithRetry(m_System, m_Settings.m_strPipeName,
                                                      m_Settings.m_flTimeoutSeconds, &m_hPipe);
            if (eConnected != SendOutcome::AllSent) {
                m_hPipe = INVALID_PIPE_CLIENT_HANDLE;
                return Fail(eConnected, nLine);
            }
        }
        PipeSendResult eResult =
            m_System.Send(m_hPipe, strLine.data(), static_cast<uint32_t>(strLine.size()));
        if (eResult == PipeSendResult::Sent) {
            return SEND_EXIT_OK;
        }
        Release();
        if (nAttempt == 1) {
            return Fail(OutcomeOfFailedSend(eResult), nLine);
        }
    }
    return SEND_EXIT_OK; // not reached: the second attempt returns
}

void CLineSender::Release() {
    if (m_hPipe != INVALID_PIPE_CLIENT_HANDLE) {
        m_System.Disconnect(m_hPipe);
        m_hPipe = INVALID_PIPE_CLIENT_HANDLE;
    }
}

int CLineSender::Fail(SendOutcome eOutcome, size_t nLine) {
    m_Output.Complain(
        "line " + std::to_string(nLine) + ": " +
        DescribeSendProblem(eOutcome, m_Settings.m_strPipeName, m_Settings.m_flTimeoutSeconds) +
        "; not sent");
    return ExitCodeForOutcome(eOutcome);
}

int RunStreamMode(ISendSystem& system, ILineInput& input, ILineModeOutput& output,
                  const LineModeSettings& settings) {
    CLineSender sender(system, output, settings);
    int nStatus = SEND_EXIT_OK;
    size_t nLine = 0;
    std::string strLine;
    for (;;) {
        // Nothing more to send for now: the server may serve someone else while we wait.
        if (!input.LineWaiting()) {
            sender.Release();
        }
        LineRead eRead = input.ReadLine(&strLine);
        if (eRead == LineRead::Failed) {
            return InputFailed(output);
        }
        if (eRead != LineRead::Line) {
            return nStatus;
        }
        ++nLine;
        if (strLine.empty()) {
            continue;
        }
        int nCode = sender.Check(strLine, nLine);
        if (nCode == SEND_EXIT_OK) {
            nCode = sender.Send(strLine, nLine);
        }
        nStatus = nCode != SEND_EXIT_OK ? nCode : nStatus;
    }
}

int RunInteractiveMode(ISendSystem& system, ILineInput& input, ILineModeOutput& output,
                       const LineModeSettings& settings, const char* pszEndKeys) {
    output.Show("Each line you enter goes to pipe " + settings.m_strPipeName + "; " + pszEndKeys +
                " or Ctrl-C leaves.\n");
    CLineSender sender(system, output, settings);
    int nStatus = SEND_EXIT_OK;
    size_t nLine = 0;
    std::string strLine;
    for (;;) {
        output.Show(INTERACTIVE_PROMPT);
        LineRead eRead = input.ReadLine(&strLine);
        if (eRead == LineRead::Line && !strLine.empty()) {
            int nCode = sender.Check(strLine, ++nLine);
            bool bSend = nCode == SEND_EXIT_OK;
            if (bSend && StopsServer(strLine)) {
                output.Show(STOP_CONFIRMATION);
                std::string strAnswer;
                eRead = input.ReadLine(&strAnswer);
                bSend = eRead == LineRead::Line && IsYes(strAnswer);
            }
            if (bSend) {
                nCode = sender.Send(strLine, nLine);
                sender.Release(); // the person may take a while over the next line
            }
            nStatus = nCode != SEND_EXIT_OK ? nCode : nStatus;
        } else if (eRead == LineRead::Line) {
            ++nLine;
        }
        if (eRead == LineRead::Failed) {
            return InputFailed(output);
        }
        if (eRead != LineRead::Line) {
            // The terminal echoes neither Ctrl-D nor Ctrl-C as a line break; the shell's prompt
            // should start on a line of its own.
            output.Show("\n");
            return nStatus;
        }
    }
}

bool StopsServer(const std::string& strLine) {
    size_t nStart = 0;
    bool bQuoted = false;
    for (size_t i = 0; i <= strLine.size(); ++i) {
        if (i < strLine.size() && strLine[i] == '"') {
            bQuoted = !bQuoted;
        } else if (i == strLine.size() || (strLine[i] == ';' && !bQuoted)) {
            if (IsStopCommand(strLine.substr(nStart, i - nStart))) {
                return true;
            }
            nStart = i + 1;
        }
    }
    return false;
}

bool IsYes(const std::string& strAnswer) {
    std::string strText = Trimmed(strAnswer);
    return EqualsIgnoringCase(strText, "y") || EqualsIgnoringCase(strText, "yes");
}
