// Service control against the stand-in Remote Desktop services, and the
// restart chain's order as the stand-ins log it.
#include "check.h"
#include "prefix.h"
#include "../../adapters/probes.h"
#include "../../adapters/services.h"
#include "../../shell/window.h"
#include "../../workflow/restart.h"

#include <algorithm>
#include <initializer_list>
#include <string>

HWND g_hwnd = nullptr;

namespace {

const wchar_t* const kChain[] = {L"TermService", L"UmRdpService", L"SessionEnv"};

// Time bounds come from the adapters' schedule: each pass sleeps 500 ms.
// The calls to the manager around a sleep take a few milliseconds under
// Wine. Starting a stand-in's process is what a busy moment of this 2-core
// machine stretches (about 150 ms when idle, seconds now and then), so its
// allowance is measured in this run, before the cases that need it: twice
// the slowest of three plain starts, and 100 ms more. A bound then still
// tells one poll of 500 ms too many whenever the machine is as quick as it
// was a moment before.
const ULONGLONG kPollMs = 500;
const ULONGLONG kCallsMs = 100;      // the manager calls of one pass
const ULONGLONG kClockMs = 20;       // the tick count's steps
ULONGLONG g_processMs = 0;           // a stand-in's process starting, measured

ULONGLONG Elapsed(ULONGLONG since)
{
    return GetTickCount64() - since;
}

// Dependents first, as Windows' manager demands (UmRdpService depends on
// TermService; Wine does not enforce it).
void StopAll()
{
    for (const wchar_t* name : {L"UmRdpService", L"SessionEnv", L"TermService"})
        StopServiceNow(name, 5000);
}

bool SetStartType(const wchar_t* name, DWORD startType)
{
    SC_HANDLE hScm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE hSvc = hScm ? OpenServiceW(hScm, name, SERVICE_CHANGE_CONFIG) : nullptr;
    BOOL ok = hSvc && ChangeServiceConfigW(hSvc, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
    if (hSvc)
        CloseServiceHandle(hSvc);
    if (hScm)
        CloseServiceHandle(hScm);
    return ok != FALSE;
}

// From StartSvc to RUNNING for the stand-in, slowest of three.
ULONGLONG MeasureProcessStart()
{
    ULONGLONG slowest = 0;
    for (int i = 0; i < 3; ++i) {
        StopAll();
        ResetStandIns();
        const ULONGLONG t = GetTickCount64();
        StartSvc(L"TermService");
        if (!CHECK(WaitServiceState(L"TermService", SERVICE_RUNNING, 20000)))
            return 20000;
        slowest = std::max(slowest, Elapsed(t));
    }
    StopAll();
    ResetStandIns();
    return slowest;
}

void StopAndStart()
{
    BeginCase("a stand-in's process start, measured for the bounds below");
    const ULONGLONG measured = MeasureProcessStart();
    g_processMs = 2 * measured + 100;
    PrintLine(L"  slowest of three starts: " + std::to_wstring(measured) + L" ms; allowance " +
              std::to_wstring(g_processMs) + L" ms");

    BeginCase("StopSvc on a service that stops within 500 ms: at most one sleep, stopped");
    StopAll();
    ResetStandIns();
    StartSvc(L"TermService");
    CHECK(WaitServiceState(L"TermService", SERVICE_RUNNING, 5000));
    ULONGLONG t = GetTickCount64();
    StopSvc(L"TermService");
    ULONGLONG took = Elapsed(t);
    // One sleep while the control is answered STOP_PENDING; none when the
    // stand-in has already stopped by the time the manager answers (seen in
    // a CI run: 0 sleeps). The sleep itself is shown by the slow stopper
    // below, whose control is always answered STOP_PENDING.
    CHECK(took < 2 * kPollMs); // a second sleep would make it 1000
    CHECK_EQ(SERVICE_STOPPED, static_cast<long long>(ServiceState(L"TermService")));
    CHECK_EQ(1, Occurrences(ReadWholeFile(kServiceLog), "TermService stopped"));

    BeginCase("StopSvc on the stopped service: the refused control ends it without a sleep");
    t = GetTickCount64();
    StopSvc(L"TermService");
    CHECK(Elapsed(t) < kPollMs);
    CHECK_EQ(SERVICE_STOPPED, static_cast<long long>(ServiceState(L"TermService")));

    BeginCase("StartSvc starts; WaitSvcRunning on a running service answers at once");
    ResetStandIns();
    StartSvc(L"TermService");
    CHECK(WaitServiceState(L"TermService", SERVICE_RUNNING, 5000));
    t = GetTickCount64();
    CHECK(WaitSvcRunning(L"TermService", 20));
    CHECK(Elapsed(t) < kPollMs);

    BeginCase("StartSvc on a running service has no effect");
    StartSvc(L"TermService");
    Sleep(300);
    CHECK_EQ(SERVICE_RUNNING, static_cast<long long>(ServiceState(L"TermService")));
    CHECK_EQ(1, Occurrences(ReadWholeFile(kServiceLog), "TermService start"));

    BeginCase("StopSvc on a slow stopper ends when the manager refuses the second control");
    SetStandIn(L"TermService", L"StopDelayMs", 2500);
    t = GetTickCount64();
    StopSvc(L"TermService");
    took = Elapsed(t);
    CHECK(took + kClockMs >= kPollMs);
    CHECK(took < 2 * kPollMs);
    CHECK_EQ(SERVICE_STOP_PENDING, static_cast<long long>(ServiceState(L"TermService")));
    CHECK(WaitServiceState(L"TermService", SERVICE_STOPPED, 5000));

    BeginCase("WaitSvcRunning starts a service itself once its stop has ended");
    // Still stopping when it is started, as in the chain after a slow stop:
    // the start is refused, and only WaitSvcRunning's own start brings it up.
    ResetStandIns();
    const DWORD kStopDelayMs = 1500;
    SetStandIn(L"TermService", L"StopDelayMs", kStopDelayMs);
    StartSvc(L"TermService");
    CHECK(WaitServiceState(L"TermService", SERVICE_RUNNING, 5000));
    StopSvc(L"TermService");
    StartSvc(L"TermService");
    CHECK_EQ(SERVICE_STOP_PENDING, static_cast<long long>(ServiceState(L"TermService")));
    t = GetTickCount64();
    CHECK(WaitSvcRunning(L"TermService", 20));
    took = Elapsed(t);
    CHECK_EQ(SERVICE_RUNNING, static_cast<long long>(ServiceState(L"TermService")));
    CHECK_EQ(2, Occurrences(ReadWholeFile(kServiceLog), "TermService start"));
    // What is left of the stop, then at most one poll until the start is
    // seen, and the start itself.
    CHECK(took < kStopDelayMs + kPollMs + g_processMs + kCallsMs);
    StopAll();
    ResetStandIns();

    BeginCase("a slow start is awaited");
    const DWORD kStartDelayMs = 1200;
    SetStandIn(L"TermService", L"StartDelayMs", kStartDelayMs);
    t = GetTickCount64();
    StartSvc(L"TermService");
    CHECK(WaitSvcRunning(L"TermService", 20));
    const ULONGLONG start = Elapsed(t);
    CHECK(start + kClockMs >= kStartDelayMs);
    CHECK(start < kStartDelayMs + kPollMs + g_processMs + kCallsMs);
    StopAll();
    ResetStandIns();

    BeginCase("an unknown service: nothing to wait for");
    t = GetTickCount64();
    StartSvc(L"ZvNoSuchService");
    StopSvc(L"ZvNoSuchService");
    CHECK(!WaitSvcRunning(L"ZvNoSuchService", 20));
    CHECK(Elapsed(t) < kPollMs);
}

void DisabledServiceNeverRuns()
{
    BeginCase("WaitSvcRunning on a disabled service: false after 20 polls of 500 ms");
    StopAll();
    CHECK(SetStartType(L"TermService", SERVICE_DISABLED));
    ULONGLONG t = GetTickCount64();
    CHECK(!WaitSvcRunning(L"TermService", 20));
    const ULONGLONG took = Elapsed(t);
    CHECK(took + kClockMs >= 20 * kPollMs);
    CHECK(took < 20 * (kPollMs + kCallsMs));
    CHECK_EQ(0, Occurrences(ReadWholeFile(kServiceLog), "TermService start"));
    CHECK(SetStartType(L"TermService", SERVICE_DEMAND_START));
}

void ChainOrderAndListener()
{
    BeginCase("the restart chain stops the companions first and moves the listener");
    ResetStandIns();
    ResetPortKeys(3389);
    for (const wchar_t* name : kChain)
        StartSvc(name);
    for (const wchar_t* name : kChain)
        CHECK(WaitServiceState(name, SERVICE_RUNNING, 5000));
    CHECK(IsPortListening(3389));
    RemoveFile(kServiceLog);

    SetDword(kWinStationsPath, L"PortNumber", 50123);
    bool svcRunning = false, listening = false;
    ULONGLONG t = GetTickCount64();
    RestartAndConfirm(50123, svcRunning, listening);
    const ULONGLONG took = Elapsed(t);
    CHECK(svcRunning);
    CHECK(listening);
    // The status line's 3 ticks, the 800 ms pause and the 2000 ms before the
    // first probe are always slept. Each of the three stops sleeps once,
    // unless the manager's answer to the control already says STOPPED (a
    // stand-in can stop that fast, seen once in a loaded run); then at most
    // one poll of WaitSvcRunning and the three processes starting.
    const ULONGLONG certain = 150 + 800 + 2000;
    const ULONGLONG idle = certain + 3 * kPollMs;
    PrintLine(L"  the restart stage took " + std::to_wstring(took) + L" ms");
    CHECK(took + kClockMs >= certain);
    CHECK(took < idle + kPollMs + 3 * g_processMs + 10 * kCallsMs);
    CHECK(CanConnectLocal(50123));
    CHECK(!IsPortListening(3389));

    const std::string expected =
        "UmRdpService stopped\r\n"
        "SessionEnv stopped\r\n"
        "TermService stopped\r\n"
        "TermService start\r\n"
        "TermService running port=50123\r\n"
        "UmRdpService start\r\n"
        "UmRdpService running\r\n"
        "SessionEnv start\r\n"
        "SessionEnv running\r\n";
    // The companions' own lines may interleave with TermService's after it
    // has started; the stops, and TermService starting first, may not.
    std::string log = ReadWholeFile(kServiceLog);
    CHECK_EQ(expected.substr(0, expected.find("TermService running")), log.substr(0, expected.find("TermService running")));
    for (const char* line : {"TermService running port=50123", "UmRdpService start", "SessionEnv start"})
        CHECK_EQ(1, Occurrences(log, line));
    StopAll();
    ResetPortKeys(3389);
}

} // namespace

int wmain()
{
    // The waits inside the restart stage pump this thread's queue; a window
    // stands in for the main window.
    g_hwnd = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 100, 20, g_hwnd,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS)), nullptr, nullptr);
    StartSockets();
    StopAndStart();
    DisabledServiceNeverRuns();
    ChainOrderAndListener();
    StopSockets();
    DestroyWindow(g_hwnd);
    return TestSummary("services_test");
}
