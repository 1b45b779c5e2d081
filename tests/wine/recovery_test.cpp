// The manual recovery of the user's guide and the README, run as an
// administrator would run it after a change that cannot be reached: first a
// complete change to 50123 through the program's window, then the
// documents' own commands (tests/docs/recovery-test.sh writes them to
// C:\zvtest\recovery.cmd), run by cmd.exe. Afterwards both PortNumber values
// read 3389, the rule store holds no rule of the program's name, and the
// stand-in TermService listens on 3389 again.
#include "app.h"
#include "check.h"
#include "prefix.h"
#include "wait.h"

#include <string>

namespace {

const wchar_t kRuleName[] = L"RDP Custom Port (Kestrune)";

void ChangeTo50123()
{
    BeginCase("a completed change to 50123");
    ResetWorld();
    CHECK(StartChainServices());
    App app;
    if (!CHECK(LaunchApp(app))) {
        CloseApp(app);
        return;
    }
    SetWindowTextW(Control(app, 1002), L"50123");
    Click(Control(app, 1003));
    HWND box = WaitForBox(app, 60000);
    if (CHECK(box != nullptr)) {
        CHECK_EQ(std::wstring(L"information"), BoxIcon(box));
        AnswerBox(box, IDOK);
    }
    Sleep(300);
    Click(Control(app, 1004));
    CHECK_EQ(0L, WaitAppExit(app, 10000));
    CloseApp(app);
    CHECK_EQ(50123LL, RawPortNumber(kWinStationsPath));
    CHECK_EQ(50123LL, RawPortNumber(kTdsPath));
    CHECK_EQ(2, Occurrences(FirewallStore(), std::wstring(L"|Name=") + kRuleName + L"|"));
    CHECK(InListenerTable(50123));
}

void Recover()
{
    BeginCase("the documents' recovery commands put Remote Desktop back on 3389");
    CHECK_EQ(0L, RunProcess(L"C:\\windows\\system32\\cmd.exe /c C:\\zvtest\\recovery.cmd", 120000));
    CHECK_EQ(3389LL, RawPortNumber(kWinStationsPath));
    CHECK_EQ(3389LL, RawPortNumber(kTdsPath));
    const std::wstring store = FirewallStore();
    CHECK_EQ(0, Occurrences(store, kRuleName));
    CHECK_EQ(static_cast<long long>(SERVICE_RUNNING), static_cast<long long>(ServiceState(L"TermService")));
    CHECK(WaitUntil(10000, 100, [] { return InListenerTable(3389); }));
    CHECK(!InListenerTable(50123));
}

} // namespace

int wmain()
{
    ChangeTo50123();
    Recover();
    ResetWorld();
    return TestSummary("recovery_test");
}
