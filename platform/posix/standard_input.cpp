// Standard input on POSIX systems: read and poll on descriptor 0. Ctrl-C at the prompt is caught
// only for the wait itself, with SIGINT blocked around it, so a Ctrl-C can never fall between
// checking for it and starting to wait.
#include "platform/standard_input.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_nInterrupted = 0;

extern "C" void OnInterrupt(int) {
    g_nInterrupted = 1;
}

// Waits for input with SIGINT caught; false when Ctrl-C came first.
bool WaitUnlessInterrupted() {
    struct sigaction catcher {};
    catcher.sa_handler = OnInterrupt;
    sigemptyset(&catcher.sa_mask);
    struct sigaction previous {};
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    sigdelset(&waiting, SIGINT);
    g_nInterrupted = 0;
    sigaction(SIGINT, &catcher, &previous);

    pollfd poller{};
    poller.fd = STDIN_FILENO;
    poller.events = POLLIN;
    // The mask is lifted only while ppoll waits, so the signal lands there and nowhere else.
    while (ppoll(&poller, 1, nullptr, &waiting) < 0 && errno == EINTR && g_nInterrupted == 0) {
    }
    bool bInterrupted = g_nInterrupted != 0;

    sigaction(SIGINT, &previous, nullptr);
    sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
    return !bInterrupted;
}

} // namespace

bool StandardInputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

InputRead ReadStandardInput(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead,
                            bool bCatchInterrupt) {
    if (bCatchInterrupt && !WaitUnlessInterrupted()) {
        return InputRead::Interrupted;
    }
    ssize_t nRead;
    do {
        nRead = read(STDIN_FILENO, pBuffer, nMaxBytes);
    } while (nRead < 0 && errno == EINTR);
    if (nRead < 0) {
        return InputRead::Failed;
    }
    if (nRead == 0) {
        return InputRead::End;
    }
    *pnRead = static_cast<uint32_t>(nRead);
    return InputRead::Data;
}

bool StandardInputReady() {
    pollfd poller{};
    poller.fd = STDIN_FILENO;
    poller.events = POLLIN;
    int nReady;
    do {
        nReady = poll(&poller, 1, 0);
    } while (nReady < 0 && errno == EINTR);
    // A hang-up or an error is ready too: the read that follows reports it at once.
    return nReady > 0;
}

const char* EndOfInputKeys() {
    return "Ctrl-D";
}
