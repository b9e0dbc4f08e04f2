// Option parsing for tavrel-send.
#include "tools/send/send_options.h"

#include <cstddef>
#include <cstdlib>
#include <utility>

#include "plugin/command_protocol.h"

namespace {

// Accepts plain decimal seconds only ("2", "0.5", ".25"): strtod alone would also take signs,
// blanks, hexadecimal, "inf" and "nan".
bool ParseTimeout(const std::string& strText, double* pflSeconds) {
    int nDigits = 0;
    int nPoints = 0;
    for (char c : strText) {
        if (c >= '0' && c <= '9') {
            ++nDigits;
        } else if (c == '.') {
            ++nPoints;
        } else {
            return false;
        }
    }
    if (nDigits == 0 || nPoints > 1) {
        return false;
    }
    double flSeconds = std::strtod(strText.c_str(), nullptr);
    if (flSeconds > MAX_SEND_TIMEOUT_SECONDS) {
        return false;
    }
    *pflSeconds = flSeconds;
    return true;
}

SendOptions UsageError(std::string strError) {
    SendOptions options;
    options.m_eAction = SendAction::UsageError;
    options.m_strError = std::move(strError);
    return options;
}

// Splits "--name=value" into its parts; a bare "--name" leaves bHasValue false.
struct OptionWord {
    std::string m_strName;
    std::string m_strValue;
    bool m_bHasValue;
};

OptionWord SplitOptionWord(const std::string& strArgument) {
    size_t nEquals = strArgument.find('=');
    if (nEquals == std::string::npos) {
        return {strArgument, std::string(), false};
    }
    return {strArgument.substr(0, nEquals), strArgument.substr(nEquals + 1), true};
}

} // namespace

SendOptions ParseSendOptions(const std::vector<std::string>& arguments,
                             const char* pszEnvironmentPipe) {
    SendOptions options;
    std::string strPipeOption;
    bool bHavePipeOption = false;

    size_t nIndex = 0;
    while (nIndex < arguments.size()) {
        const std::string& strArgument = arguments[nIndex];
        if (strArgument == "--") {
            ++nIndex;
            break;
        }
        if (strArgument.size() < 2 || strArgument[0] != '-') {
            break; // the first COMMAND
        }
        ++nIndex;
        OptionWord word = SplitOptionWord(strArgument);
        if (word.m_strName == "--help" && !word.m_bHasValue) {
            options.m_eAction = SendAction::ShowHelp;
            return options;
        }
        if (word.m_strName == "--version" && !word.m_bHasValue) {
            options.m_eAction = SendAction::ShowVersion;
            return options;
        }
        if (word.m_strName == "--stream" && !word.m_bHasValue) {
            options.m_bStream = true;
            continue;
        }
        if (word.m_strName != "--pipe" && word.m_strName != "--timeout") {
            return UsageError("unknown option '" + strArgument + "' (see --help)");
        }
        if (!word.m_bHasValue) {
            if (nIndex == arguments.size()) {
                return UsageError("option " + word.m_strName + " needs a value");
            }
            word.m_strValue = arguments[nIndex++];
        }
        if (word.m_strName == "--pipe") {
            if (word.m_strValue.empty()) {
                return UsageError("option --pipe needs a non-empty name");
            }
            strPipeOption = word.m_strValue;
            bHavePipeOption = true;
        } else if (!ParseTimeout(word.m_strValue, &options.m_flTimeoutSeconds)) {
            return UsageError("bad timeout '" + word.m_strValue +
                              "': expected seconds from 0 to 86400, such as 2 or 0.5");
        }
    }

    options.m_Commands.assign(arguments.begin() + static_cast<std::ptrdiff_t>(nIndex),
                              arguments.end());
    options.m_bFromStandardInput = options.m_Commands.empty();
    if (options.m_bStream && !options.m_bFromStandardInput) {
        return UsageError("--stream sends standard input and takes no COMMAND");
    }
    if (bHavePipeOption) {
        options.m_strPipeName = strPipeOption;
    } else if (pszEnvironmentPipe != nullptr && pszEnvironmentPipe[0] != '\0') {
        options.m_strPipeName = pszEnvironmentPipe;
    } else {
        options.m_strPipeName = DefaultSendPipeName();
    }
    return options;
}

SendMode ChooseSendMode(const SendOptions& options, bool bInputIsTerminal) {
    if (!options.m_bFromStandardInput) {
        return SendMode::Commands;
    }
    if (options.m_bStream) {
        return SendMode::Stream;
    }
    return bInputIsTerminal ? SendMode::Interactive : SendMode::InputBatch;
}

const char* DefaultSendPipeName() {
    return COMMAND_PIPE_NAME;
}

const char* SendUsageText() {
    return "Usage: tavrel-send [OPTIONS] [--] [COMMAND...]\n"
           "Sends console commands to a running server through its command pipe.\n"
           "\n"
           "Each COMMAND is sent as one message. Without COMMANDs, each line of standard\n"
           "input is one message (a trailing carriage return is dropped, empty lines are\n"
           "skipped). A message holds at most 1022 bytes and no NUL byte; if any message\n"
           "breaks that rule, nothing is sent. Options end at the first COMMAND or at --.\n"
           "\n"
           "Standard input is read to its end before anything is sent, except:\n"
           "  at a terminal, without COMMANDs: an interactive console. Each line is sent\n"
           "    when you enter it, over its own connection; a bad line or an absent or busy\n"
           "    server is reported and the session goes on. quit and exit stop the server,\n"
           "    so they are sent only after you answer y to \"stop the server? [y/N]\".\n"
           "    The end of input (Ctrl-D; Ctrl-Z then Enter on Windows) or Ctrl-C leaves.\n"
           "  with --stream: each line is sent as soon as it arrives. Lines that arrive\n"
           "    together share one connection, released when no line is waiting. A bad or\n"
           "    failed line is reported and skipped; a line whose write fails is sent once\n"
           "    more over a new connection.\n"
           "In both, the exit status is 0 when every line was sent, else that of the last\n"
           "line that failed.\n"
           "\n"
           "Options:\n"
           "  --pipe NAME    pipe to send to (default: $" SEND_PIPE_ENVIRONMENT
           ", else " COMMAND_PIPE_NAME ")\n"
           "  --timeout S    seconds to wait for the server to appear or make room\n"
           "                 (default 5, fractions allowed, 0 = one attempt); in the\n"
           "                 line modes, for each line\n"
           "  --stream       send each line of standard input as it arrives\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Exit status: 0 all sent, 64 usage error, 65 bad message, 69 no server,\n"
           "71 system error, 74 connection broken or input unreadable, 75 server busy\n"
           "until the timeout, 77 server runs as another user.\n";
}
