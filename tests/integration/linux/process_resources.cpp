// Counts from /proc/self: one entry per open descriptor, one per thread.
#include "tests/integration/process_resources.h"

#include <dirent.h>

namespace {

int CountEntries(const char* pszDirectory) {
    DIR* pDirectory = opendir(pszDirectory);
    if (pDirectory == nullptr) {
        return -1;
    }
    int nEntries = 0;
    while (const dirent* pEntry = readdir(pDirectory)) {
        if (pEntry->d_name[0] != '.') {
            ++nEntries;
        }
    }
    closedir(pDirectory);
    return nEntries;
}

} // namespace

int CountOpenHandles() {
    // The listing's own descriptor is counted every time alike.
    return CountEntries("/proc/self/fd");
}

int CountThreads() {
    return CountEntries("/proc/self/task");
}
