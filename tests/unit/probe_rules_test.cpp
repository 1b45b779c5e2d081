// Which Windows versions get SIO_TCP_INITIAL_RTO's "no SYN retransmissions".
#include "../../adapters/probe_rules.h"

#include <gtest/gtest.h>

TEST(ProbeRules, NoSynRetransmissionsOnlyFromWindows10Build16299)
{
    struct Case {
        int line;
        const char* system;
        unsigned long major, build;
        bool honoured;
    } cases[] = {
        {__LINE__, "Windows 7 / Server 2008 R2 (6.1)", 6, 7601, false},
        {__LINE__, "Windows 8.1 / Server 2012 R2 (6.3)", 6, 9600, false},
        {__LINE__, "Server 2016 (10.0.14393)", 10, 14393, false},
        {__LINE__, "the build before 1709", 10, 16298, false},
        {__LINE__, "Windows 10 1709 (10.0.16299)", 10, 16299, true},
        {__LINE__, "Server 2019 (10.0.17763)", 10, 17763, true},
        {__LINE__, "Server 2022 (10.0.20348)", 10, 20348, true},
        {__LINE__, "Windows 11 (10.0.22631)", 10, 22631, true},
    };
    for (const Case& c : cases) {
        testing::ScopedTrace trace(__FILE__, c.line, c.system);
        EXPECT_EQ(c.honoured, HonoursNoSynRetransmissions(c.major, c.build));
    }
}
