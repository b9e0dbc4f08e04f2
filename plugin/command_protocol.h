// What the command pipe's two ends agree on: the pipe's name and the longest message the relay
// issues. The module, the tools, the tests and the benchmarks take them from here alone.
#pragma once

#include <cstdint>

// A string literal, so that programs can splice it into their usage texts.
#define COMMAND_PIPE_NAME "\\\\.\\pipe\\ZivireDadedez"

enum : uint32_t {
    // A longer message is discarded whole, never issued in part.
    COMMAND_MESSAGE_MAX = 1022,
};
