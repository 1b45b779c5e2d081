// The status line, the current-port field, message boxes and the waits that
// keep the main window alive while the Apply command works.
#include "status.h"

#include "window.h"
#include "../adapters/registry.h"
#include "../common/format.h"

static_assert(kBoxError == MB_ICONERROR, "flag values");
static_assert(kBoxWarning == MB_ICONWARNING, "flag values");
static_assert(kBoxInformation == MB_ICONINFORMATION, "flag values");
static_assert(kBoxYesNoQuestion == (MB_YESNO | MB_ICONQUESTION), "flag values");
static_assert(kBoxRetryCancelWarning == (MB_RETRYCANCEL | MB_ICONWARNING), "flag values");
static_assert(kAnswerYes == IDYES && kAnswerRetry == IDRETRY, "answer values");

namespace {

const DWORD kTickMs = 50;
const int kStatusTicks = 3;

bool g_quitDeferred = false;
WPARAM g_quitCode = 0;

// Takes one message out of the queue and dispatches it; false when the
// queue was empty. A quit request is kept back, not dispatched.
bool DispatchOne()
{
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        g_quitDeferred = true;
        g_quitCode = msg.wParam;
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

} // namespace

// Both waits poll in fixed slices: a message costs no tick, and the thread
// sleeps at most one tick between looks at the queue. No wait function that
// wakes on input is used, so the schedule is the same whatever the user does.
void PumpWait(int ticks)
{
    int remaining = ticks;
    for (;;) {
        if (DispatchOne())
            continue;
        Sleep(kTickMs);
        if (--remaining <= 0)
            return;
    }
}

void PumpWaitMs(int budgetMs)
{
    int counted = 0;
    for (;;) {
        if (DispatchOne())
            continue;
        counted += static_cast<int>(kTickMs);
        Sleep(kTickMs);
        if (!(budgetMs > counted))
            return;
    }
}

void RepostDeferredQuit()
{
    if (!g_quitDeferred)
        return;
    g_quitDeferred = false;
    PostQuitMessage(static_cast<int>(g_quitCode));
}

void SetStatus(const wchar_t* text)
{
    SetWindowTextW(GetDlgItem(g_hwnd, IDC_STATUS), text);
    InvalidateRect(g_hwnd, nullptr, FALSE);
    UpdateWindow(g_hwnd);
    PumpWait(kStatusTicks);
}

void FillCurrentPort()
{
    unsigned long port = 0;
    wchar_t text[32] = L"0";
    if (ReadPort(port))
        FormatText(text, L"%lu", port);
    SetWindowTextW(GetDlgItem(g_hwnd, IDC_CURPORT), text);
}

void ReadNewPortText(wchar_t* buffer, int count)
{
    GetDlgItemTextW(g_hwnd, IDC_NEWPORT, buffer, count);
}

int ShowMessage(const wchar_t* text, const wchar_t* caption, unsigned int flags)
{
    return MessageBoxW(g_hwnd, text, caption, flags);
}
