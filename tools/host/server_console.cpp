// Command buffer, line splitting and the console's own commands.
#include "tools/host/server_console.h"

#include <algorithm>
#include <cctype>

namespace {

const char BLANKS[] = " \t\r";

bool SameName(const std::string& left, const std::string& right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

ServerConsole::ServerConsole(std::ostream& output) : m_Output(output) {
    auto quit = [](ServerConsole& console, const std::string&) { console.RequestQuit(); };
    AddCommand("quit", "stop the server", quit);
    AddCommand("exit", "stop the server", quit);
    AddCommand(
        "echo", "print the rest of the line",
        [](ServerConsole& console, const std::string& arguments) { console.Print(arguments); });
    AddCommand("help", "list the commands", [](ServerConsole& console, const std::string&) {
        for (const Command& command : console.m_Commands) {
            console.Print("  " + command.m_strName + " - " + command.m_strHelp);
        }
    });
}

void ServerConsole::AddCommand(const std::string& name, const std::string& help,
                               CommandHandler handler) {
    for (Command& command : m_Commands) {
        if (SameName(command.m_strName, name)) {
            command = Command{name, help, std::move(handler)};
            return;
        }
    }
    m_Commands.push_back(Command{name, help, std::move(handler)});
}

void ServerConsole::AddText(const char* pszText) {
    m_strBuffer += pszText;
    // Text without a final line break still ends its command.
    if (!m_strBuffer.empty() && m_strBuffer.back() != '\n') {
        m_strBuffer += '\n';
    }
}

void ServerConsole::Execute() {
    std::string pending;
    pending.swap(m_strBuffer);
    size_t nStart = 0;
    // Nothing runs after quit: the server is going down.
    while (nStart < pending.size() && !m_bQuitRequested) {
        size_t nEnd = pending.find('\n', nStart);
        ExecuteLine(pending.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
}

void ServerConsole::Print(const std::string& line) {
    m_Output << line << std::endl;
}

void ServerConsole::ExecuteLine(const std::string& line) {
    size_t nFirst = line.find_first_not_of(BLANKS);
    if (nFirst == std::string::npos) {
        return;
    }
    std::string text = line.substr(nFirst, line.find_last_not_of(BLANKS) + 1 - nFirst);
    Print("] " + text);

    size_t nNameEnd = text.find_first_of(BLANKS);
    std::string name = text.substr(0, nNameEnd);
    std::string arguments;
    if (nNameEnd != std::string::npos) {
        arguments = text.substr(text.find_first_not_of(BLANKS, nNameEnd));
    }
    if (const Command* pCommand = FindCommand(name)) {
        // A copy, because the handler may add commands and so move the one running.
        CommandHandler handler = pCommand->m_Handler;
        handler(*this, arguments);
        return;
    }
    // Console variables come after the commands.
    if (m_NameHandler) {
        NameHandler handler = m_NameHandler;
        if (handler(*this, name, arguments)) {
            return;
        }
    }
    Print("Unknown command \"" + name + "\"");
}

const ServerConsole::Command* ServerConsole::FindCommand(const std::string& name) const {
    for (const Command& command : m_Commands) {
        if (SameName(command.m_strName, name)) {
            return &command;
        }
    }
    return nullptr;
}
