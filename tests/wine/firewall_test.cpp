// The firewall adapter against the stand-in netsh: exit codes, the exact
// command lines, the rules left in the store, the read-back count, the
// bounds on a hanging netsh, and that no planted netsh.exe is ever run.
#include "check.h"
#include "prefix.h"
#include "../../adapters/firewall.h"
#include "../../adapters/netsh_text.h"

#include <algorithm>
#include <string>

namespace {

const char kPrefix[] = "netsh.exe advfirewall firewall ";
const wchar_t kPlantedMarker[] = L"C:\\zvtest\\planted.txt";

// The adapter's bounds. Beyond them a hanging run costs only netsh's start
// and the calls around the wait; that start is what a busy moment of this
// 2-core machine stretches, so its allowance is measured in the same run:
// twice the slowest of three whole runs of a netsh that answers, and 200 ms
// more (about 120 ms a run when idle).
const ULONGLONG kRunBoundMs = 30000;
const ULONGLONG kShowBoundMs = 15000;
const ULONGLONG kClockMs = 20;

ULONGLONG Elapsed(ULONGLONG since)
{
    return GetTickCount64() - since;
}

void Fresh()
{
    ClearFirewallStore();
    SetNetshFault(L"");
    RemoveFile(kNetshLog);
}

void ExitCodes()
{
    BeginCase("RunNetsh: true for exit code 0, false otherwise");
    Fresh();
    CHECK(!RunNetsh(L"advfirewall firewall delete rule name=\"nothing of that name\""));
    CHECK(RunNetsh(AddRuleArgs(L"TCP", 40001)));
    CHECK(RunNetsh(L"advfirewall firewall delete rule name=\"RDP Custom Port (Kestrune)\""));
    CHECK(!RunNetsh(L"no such context"));
    CHECK_EQ(std::string(kPrefix) + "delete rule name=\"nothing of that name\"\r\n" + kPrefix +
                 "add rule name=\"RDP Custom Port (Kestrune)\" dir=in action=allow protocol=TCP localport=40001 "
                 "profile=any\r\n" +
                 kPrefix + "delete rule name=\"RDP Custom Port (Kestrune)\"\r\n" + "netsh.exe no such context\r\n",
             ReadWholeFile(kNetshLog));
}

void AddReplacesThePair()
{
    BeginCase("no rule beforehand: the delete fails quietly, both adds run");
    Fresh();
    CHECK(AddFirewallRules(50123));
    const std::string expectedLog = std::string(kPrefix) + "delete rule name=\"RDP Custom Port (Kestrune)\"\r\n" +
                                    kPrefix + "add rule name=\"RDP Custom Port (Kestrune)\" dir=in action=allow "
                                              "protocol=TCP localport=50123 profile=any\r\n" +
                                    kPrefix + "add rule name=\"RDP Custom Port (Kestrune)\" dir=in action=allow "
                                              "protocol=UDP localport=50123 profile=any\r\n";
    CHECK_EQ(expectedLog, ReadWholeFile(kNetshLog));
    std::wstring store = FirewallStore();
    CHECK_EQ(1, Occurrences(store, L"|Protocol=6|LPort=50123|Name=RDP Custom Port (Kestrune)|"));
    CHECK_EQ(1, Occurrences(store, L"|Protocol=17|LPort=50123|Name=RDP Custom Port (Kestrune)|"));
    CHECK(VerifyFirewallRules(50123));

    BeginCase("a second add replaces the pair rather than adding to it");
    CHECK(AddFirewallRules(50124));
    store = FirewallStore();
    CHECK_EQ(2, Occurrences(store, L"Name=RDP Custom Port (Kestrune)|"));
    CHECK_EQ(2, Occurrences(store, L"LPort=50124|"));
    CHECK(VerifyFirewallRules(50124));
    CHECK(!VerifyFirewallRules(50123));

    BeginCase("a rule of another name is left alone");
    Fresh();
    SetString(kFirewallRulesPath, L"{other}", L"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=50123|Name=Other|");
    CHECK(AddFirewallRules(50123));
    CHECK_EQ(1, Occurrences(FirewallStore(), L"Name=Other|"));
}

void FailedAdds()
{
    BeginCase("a failed TCP add: false, no UDP add, no rule of the name left");
    Fresh();
    CHECK(AddFirewallRules(50123));
    SetNetshFault(L"fail-tcp");
    RemoveFile(kNetshLog);
    CHECK(!AddFirewallRules(50125));
    CHECK_EQ(0, Occurrences(FirewallStore(), L"Name=RDP Custom Port (Kestrune)|"));
    const std::string log = ReadWholeFile(kNetshLog);
    CHECK(log.find("protocol=UDP") == std::string::npos);

    BeginCase("a failed UDP add: false, the TCP rule stays");
    Fresh();
    SetNetshFault(L"fail-udp");
    CHECK(!AddFirewallRules(50126));
    const std::wstring store = FirewallStore();
    CHECK_EQ(1, Occurrences(store, L"Name=RDP Custom Port (Kestrune)|"));
    CHECK_EQ(1, Occurrences(store, L"|Protocol=6|LPort=50126|"));
}

void ReadBack()
{
    BeginCase("only one rule shown: count 1, read-back fails");
    Fresh();
    CHECK(AddFirewallRules(50127));
    SetNetshFault(L"show-one");
    CHECK(!VerifyFirewallRules(50127));

    BeginCase("the port inside a longer number counts");
    SetNetshFault(L"long-number");
    CHECK(VerifyFirewallRules(50127));

    BeginCase("no rule at all: false");
    Fresh();
    CHECK(!VerifyFirewallRules(50127));

    BeginCase("overlapping hits: 1111 is found twice in one rule's 11111");
    Fresh();
    CHECK(RunNetsh(AddRuleArgs(L"TCP", 11111)));
    CHECK(VerifyFirewallRules(1111));
    CHECK(!VerifyFirewallRules(11111));
    CHECK_EQ(std::string(kPrefix) + "add rule name=\"RDP Custom Port (Kestrune)\" dir=in action=allow protocol=TCP "
                                    "localport=11111 profile=any\r\n" +
                 kPrefix + "show rule name=\"RDP Custom Port (Kestrune)\"\r\n" + kPrefix +
                 "show rule name=\"RDP Custom Port (Kestrune)\"\r\n",
             ReadWholeFile(kNetshLog));
    Fresh();
}

void PlantedNetshNeverRuns()
{
    BeginCase("a netsh.exe beside the program or in the current directory is never run");
    Fresh();
    RemoveFile(kPlantedMarker);
    RemoveFile(kNetshDirLog);
    const std::wstring beside = ModuleDirectory() + L"\\netsh.exe";
    const std::wstring cwd = L"C:\\zvtest\\cwd";
    CreateDirectoryW(cwd.c_str(), nullptr);
    const std::wstring inCwd = cwd + L"\\netsh.exe";
    CHECK(CopyFileW(L"C:\\zvtest\\planted_netsh.exe", beside.c_str(), FALSE));
    CHECK(CopyFileW(L"C:\\zvtest\\planted_netsh.exe", inCwd.c_str(), FALSE));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(cwd.c_str());

    CHECK(AddFirewallRules(50128));
    CHECK(VerifyFirewallRules(50128));

    SetCurrentDirectoryW(previous);
    CHECK(GetFileAttributesW(kPlantedMarker) == INVALID_FILE_ATTRIBUTES);
    CHECK_EQ(2, Occurrences(FirewallStore(), L"LPort=50128|"));

    BeginCase("netsh runs in the system directory, not in the caller's current directory");
    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, ARRAYSIZE(system));
    const std::string line = ToUtf8(system) + "\r\n";
    // delete, add TCP, add UDP, show
    CHECK_EQ(line + line + line + line, ReadWholeFile(kNetshDirLog));
    // The planted program works when run directly, so its silence above counts.
    CHECK_EQ(0L, RunProcess(L"\"" + inCwd + L"\"", 10000));
    CHECK(GetFileAttributesW(kPlantedMarker) != INVALID_FILE_ATTRIBUTES);
    DeleteFileW(beside.c_str());
    DeleteFileW(inCwd.c_str());
    RemoveFile(kPlantedMarker);
    Fresh();
}

