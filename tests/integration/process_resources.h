// What a process holds from the system, for tests that look for growth across many cycles.
#pragma once

// Open descriptors (POSIX) or handles (Windows) of this process; -1 when the system will not say.
int CountOpenHandles();

// Threads of this process; -1 when the system will not say.
int CountThreads();
