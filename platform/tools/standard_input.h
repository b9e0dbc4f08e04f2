// Standard input as tavrel-send's line modes read it: whether a person types at it, what has
// arrived so far without waiting for more, and Ctrl-C as a way to leave the prompt. Each platform
// converts its own behaviour (a terminal, a console, a pipe, a file) into the few results below.
//
// Main thread only; one reader at a time.
#pragma once

#include <cstdint>

// True when standard input is a terminal (on Windows, a console).
bool StandardInputIsTerminal();

enum class InputRead {
    Data,        // *pnRead bytes (at least one) are in the buffer
    End,         // the input has ended: end of file, Ctrl-D at a terminal, Ctrl-Z then Enter at a
                 // Windows console
    Interrupted, // Ctrl-C came, during the wait or since the last read; only after CatchInterrupts
    Failed,      // the system refused the read
};

// From now on Ctrl-C no longer ends the program: it ends the current or the next wait of
// ReadStandardInput instead, which reports it once. Whatever runs in between (a send, a wait for
// the server) finishes first. Until this is called, Ctrl-C ends the program as usual.
void CatchInterrupts();

// Waits until something arrives, then returns what has arrived, at most nMaxBytes; never waits
// for a buffer to fill.
InputRead ReadStandardInput(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead);

// True when a read would return at once: bytes, or the end, are waiting. At a Windows console it
// is always false, since a console cannot say whether a whole line is waiting.
bool StandardInputReady();

// The keys that end input at a terminal, for the interactive mode's greeting.
const char* EndOfInputKeys();
