// Standard input on Linux: read and poll on descriptor 0. Once interrupts are caught,
// SIGINT stays blocked except while ppoll waits for input, so it lands in that wait and nowhere
// else: no Ctrl-C falls between checking for one and starting to wait.
#include "platform/tools/standard_input.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_nInterrupted = 0;
bool g_bCatchingInterrupts = false;
sigset_t g_WaitingMask; // the mask while waiting: as before, with SIGINT let through

extern "C" void OnInterrupt(int) {
    g_nInterrupted = 1;
}

// Waits for input; false when Ctrl-C came first, or came since the last wait.
bool WaitUnlessInterrupted() {
    pollfd poller{};
    poller.fd = STDIN_FILENO;
    poller.events = POLLIN;
    while (g_nInterrupted == 0 && ppoll(&poller, 1, nullptr, &g_WaitingMask) < 0 &&
           errno == EINTR) {
    }
    bool bInterrupted = g_nInterrupted != 0;
    g_nInterrupted = 0;
    return !bInterrupted;
}

} // namespace

bool StandardInputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

void CatchInterrupts() {
    struct sigaction catcher {};
    catcher.sa_handler = OnInterrupt;
    sigemptyset(&catcher.sa_mask);
    sigaction(SIGINT, &catcher, nullptr);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &g_WaitingMask);
    sigdelset(&g_WaitingMask, SIGINT);
    g_bCatchingInterrupts = true;
}

InputRead ReadStandardInput(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead) {
    if (g_bCatchingInterrupts && !WaitUnlessInterrupted()) {
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
