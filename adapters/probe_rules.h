// Which systems take SIO_TCP_INITIAL_RTO's "no SYN retransmissions" value as
// meant. Plain logic, no system calls, shared with the native tests.
#pragma once

// True from Windows 10 version 1709 (build 16299) on, where
// TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS means "none". Earlier builds do not
// document the value and may read it as a count of retransmissions, so the
// probe leaves the socket as it is there. major and build as RtlGetVersion
// reports them.
bool HonoursNoSynRetransmissions(unsigned long major, unsigned long build);
