// The portable share of the tavrel-send tests' plumbing.
#include "tests/tools/send_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

std::string UniquePipeName(const std::string& strTag) {
    static const unsigned int s_nStem = std::random_device{}();
    static std::atomic<unsigned int> s_nCounter{0};
    return "tavrel-test-" + strTag + "-" + std::to_string(s_nStem) + "-" +
           std::to_string(++s_nCounter);
}

void ExpectOneErrorLine(const ProcessResult& result, const std::string& strMentions) {
    const std::string& strErr = result.m_strStderr;
    ASSERT_FALSE(strErr.empty());
    EXPECT_EQ(strErr.rfind("tavrel-send: ", 0), 0u) << strErr;
    EXPECT_EQ(strErr.find('\n'), strErr.size() - 1) << strErr;
    EXPECT_NE(strErr.find(strMentions), std::string::npos) << strErr;
}

std::vector<std::string> ServeUntilClientLeaves(CommandPipeHandle hServer) {
    std::vector<std::string> messages;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        char buffer[4096];
        uint32_t nRead = 0;
        CommandPipeRead eRead = ReadCommandPipe(hServer, buffer, sizeof(buffer), &nRead);
        if (eRead == CommandPipeRead::Message) {
            messages.emplace_back(buffer, nRead);
            continue;
        }
        if (eRead == CommandPipeRead::ClientGone) {
            RecycleCommandPipe(hServer);
            return messages;
        }
        if (eRead != CommandPipeRead::NoData || std::chrono::steady_clock::now() > giveUp) {
            ADD_FAILURE() << "no client came and left; read result " << static_cast<int>(eRead);
            return messages;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
