// Internal to the stand-in: the allocator object and its counters.
#pragma once

#include "host/runtime_library.h"

HostAllocator* StandInAllocator();
void ResetAllocatorCounts();

// True when the environment variable pszName holds exactly pszValue.
bool EnvironmentSays(const char* pszName, const char* pszValue);
