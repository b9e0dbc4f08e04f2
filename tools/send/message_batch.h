// The messages of one run, taken from the command line or from standard input, and the checks
// every one of them passes before anything is sent.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct MessageBatch {
    std::vector<std::string> m_Messages;
    // Where each message came from, counted from 1: its COMMAND position, or its input line.
    std::vector<size_t> m_Origins;
    bool m_bFromInputLines = false;
};

// One message per command; empty commands carry nothing and are left out.
MessageBatch BatchFromCommands(const std::vector<std::string>& commands);

// The line of strInput from nStart up to nEnd (its "\n", or the end of the input), without one
// "\r" right before nEnd.
std::string LineText(const std::string& strInput, size_t nStart, size_t nEnd);

// One message per line: "\n" ends a line, one "\r" before it (or before the end) is dropped,
// and empty lines are left out. Lines may hold any byte, NUL included.
MessageBatch BatchFromInput(const std::string& strInput);

// Empty when every message may be sent. Otherwise one line naming the first bad message (its
// origin and first characters) and what is wrong with it: longer than 1022 bytes, or a NUL byte,
// which the server would cut the command at.
std::string FindBadMessage(const MessageBatch& batch);