void HangingNetsh()
{
    BeginCase("a netsh that answers, timed for the bounds below");
    Fresh();
    ULONGLONG slowest = 0;
    for (int i = 0; i < 3; ++i) {
        const ULONGLONG t = GetTickCount64();
        RunNetsh(ShowRuleArgs());
        slowest = std::max(slowest, Elapsed(t));
    }
    const ULONGLONG startMs = 2 * slowest + 200;
    PrintLine(L"  slowest of three runs: " + std::to_wstring(slowest) + L" ms; allowance " +
              std::to_wstring(startMs) + L" ms");

    BeginCase("a hanging netsh: RunNetsh gives false after 30 s and leaves it running");
    SetNetshFault(L"hang");
    ULONGLONG t = GetTickCount64();
    CHECK(!RunNetsh(ShowRuleArgs()));
    ULONGLONG took = Elapsed(t);
    CHECK(took + kClockMs >= kRunBoundMs);
    CHECK(took < kRunBoundMs + startMs);
    CHECK_EQ(1, CountProcesses(L"netsh.exe"));
    KillProcesses(L"netsh.exe");

    BeginCase("a hanging netsh: the read-back gives false after 15 s and leaves it running");
    t = GetTickCount64();
    CHECK(!VerifyFirewallRules(50123));
    took = Elapsed(t);
    CHECK(took + kClockMs >= kShowBoundMs);
    CHECK(took < kShowBoundMs + startMs);
    CHECK_EQ(1, CountProcesses(L"netsh.exe"));
    KillProcesses(L"netsh.exe");
    Fresh();
}

} // namespace

int wmain()
{
    ExitCodes();
    AddReplacesThePair();
    FailedAdds();
    ReadBack();
    PlantedNetshNeverRuns();
    HangingNetsh();
    return TestSummary("firewall_test");
}
