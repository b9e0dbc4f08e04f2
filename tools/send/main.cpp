// tavrel-send: sends console commands into a running server's command pipe.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/tools/standard_input.h"
#include "tools/send/line_input.h"
#include "tools/send/line_modes.h"
#include "tools/send/message_batch.h"
#include "tools/send/send_options.h"
#include "tools/send/send_session.h"

namespace {

int Fail(int nExitCode, const std::string& strWhy) {
    std::fprintf(stderr, "tavrel-send: %s\n", strWhy.c_str());
    return nExitCode;
}

bool ReadStandardInput(std::string* pstrInput) {
    char buffer[4096];
    size_t nRead;
    while ((nRead = std::fread(buffer, 1, sizeof(buffer), stdin)) > 0) {
        pstrInput->append(buffer, nRead);
    }
    return std::ferror(stdin) == 0;
}

} // namespace

int main(int nArgs, char** ppszArgs) {
    std::vector<std::string> arguments(ppszArgs + (nArgs > 0 ? 1 : 0), ppszArgs + nArgs);
    SendOptions options = ParseSendOptions(arguments, std::getenv(SEND_PIPE_ENVIRONMENT));
    switch (options.m_eAction) {
    case SendAction::ShowHelp:
        std::fputs(SendUsageText(), stdout);
        return SEND_EXIT_OK;
    case SendAction::ShowVersion:
        std::puts("tavrel-send " TAVREL_SEND_VERSION);
        return SEND_EXIT_OK;
    case SendAction::UsageError:
        return Fail(SEND_EXIT_USAGE, options.m_strError);
    case SendAction::Send:
        break;
    }

    SendMode eMode = ChooseSendMode(options, StandardInputIsTerminal());
    if (eMode == SendMode::Stream || eMode == SendMode::Interactive) {
        if (eMode == SendMode::Interactive) {
            CatchInterrupts(); // Ctrl-C leaves the session at its next wait, never mid-line
        }
        CLineReader input(SystemStandardInput());
        LineModeSettings settings{options.m_strPipeName, options.m_flTimeoutSeconds};
        return eMode == SendMode::Stream
                   ? RunStreamMode(SystemSendSystem(), input, SystemLineModeOutput(), settings)
                   : RunInteractiveMode(SystemSendSystem(), input, SystemLineModeOutput(), settings,
                                        EndOfInputKeys());
    }

    MessageBatch batch;
    if (eMode == SendMode::InputBatch) {
        std::string strInput;
        if (!ReadStandardInput(&strInput)) {
            return Fail(SEND_EXIT_IO, "cannot read standard input; nothing sent");
        }
        batch = BatchFromInput(strInput);
    } else {
        batch = BatchFromCommands(options.m_Commands);
    }
    // The whole batch is vetted before connecting, so a bad message never leaves half a batch run.
    std::string strProblem = FindBadMessage(batch);
    if (!strProblem.empty()) {
        return Fail(SEND_EXIT_BAD_MESSAGE, strProblem + "; nothing sent");
    }
    if (batch.m_Messages.empty()) {
        return SEND_EXIT_OK;
    }

    SendReport report = RunSendSession(SystemSendSystem(), options.m_strPipeName, batch.m_Messages,
                                       options.m_flTimeoutSeconds);
    if (report.m_eOutcome == SendOutcome::AllSent) {
        return SEND_EXIT_OK;
    }
    return Fail(ExitCodeForOutcome(report.m_eOutcome),
                DescribeSendFailure(report, options.m_strPipeName, batch.m_Messages.size(),
                                    options.m_flTimeoutSeconds));
}
