// The message-pumping waits, the status line and the current-port field on
// a real window.
#include "check.h"
#include "prefix.h"
#include "../../shell/status.h"
#include "../../shell/window.h"

#include <algorithm>
#include <iterator>
#include <string>

HWND g_hwnd = nullptr;

namespace {

const UINT kProbeMsg = WM_APP + 1;

int g_probeMessages = 0;
int g_paints = 0;
ULONGLONG g_lastPaint = 0;
std::wstring g_statusAtPaint;

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case kProbeMsg:
        ++g_probeMessages;
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        ++g_paints;
        g_lastPaint = GetTickCount64();
        wchar_t text[128] = {};
        GetWindowTextW(GetDlgItem(hwnd, IDC_STATUS), text, ARRAYSIZE(text));
        g_statusAtPaint = text;
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void MakeWindow()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TestWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZvWaitsTest";
    RegisterClassW(&wc);
    g_hwnd = CreateWindowExW(0, L"ZvWaitsTest", L"waits", WS_OVERLAPPEDWINDOW, 10, 10, 420, 280, nullptr, nullptr,
                             wc.hInstance, nullptr);
    CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY, 30, 78, 130, 30, g_hwnd,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CURPORT)), nullptr, nullptr);
    CreateWindowExW(0, L"STATIC", L"ready", WS_CHILD | WS_VISIBLE, 30, 172, 310, 28, g_hwnd,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS)), nullptr, nullptr);
    ShowWindow(g_hwnd, SW_SHOW);
    UpdateWindow(g_hwnd);
}

// Empties the queue so that each case starts alike.
void Drain()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

ULONGLONG Timed(void (*wait)(int), int arg)
{
    ULONGLONG t = GetTickCount64();
    wait(arg);
    return GetTickCount64() - t;
}

// The median of five timings of a wait with nothing pending. One slow
// moment of this noisy machine can hold a single sleep back by more than a
// tick, and for a wait of one tick that is the very difference the bound
// tells (50 ms against 100); a wait that sleeps one tick too many does so
// in every run, and the median keeps it.
ULONGLONG MedianTimed(void (*wait)(int), int arg)
{
    ULONGLONG runs[5];
    for (ULONGLONG& run : runs) {
        Drain();
        run = Timed(wait, arg);
    }
    std::sort(std::begin(runs), std::end(runs));
    return runs[2];
}

// A wait of N idle ticks sleeps N x 50 ms: never less (but for the tick
// count's 16 ms steps), and more only by the scheduling delay of each sleep
// (up to 10 ms a tick on this noisy 2-core machine) and the calls around
// them (30 ms). One tick too many or too few falls outside for the short
// waits; the long ones are counted exactly by the native tests.
const ULONGLONG kTickMs = 50;
const ULONGLONG kLatePerTickMs = 10;
const ULONGLONG kCallsMs = 30;
const ULONGLONG kClockMs = 16;

bool Near(ULONGLONG took, ULONGLONG ticks)
{
    return took + kClockMs >= ticks * kTickMs && took < ticks * (kTickMs + kLatePerTickMs) + kCallsMs;
}

void PendingMessagesCostNoTicks()
{
    BeginCase("a tick wait dispatches every pending message and still sleeps its ticks");
    Drain();
    g_probeMessages = 0;
    for (int i = 0; i < 25; ++i)
        PostMessageW(g_hwnd, kProbeMsg, 0, 0);
    const ULONGLONG took = Timed(PumpWait, 6);
    CHECK_EQ(25, g_probeMessages);
    CHECK(Near(took, 6));

    BeginCase("tick counts");
    Drain();
    CHECK(Near(MedianTimed(PumpWait, 1), 1));
    CHECK(Near(Timed(PumpWait, 16), 16));
    CHECK(Near(MedianTimed(PumpWait, 0), 1));
}

