// The command line of tavrel-send. Parsing is pure: the environment's pipe name is passed in, and
// errors come back as text for the caller to print.
#pragma once

#include <string>
#include <vector>

#define SEND_PIPE_ENVIRONMENT "TAVREL_PIPE"

constexpr double DEFAULT_SEND_TIMEOUT_SECONDS = 5.0;
// A day is far beyond any useful wait and keeps the deadline arithmetic in range.
constexpr double MAX_SEND_TIMEOUT_SECONDS = 86400.0;

enum class SendAction {
    Send,        // deliver the messages
    ShowHelp,    // print the usage text to standard output
    ShowVersion, // print the version to standard output
    UsageError,  // m_strError says what was wrong
};

struct SendOptions {
    SendAction m_eAction = SendAction::Send;
    std::string m_strPipeName;
    double m_flTimeoutSeconds = DEFAULT_SEND_TIMEOUT_SECONDS;
    // True when no COMMAND was given: the messages are the lines of standard input.
    bool m_bFromStandardInput = true;
    // --stream: each line of standard input is sent as it arrives.
    bool m_bStream = false;
    std::vector<std::string> m_Commands;
    std::string m_strError;
};

// Parses the arguments after the program name. Options end at "--" or at the first COMMAND, so
// every later argument is a command even when it starts with '-'. pszEnvironmentPipe may be null;
// an empty one counts as unset. The --pipe option wins over it.
SendOptions ParseSendOptions(const std::vector<std::string>& arguments,
                             const char* pszEnvironmentPipe);

enum class SendMode {
    Commands,    // the COMMANDs, all or nothing, over one connection
    InputBatch,  // every line of standard input once it has ended, all or nothing
    Stream,      // each line of standard input as it arrives
    Interactive, // a prompt at the terminal, each line as it is entered
};

// A person at a terminal who gives no COMMAND gets the interactive mode; otherwise standard
// input is read whole, unless --stream asks for it line by line.
SendMode ChooseSendMode(const SendOptions& options, bool bInputIsTerminal);

// The pipe used when neither --pipe nor the environment names one.
const char* DefaultSendPipeName();

const char* SendUsageText();
