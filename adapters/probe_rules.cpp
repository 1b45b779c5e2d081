// Which systems take SIO_TCP_INITIAL_RTO's "no SYN retransmissions" value as
// meant.
#include "probe_rules.h"

namespace {

const unsigned long kFirstBuildWithNoRetransmissions = 16299; // Windows 10 version 1709

} // namespace

bool HonoursNoSynRetransmissions(unsigned long major, unsigned long build)
{
    return major == 10 && build >= kFirstBuildWithNoRetransmissions;
}
