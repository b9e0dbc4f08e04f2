// The built host and module where the runtime library publishes no allocator: the module stays
// inert and serves no plug-in, and the host says so. Runs in the sanitizer build too, where the
// heap-watching module host cannot.
#include "tests/integration/host_process.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AbsentAllocator, HostFindsNoPluginAndSaysSo) {
    std::string errors;
    EXPECT_EQ(RunToEnd({"/usr/bin/env", "TAVREL_TIER0_ALLOCATOR=absent", TAVREL_HOST_PATH,
                        TAVREL_MODULE_PATH},
                       &errors),
              69);
    EXPECT_EQ(errors, "tavrel-host: " TAVREL_MODULE_PATH " serves no ISERVERPLUGINCALLBACKS002\n");
}

} // namespace
