// The netsh command lines and the read-back count.
#include "../../adapters/netsh_text.h"

#include <gtest/gtest.h>

TEST(NetshText, CommandLinesAreExact)
{
    EXPECT_EQ(L"advfirewall firewall delete rule name=\"RDP Custom Port (Kestrune)\"", DeleteRuleArgs());
    EXPECT_EQ(L"advfirewall firewall add rule name=\"RDP Custom Port (Kestrune)\" dir=in action=allow "
              L"protocol=TCP localport=50123 profile=any",
              AddRuleArgs(L"TCP", 50123));
    EXPECT_EQ(L"advfirewall firewall add rule name=\"RDP Custom Port (Kestrune)\" dir=in action=allow "
              L"protocol=UDP localport=1024 profile=any",
              AddRuleArgs(L"UDP", 1024));
    EXPECT_EQ(L"advfirewall firewall show rule name=\"RDP Custom Port (Kestrune)\"", ShowRuleArgs());
}

TEST(NetshText, CountsEveryOccurrenceIncludingOverlaps)
{
    struct Case {
        int line;
        const char* output;
        unsigned long port;
        int hits;
    } cases[] = {
        {__LINE__, "", 50123, 0},
        {__LINE__, "LocalPort: 50123\r\nLocalPort: 50123\r\n", 50123, 2},
        {__LINE__, "LocalPort: 50123\r\n", 50123, 1},
        {__LINE__, "LocalPort: 150123\r\n", 50123, 1}, // inside a longer number still counts
        {__LINE__, "11111", 1111, 2},                  // overlapping hits
        {__LINE__, "Rule Name: x\r\nLocalPort: 5012\r\n", 50123, 0},
        {__LINE__, "65535 65535 65535", 65535, 3},
    };
    for (const Case& c : cases) {
        testing::ScopedTrace trace(__FILE__, c.line, c.output);
        EXPECT_EQ(c.hits, CountPortText(c.output, c.port));
    }
}
