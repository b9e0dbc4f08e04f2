// Unique pipe names from a per-process random stem and a counter.
#include "tests/support/unique_pipe_name.h"

#include <atomic>
#include <random>

std::string UniquePipeName(const char* pszPurpose) {
    static const unsigned int s_nStem = std::random_device{}();
    static std::atomic<unsigned int> s_nCounter{0};
    return std::string("\\\\.\\pipe\\tavrel-") + pszPurpose + "-" + std::to_string(s_nStem) + "-" +
           std::to_string(s_nCounter++);
}
