// Running another program with its standard streams connected to ours, as the tools' tests need
// to drive the stand-in host and the client the way a user would. One thread per child.
//
// A child is owned by whoever started it and must be released exactly once with
// ReleaseChildProcess. Writing to a child that closed its input fails instead of ending us.
#pragma once

#include <string>
#include <vector>

struct ChildProcess;

// Starts the program at arguments[0] (a path) with the rest as its arguments. Its standard input,
// output and error are pipes to us. Null on failure, with the system's reason in *pError when
// pError is not null.
ChildProcess* StartChildProcess(const std::vector<std::string>& arguments, std::string* pError);

enum class ChildOutputRead {
    Line,     // *pLine holds the next line of standard output, without its line break
    Ended,    // the child closed its output and every line has been read
    TimedOut, // no whole line arrived in time
};

ChildOutputRead ReadChildOutputLine(ChildProcess* pChild, std::string* pLine, int nTimeoutMs);

// False when the child no longer reads its input.
bool WriteChildInput(ChildProcess* pChild, const std::string& text);

// The child sees the end of its input.
void CloseChildInput(ChildProcess* pChild);

enum class ChildStopRequest {
    Interrupt, // as Ctrl-C at its terminal; the child may catch it
    // As the system asks a program to end: SIGTERM, which the child may catch. A Windows console
    // program has no such request; there the child ends at once and reports 128 + 15.
    Terminate,
};

// On Windows every child has a console of its own, so that an Interrupt reaches it alone; sending
// one moves this process off its own console for good.
void RequestChildStop(ChildProcess* pChild, ChildStopRequest request);

// True, with the exit code in *pnExitCode, once the child has ended; false if it is still running
// after nTimeoutMs. A child ended by a signal reports 128 plus the signal's number.
bool WaitForChildExit(ChildProcess* pChild, int nTimeoutMs, int* pnExitCode);

// What the child wrote to its standard error; complete once it has exited.
std::string ReadChildErrors(ChildProcess* pChild);

// Kills the child if it still runs, waits for it and releases everything. pChild may be null.
void ReleaseChildProcess(ChildProcess* pChild);