void MillisecondBudgets()
{
    BeginCase("millisecond budgets are charged 50 per idle tick, at least one tick");
    Drain();
    CHECK(Near(Timed(PumpWaitMs, 2000), 40));
    CHECK(Near(Timed(PumpWaitMs, 1500), 30));
    CHECK(Near(MedianTimed(PumpWaitMs, 120), 3));
    CHECK(Near(MedianTimed(PumpWaitMs, 50), 1));
    CHECK(Near(MedianTimed(PumpWaitMs, 0), 1));
    CHECK(Near(MedianTimed(PumpWaitMs, -300), 1));

    g_probeMessages = 0;
    for (int i = 0; i < 10; ++i)
        PostMessageW(g_hwnd, kProbeMsg, 0, 0);
    CHECK(Near(Timed(PumpWaitMs, 200), 4));
    CHECK_EQ(10, g_probeMessages);
}

void StatusRepaintsBeforeItsFirstSleep()
{
    BeginCase("SetStatus sets the text and repaints before sleeping its 3 ticks");
    Drain();
    const int paints = g_paints;
    const ULONGLONG t = GetTickCount64();
    SetStatus(L"[1/3] 正在写入注册表...");
    const ULONGLONG took = GetTickCount64() - t;
    CHECK(g_paints > paints);
    CHECK(g_lastPaint - t < kTickMs); // before the first sleep ended
    CHECK_EQ(std::wstring(L"[1/3] 正在写入注册表..."), g_statusAtPaint);
    CHECK(Near(took, 3));
}

void QuitRequestIsKeptForTheEndOfTheCommand()
{
    BeginCase("a quit request met by a wait is kept, not dispatched, and posted again afterwards");
    Drain();
    g_probeMessages = 0;
    PostQuitMessage(7);
    PostMessageW(g_hwnd, kProbeMsg, 0, 0);
    const ULONGLONG took = Timed(PumpWait, 4);
    CHECK(Near(took, 4));            // the wait went on to its end
    CHECK_EQ(1, g_probeMessages);    // and kept dispatching

    MSG msg;
    CHECK(!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    RepostDeferredQuit();
    CHECK(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    CHECK_EQ(7LL, static_cast<long long>(msg.wParam));
    // Only once.
    RepostDeferredQuit();
    CHECK(!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

std::wstring CurrentPortText()
{
    wchar_t text[64] = {};
    GetWindowTextW(GetDlgItem(g_hwnd, IDC_CURPORT), text, ARRAYSIZE(text));
    return text;
}

void CurrentPortField()
{
    struct Case {
        int line;
        const char* name;
        void (*arrange)();
        const wchar_t* shown;
    } cases[] = {
        {__LINE__, "configured 3389", [] { SetDword(kWinStationsPath, L"PortNumber", 3389); }, L"3389"},
        {__LINE__, "configured 65535", [] { SetDword(kWinStationsPath, L"PortNumber", 65535); }, L"65535"},
        {__LINE__, "value missing", [] { DeleteValue(kWinStationsPath, L"PortNumber"); }, L"0"},
        {__LINE__, "value of another type", [] { SetString(kWinStationsPath, L"PortNumber", L"3389"); }, L"0"},
        {__LINE__, "key missing", [] { DeleteTree(kWinStationsPath); }, L"0"},
    };
    for (const Case& c : cases) {
        BeginCase(c.name);
        ResetPortKeys(3389);
        SetWindowTextW(GetDlgItem(g_hwnd, IDC_CURPORT), L"stale");
        c.arrange();
        FillCurrentPort();
        CHECK_EQ_AT(c.line, std::wstring(c.shown), CurrentPortText());
    }
    ResetPortKeys(3389);
}

} // namespace

int wmain()
{
    MakeWindow();
    PendingMessagesCostNoTicks();
    MillisecondBudgets();
    StatusRepaintsBeforeItsFirstSleep();
    QuitRequestIsKeptForTheEndOfTheCommand();
    CurrentPortField();
    DestroyWindow(g_hwnd);
    return TestSummary("waits_test");
}
