// A pipe server of another user: fork, drop to that user, serve with the module's own pipe code.
#include "tests/tools/linux/foreign_server.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/module/command_pipe.h"

CForeignServer::~CForeignServer() {
    if (m_nGoWriter >= 0) {
        close(m_nGoWriter);
    }
    if (m_nPid > 0) {
        kill(m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
    }
}

bool CForeignServer::Start(uid_t nUserId, const std::string& strPipeName) {
    int readyPipe[2];
    int goPipe[2];
    if (pipe2(readyPipe, O_CLOEXEC) != 0) {
        return false;
    }
    if (pipe2(goPipe, O_CLOEXEC) != 0) {
        close(readyPipe[0]);
        close(readyPipe[1]);
        return false;
    }
    m_nPid = fork();
    if (m_nPid == 0) {
        close(readyPipe[0]);
        close(goPipe[1]);
        // The test process has one thread, so the child may run ordinary code after fork.
        if (setgroups(0, nullptr) != 0 || setgid(nUserId) != 0 || setuid(nUserId) != 0) {
            _exit(250);
        }
        CommandPipeHandle hPipe = CreateCommandPipe(strPipeName.c_str());
        if (hPipe == INVALID_COMMAND_PIPE_HANDLE) {
            _exit(251);
        }
        char cByte = 1;
        if (write(readyPipe[1], &cByte, 1) != 1) {
            _exit(252);
        }
        // Blocks until the parent has run its client and lets us look.
        while (read(goPipe[0], &cByte, 1) < 0 && errno == EINTR) {
        }
        int nMessages = 0;
        char buffer[4096];
        uint32_t nRead = 0;
        CommandPipeRead eRead;
        while ((eRead = ReadCommandPipe(hPipe, buffer, sizeof(buffer), &nRead)) ==
               CommandPipeRead::Message) {
            ++nMessages;
        }
        CloseCommandPipe(hPipe);
        _exit(eRead == CommandPipeRead::Failed ? 253 : nMessages);
    }
    close(readyPipe[1]);
    close(goPipe[0]);
    m_nGoWriter = goPipe[1];
    if (m_nPid < 0) {
        close(readyPipe[0]);
        return false;
    }
    char cByte = 0;
    ssize_t nRead;
    do {
        nRead = read(readyPipe[0], &cByte, 1);
    } while (nRead < 0 && errno == EINTR);
    close(readyPipe[0]);
    return nRead == 1;
}

int CForeignServer::CountMessages() {
    if (m_nPid <= 0) {
        return -1;
    }
    close(m_nGoWriter);
    m_nGoWriter = -1;
    int nStatus = 0;
    while (waitpid(m_nPid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    m_nPid = -1;
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) >= 250) {
        return -1;
    }
    return WEXITSTATUS(nStatus);
}
