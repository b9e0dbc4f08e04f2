// Bare sockets for the relay benchmarks: the baselines the module's pipe is measured against,
// and a client that fills the pipe without ever blocking. Each socket is made the way the
// module's own is (sequenced packets in the abstract namespace, non-blocking), so the baseline
// differs from the module's frame only by the module's own work. Descriptors are plain ints;
// whoever receives one closes it with CloseBenchSocket.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A listener bound to the abstract address of pszPipeName ("\\.\pipe\NAME"), or -1.
int OpenBenchListener(const char* pszPipeName);

// One accept of a waiting client, non-blocking: the descriptor, or -1 (errno says why).
int AcceptBenchClient(int nListener);

// A client connected to pszPipeName with room to queue every batch the benchmarks send, or -1.
int ConnectBenchClient(const char* pszPipeName);

// Queues each message as one packet without waiting; false when any could not be queued whole.
bool SendBenchMessages(int nClient, const std::vector<std::string>& messages, size_t nFirst,
                       size_t nCount);

void CloseBenchSocket(int nSocket);

// A pipe name no other process uses: "\\.\pipe\tavrel-bench-<purpose>-<pid>".
std::string PrivateBenchPipeName(const char* pszPurpose);
