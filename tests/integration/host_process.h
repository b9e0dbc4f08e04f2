// Driving the built tavrel-host as a user does: start it, read its console line by line, and
// run clients to their end beside it.
#pragma once

#include "platform/tools/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern const char HOST_PIPE_NAME[];
// Only a guard against a hung child; nothing here depends on how fast anything runs.
constexpr int HOST_WAIT_MS = 30000;

// Runs a program to its end and returns its exit code, or -1 when it would not start or end. Its
// standard error goes to *pErrors when given; otherwise a non-zero exit fails the test with it.
int RunToEnd(const std::vector<std::string>& arguments, std::string* pErrors = nullptr);

// One command through the built tavrel-send; fails the test unless it was sent.
void SendWithTavrelSend(const std::string& command);

class HostProcess : public testing::Test {
protected:
    void TearDown() override { ReleaseChildProcess(m_pHost); }

    // Starts the built tavrel-host with these arguments.
    void StartHost(std::vector<std::string> arguments);

    // Reads the host's output up to the next line that equals (or, with bPrefix, starts with)
    // expected; the lines in between are skipped, so a sequence of these checks their order.
    testing::AssertionResult SeeLine(const std::string& expected, bool bPrefix = false);

    // Reads the next line and checks that it is the host's status with this many commands
    // relayed (any number when negative); the frames and seconds depend on the run.
    testing::AssertionResult SeeStatus(int nCommandsRelayed);

    // Starts the host and waits for the banner that says the plug-in loaded.
    void StartAndAwaitBanner(const std::vector<std::string>& arguments = {});

    int HostExitCode();

    std::string SeenSoFar() const;

    ChildProcess* m_pHost = nullptr;
    std::vector<std::string> m_SeenLines;
};
