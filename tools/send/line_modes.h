// tavrel-send's line modes: the interactive console, where a person types one command per line,
// and the streaming mode, where a program writes commands into standard input over time. Both
// send each line as soon as it is whole, report a line that fails on standard error and go on;
// their exit status is 0 when every line was sent, else the code of the last failure.
#pragma once

#include <cstddef>
#include <string>

#include "platform/tools/pipe_client.h"
#include "tools/send/line_input.h"
#include "tools/send/send_session.h"

// Where the line modes speak. The real one writes to the standard streams; tests record.
class ILineModeOutput {
public:
    virtual ~ILineModeOutput() = default;
    // Text for the person at the terminal, shown at once; no line break is added.
    virtual void Show(const std::string& strText) = 0;
    // One error line for standard error; the program's name goes first.
    virtual void Complain(const std::string& strLine) = 0;
};

ILineModeOutput& SystemLineModeOutput();

struct LineModeSettings {
    std::string m_strPipeName;
    double m_flTimeoutSeconds;
};

// Sends lines one at a time over a connection that it keeps until released, connecting first
// when it holds none. A line whose write fails is written once more on a new connection, so a
// server that restarts between two lines loses neither.
class CLineSender {
public:
    CLineSender(ISendSystem& system, ILineModeOutput& output, const LineModeSettings& settings)
        : m_System(system), m_Output(output), m_Settings(settings) {}
    CLineSender(const CLineSender&) = delete;
    CLineSender& operator=(const CLineSender&) = delete;
    ~CLineSender() { Release(); }

    // 0 when the line may be sent; otherwise it is reported and its exit code returned. nLine
    // counts from 1 and names the line in the report.
    int Check(const std::string& strLine, size_t nLine);

    // Sends a checked line; 0 when it was written, else the report is made and its exit code
    // returned.
    int Send(const std::string& strLine, size_t nLine);

    // Lets the server take its next client. Harmless when nothing is held.
    void Release();

private:
    int Fail(SendOutcome eOutcome, size_t nLine);

    ISendSystem& m_System;
    ILineModeOutput& m_Output;
    LineModeSettings m_Settings;
    PipeClientHandle m_hPipe = INVALID_PIPE_CLIENT_HANDLE;
};

// --stream: each line as it arrives. Lines already waiting share one connection, which is
// released as soon as none is waiting. Empty lines are skipped.
int RunStreamMode(ISendSystem& system, ILineInput& input, ILineModeOutput& output,
                  const LineModeSettings& settings);

// The console for a person: a prompt, each entered line over its own connection, and
// confirmation before a line that would stop the server. Ends at the end of input or at Ctrl-C,
// which the caller has caught (CatchInterrupts) so that it ends a wait instead of the program.
// pszEndKeys names the keys that end input, for the greeting.
int RunInteractiveMode(ISendSystem& system, ILineInput& input, ILineModeOutput& output,
                       const LineModeSettings& settings, const char* pszEndKeys);

#define INTERACTIVE_PROMPT "> "
#define STOP_CONFIRMATION "stop the server? [y/N] "

// True when a command of the line is quit or exit, which stop the server: the first word of the
// line or of any part after a ';' outside quotes, in any letter case.
bool StopsServer(const std::string& strLine);

// "y" or "yes" in any letter case, blanks around it allowed.
bool IsYes(const std::string& strAnswer);
