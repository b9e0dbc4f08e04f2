// Pipe names that no other test, or other run of the same test, is using.
#pragma once

#include <string>

// "\\.\pipe\tavrel-<purpose>-<process id>-<counter>"
std::string UniquePipeName(const char* pszPurpose);
