// Standard input as tavrel-send's line modes read it: whether a person types at it, what has
// arrived so far without waiting for more, and Ctrl-C at the prompt. Each platform converts its
// own behaviour (a terminal, a console, a pipe, a file) into the few results below.
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
    Interrupted, // Ctrl-C ended the wait; only when asked for
    Failed,      // the system refused the read
};

// Waits until something arrives, then returns what has arrived, at most nMaxBytes; never waits
// for a buffer to fill. With bCatchInterrupt, Ctrl-C during the wait ends it with Interrupted;
// otherwise Ctrl-C keeps its usual effect of ending the program.
InputRead ReadStandardInput(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead,
                            bool bCatchInterrupt);

// True when a read would return at once: bytes, or the end, are waiting. At a Windows console it
// is always false, since a console cannot say whether a whole line is waiting.
bool StandardInputReady();

// The keys that end input at a terminal, for the interactive mode's greeting.
const char* EndOfInputKeys();
