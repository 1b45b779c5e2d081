// Link-time fakes of the adapters and the window's functions.
#include "fake_system.h"

#include "../../adapters/firewall.h"
#include "../../adapters/probes.h"
#include "../../adapters/registry.h"
#include "../../adapters/services.h"
#include "../../workflow/ui.h"

#include <cstdio>
#include <cwchar>

FakeSystem g_fake;

void FakeReset()
{
    g_fake = FakeSystem();
}

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t wc : text) {
        unsigned long c = static_cast<unsigned long>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string BoxCall(const std::wstring& caption, unsigned int flags, const std::wstring& text)
{
    char hex[16];
    snprintf(hex, sizeof hex, "0x%02X", flags);
    return "Box " + Utf8(caption) + " " + hex + ": " + Utf8(text);
}

std::string StatusCall(const std::wstring& text)
{
    return "SetStatus " + Utf8(text);
}

std::vector<std::string> CallsStartingWith(const std::string& prefix)
{
    std::vector<std::string> out;
    for (const std::string& call : g_fake.calls) {
        if (call.compare(0, prefix.size(), prefix) == 0)
            out.push_back(call);
    }
    return out;
}

namespace {

void Record(const std::string& line)
{
    g_fake.calls.push_back(line);
}

std::string WithNumber(const char* name, unsigned long value)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%s(%lu)", name, value);
    return buf;
}

template <typename T>
T Next(std::deque<T>& answers, T fallback)
{
    if (answers.empty())
        return fallback;
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

FakeKey& Key(PortKey key)
{
    return key == PORTKEY_TDS ? g_fake.tds : g_fake.winStations;
}

const char* KeyName(PortKey key)
{
    return key == PORTKEY_TDS ? "Tds" : "WinStations";
}

} // namespace

// Registry

bool ReadPort(unsigned long& port)
{
    Record("ReadPort");
    const FakeKey& key = g_fake.winStations;
    // A value longer than the 4-byte buffer fails the query (ERROR_MORE_DATA)
    // before the type is looked at.
    if (!key.exists || key.tooLong)
        return false;
    port = key.value;
    return key.isDword;
}

bool WritePortNumber(PortKey which, unsigned long port)
{
    Record(std::string("WritePortNumber(") + KeyName(which) + "," + std::to_string(port) + ")");
    FakeKey& key = Key(which);
    if (!key.exists)
        return true;
    if (key.writeFails)
        return false;
    if (!key.ignoresWrites)
        key.value = port;
    return true;
}

bool QueryPortNumber(PortKey which, unsigned long& port)
{
    Record(std::string("QueryPortNumber(") + KeyName(which) + ")");
    const FakeKey& key = Key(which);
    if (!key.exists || key.tooLong)
        return false;
    port = key.value;
    return true;
}

// Probes

bool CanConnectLocal(unsigned short port)
{
    Record(WithNumber("CanConnectLocal", port));
    return Next(g_fake.connectAnswers, false);
}

bool IsPortListening(unsigned short port)
{
    Record(WithNumber("IsPortListening", port));
    return Next(g_fake.tableAnswers, false);
}

// Services

void StartSvc(const wchar_t* name)
{
    Record("StartSvc " + Utf8(name));
}

void StopSvc(const wchar_t* name)
{
    Record("StopSvc " + Utf8(name));
}

bool WaitSvcRunning(const wchar_t* name, int polls)
{
    Record("WaitSvcRunning " + Utf8(name) + " " + std::to_string(polls));
    return Next(g_fake.runningAnswers, true);
}

// Firewall

bool AddFirewallRules(unsigned long port)
{
    Record(WithNumber("AddFirewallRules", port));
    return Next(g_fake.addAnswers, true);
}

bool VerifyFirewallRules(unsigned long port)
{
    Record(WithNumber("VerifyFirewallRules", port));
    return Next(g_fake.verifyAnswers, true);
}

// Window

void SetStatus(const wchar_t* text)
{
    Record(StatusCall(text));
}

void PumpWait(int ticks)
{
    Record("PumpWait(" + std::to_string(ticks) + ")");
}

void PumpWaitMs(int budgetMs)
{
    Record("PumpWaitMs(" + std::to_string(budgetMs) + ")");
}

void FillCurrentPort()
{
    Record("FillCurrentPort");
}

void ReadNewPortText(wchar_t* buffer, int count)
{
    Record("ReadNewPortText(" + std::to_string(count) + ")");
    // Like GetDlgItemTextW: at most count - 1 characters and a NUL.
    size_t n = g_fake.newPortText.size();
    if (n > static_cast<size_t>(count - 1))
        n = static_cast<size_t>(count - 1);
    wmemcpy(buffer, g_fake.newPortText.data(), n);
    buffer[n] = L'\0';
}

int ShowMessage(const wchar_t* text, const wchar_t* caption, unsigned int flags)
{
    Record(BoxCall(caption, flags, text));
    return Next(g_fake.boxAnswers, 1);
}
