// The netsh command lines and the read-back count. Plain text handling, no
// system calls, so it is shared by the Windows build and the native tests.
#pragma once

#include <string>

extern const wchar_t kRuleName[];

std::wstring DeleteRuleArgs();
std::wstring AddRuleArgs(const wchar_t* protocol, unsigned long port);
std::wstring ShowRuleArgs();

// How often the port's decimal text ("%lu") occurs in output, counting
// overlapping hits: after a hit at offset p the search goes on at p + 1.
int CountPortText(const std::string& output, unsigned long port);
