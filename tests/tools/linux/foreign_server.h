// A command-pipe server run by another user in a forked process, for the test that tavrel-send
// gives such a server nothing. Needs root.
#pragma once

#include <string>
#include <sys/types.h>

// It creates the pipe, waits until told to look, then counts the messages that reached it.
class CForeignServer {
public:
    CForeignServer() = default;
    CForeignServer(const CForeignServer&) = delete;
    CForeignServer& operator=(const CForeignServer&) = delete;
    ~CForeignServer();

    // Returns once the pipe exists; false when the child could not become nUserId or create it.
    bool Start(uid_t nUserId, const std::string& strPipeName);
    // Lets the server read what is queued; the number of messages it got, or -1 on failure.
    int CountMessages();

private:
    pid_t m_nPid = -1;
    int m_nGoWriter = -1;
};
