// A command pipe in memory for the relay fuzzer: clients queue in connect order, the server takes
// one at a time, as the real pipe does, with no process or socket involved.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

struct FakePipeClient {
    std::deque<std::string> m_Messages; // written, not yet read
    bool m_bGone = false;
};

// Clients connected and not yet recycled; the front one is being served once accepted.
std::deque<FakePipeClient>& FakePipeClients();
bool FakePipeFrontAccepted();
// Resets everything, the pipe closed.
void ResetFakePipe();
