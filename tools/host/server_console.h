// The stand-in host's console: a command buffer that text from the module and lines typed at the
// host's own input both go through, as on a server. Each line runs as one command; the console
// echoes it first as "] LINE", so a reader of the output can tell commands from their results.
// Host thread only.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

class ServerConsole {
public:
    // arguments is the rest of the line after the command's name, without leading blanks.
    using CommandHandler =
        std::function<void(ServerConsole& console, const std::string& arguments)>;
    // Asked about a name that is no command, as a server asks its console variables; true when
    // it knew the name.
    using NameHandler = std::function<bool(ServerConsole& console, const std::string& name,
                                           const std::string& arguments)>;

    // Prints to output, flushing after every line. Comes with quit, exit, echo and help.
    explicit ServerConsole(std::ostream& output);

    // A later command of the same name (names ignore letter case) replaces the earlier one.
    void AddCommand(const std::string& name, const std::string& help, CommandHandler handler);

    // Replaces the handler for names that are no command; a null one leaves them unknown.
    void SetNameHandler(NameHandler handler) { m_NameHandler = std::move(handler); }

    // Queues text to run at the next Execute. It may hold several lines; a line break ends each.
    void AddText(const char* pszText);

    // Runs every queued line, in order, skipping blank ones, until one asks to quit. Text queued
    // by a command while this runs waits for the next call.
    void Execute();

    // Prints one line and flushes.
    void Print(const std::string& line);

    void RequestQuit() { m_bQuitRequested = true; }
    bool QuitRequested() const { return m_bQuitRequested; }

private:
    struct Command {
        std::string m_strName;
        std::string m_strHelp;
        CommandHandler m_Handler;
    };

    void ExecuteLine(const std::string& line);
    const Command* FindCommand(const std::string& name) const;

    std::ostream& m_Output;
    std::vector<Command> m_Commands;
    NameHandler m_NameHandler;
    std::string m_strBuffer;
    bool m_bQuitRequested = false;
};
