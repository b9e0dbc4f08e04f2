// The portable share of the tavrel-send tests' plumbing.
#include "tests/tools/send_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>

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
