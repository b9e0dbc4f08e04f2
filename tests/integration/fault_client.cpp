// A misbehaving command-pipe client for the fault tests, run as a process of its own so that it
// can be killed or left hanging:
//   fault_client endless PIPE TAG   sends "echo TAG-0", "echo TAG-1", ... until killed
//   fault_client silent PIPE        connects, says "connected", writes nothing until its input ends
#include "tests/support/test_client.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

int main(int nArgs, char** ppArgs) {
    if (nArgs < 3) {
        std::fprintf(stderr, "usage: fault_client endless PIPE TAG | silent PIPE\n");
        return 64;
    }
    CTestClient client;
    if (!client.Connect(ppArgs[2])) {
        std::fprintf(stderr, "fault_client: cannot connect to %s\n", ppArgs[2]);
        return 69;
    }
    if (std::strcmp(ppArgs[1], "endless") == 0 && nArgs == 4) {
        for (unsigned long nMessage = 0;; ++nMessage) {
            if (!client.Send("echo " + std::string(ppArgs[3]) + "-" + std::to_string(nMessage))) {
                return 74;
            }
        }
    }
    if (std::strcmp(ppArgs[1], "silent") == 0 && nArgs == 3) {
        std::printf("connected\n");
        std::fflush(stdout);
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    }
    return 64;
}
