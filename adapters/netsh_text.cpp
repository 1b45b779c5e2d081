// The netsh command lines and the read-back count.
#include "netsh_text.h"

#include "../common/format.h"

#include <cstdio>

const wchar_t kRuleName[] = L"RDP Custom Port (Kestrune)";

std::wstring DeleteRuleArgs()
{
    wchar_t line[512];
    FormatText(line, L"advfirewall firewall delete rule name=\"%ls\"", kRuleName);
    return line;
}

std::wstring AddRuleArgs(const wchar_t* protocol, unsigned long port)
{
    wchar_t line[512];
    FormatText(line,
               L"advfirewall firewall add rule name=\"%ls\" dir=in action=allow protocol=%ls localport=%lu profile=any",
               kRuleName, protocol, port);
    return line;
}

std::wstring ShowRuleArgs()
{
    wchar_t line[512];
    FormatText(line, L"advfirewall firewall show rule name=\"%ls\"", kRuleName);
    return line;
}

int CountPortText(const std::string& output, unsigned long port)
{
    char digits[16];
    snprintf(digits, sizeof digits, "%lu", port);
    int hits = 0;
    for (size_t at = output.find(digits); at != std::string::npos; at = output.find(digits, at + 1))
        ++hits;
    return hits;
}
