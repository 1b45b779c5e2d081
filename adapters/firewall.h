// The program's pair of inbound firewall rules, through netsh.
#pragma once

#include <string>

// Runs "netsh.exe <arguments>" hidden, from the system directory and with it
// as the current directory; true when it exited with code 0 within 30000 ms.
bool RunNetsh(const std::wstring& arguments);

// Deletes every rule of the program's name, then adds the TCP rule and, when
// that succeeded, the UDP rule. True when both adds succeeded.
bool AddFirewallRules(unsigned long port);

// Reads the rules back through netsh's standard output; true when the port's
// decimal text occurs at least twice in it.
bool VerifyFirewallRules(unsigned long port);
