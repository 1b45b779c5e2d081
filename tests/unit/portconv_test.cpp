// The portable conversion must match the 32-bit wcstoul for ASCII text. The
// same table runs against the Windows runtime's own wcstoul under Wine.
#include "../../workflow/portconv.h"
#include "../wine/support/conversion_cases.h"

#include <gtest/gtest.h>

TEST(PortConversion, MatchesThe32BitRuntimeForAscii)
{
    for (const ConversionCase& c : kConversionCases) {
        testing::ScopedTrace trace(kConversionCasesFile, c.line, c.label);
        EXPECT_EQ(c.expected, ConvertPortTextPortable(c.text));
    }
}
