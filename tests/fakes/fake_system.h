// Link-time fakes of the adapters and the window's functions for the native
// tests. Each fake records its call, with its arguments, as one UTF-8 line in
// g_fake.calls, and answers from the scripted state below.
#pragma once

#include <deque>
#include <string>
#include <vector>

struct FakeKey {
    bool exists = true;        // false: the key opens neither for reading nor writing
    bool isDword = true;       // false: ReadPort sees another type (the data still lands)
    bool tooLong = false;      // value longer than 4 bytes: every 4-byte query fails, ReadPort's too
    bool writeFails = false;   // the key opens, the write is refused
    bool ignoresWrites = false; // the write "succeeds" but the value does not change
    unsigned long value = 3389;
};

struct FakeSystem {
    std::wstring newPortText;
    FakeKey winStations;
    FakeKey tds;

    // Answers consumed in order; when a queue is empty the default applies.
    std::deque<bool> connectAnswers;   // CanConnectLocal, default false
    std::deque<bool> tableAnswers;     // IsPortListening, default false
    std::deque<bool> runningAnswers;   // WaitSvcRunning, default true
    std::deque<bool> addAnswers;       // AddFirewallRules, default true
    std::deque<bool> verifyAnswers;    // VerifyFirewallRules, default true
    std::deque<int> boxAnswers;        // ShowMessage, default IDOK (1)

    std::vector<std::string> calls;
};

extern FakeSystem g_fake;

void FakeReset();

// UTF-8 of a wide string, for readable test output.
std::string Utf8(const std::wstring& text);

// The line ShowMessage records: "Box <caption> 0x<flags>: <text>".
std::string BoxCall(const std::wstring& caption, unsigned int flags, const std::wstring& text);
std::string StatusCall(const std::wstring& text);

// The recorded calls whose line begins with prefix, in order.
std::vector<std::string> CallsStartingWith(const std::string& prefix);

