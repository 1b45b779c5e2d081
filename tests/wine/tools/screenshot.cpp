// Takes the pictures of the README and the user's guide from the real
// program, in the prefix with the stand-in services: the window as it
// opens; a finished change (the status line at "[完成] ..." with the
// summary in front); the firewall warning (the stand-in netsh refusing the
// TCP rule); the prompt after ten automatic attempts (a TermService that
// never listens).
//   screenshot.exe FOLDER     writes window.png, window-done.png,
//                             window-firewall.png and window-retry.png there
#include "app.h"
#include "capture.h"
#include "check.h"
#include "prefix.h"
#include "wait.h"

#include <string>

namespace {

// Dispatches this program's messages (the backdrop's paints) for ms.
void Pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(10);
    }
}

// A white window under everything, so that what the pictures show beside
// the program's windows is white rather than the empty black screen.
HWND MakeBackdrop()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"ZvBackdrop";
    RegisterClassW(&wc);
    HWND backdrop = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                    wc.hInstance, nullptr);
    UpdateWindow(backdrop);
    Pump(300);
    return backdrop;
}

RECT Union(const RECT& a, const RECT& b)
{
    RECT u = {};
    UnionRect(&u, &a, &b);
    return u;
}

bool Save(const RECT& screenRect, const std::wstring& path)
{
    Capture shot;
    return CaptureScreen(screenRect, shot) && SavePng(shot, path.c_str());
}

// Puts the box in front of the window's right half, where it leaves the
// status line in view (Wine puts it in the middle of the screen), and saves
// the window and the box together once the box's icon is painted.
bool SaveWithBox(const RECT& window, HWND box, const wchar_t* icon, const std::wstring& path)
{
    SetWindowPos(box, HWND_TOP, window.right - 60, window.top + 60, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    Pump(500);
    RECT boxRect;
    GetWindowRect(box, &boxRect);
    return CHECK(BoxIcon(box) == icon) && CHECK(Save(Union(window, boxRect), path));
}

// Types a port, clicks apply and waits for the box with that caption.
HWND ApplyUntilBox(const App& app, const wchar_t* port, const wchar_t* caption, DWORD timeoutMs)
{
    SetWindowTextW(Control(app, 1002), port);
    Click(Control(app, 1003));
    HWND box = WaitForBox(app, timeoutMs);
    return box && TextOf(box) == caption ? box : nullptr;
}

// Answers the summary that ends a command (the box answered before it may
// still be closing).
void EndWithSummary(const App& app)
{
    HWND summary = nullptr;
    WaitUntil(60000, 50, [&] {
        HWND box = WaitForBox(app, 50);
        summary = box && TextOf(box) == L"Zelvor-Tarnwick" ? box : nullptr;
        return summary != nullptr;
    });
    if (CHECK(summary != nullptr))
        AnswerBox(summary, IDOK);
    Sleep(300);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        PrintLine(L"usage: screenshot.exe FOLDER");
        return 2;
    }
    const std::wstring folder = argv[1];
    ResetWorld();
    BeginCase("the window as it opens");
    HWND backdrop = MakeBackdrop();
    App app;
    if (!CHECK(StartChainServices()) || !CHECK(LaunchApp(app)))
        return TestSummary("screenshot");
    RECT window;
    GetWindowRect(app.hwnd, &window);
    Capture opened;
    CHECK(CaptureClientUntil(app.hwnd, opened, 5000, [](const Capture& c) {
        return CountColour(c, {0, 0, 1, 52}, RGB(21, 89, 189)) == 52;
    }));
    CHECK(Save(window, folder + L"\\window.png"));

    BeginCase("a finished change with the summary in front");
    HWND box = ApplyUntilBox(app, L"50123", L"Zelvor-Tarnwick", 60000);
    const std::wstring done = L"[完成]";
    if (CHECK(box != nullptr) &&
        CHECK(WaitUntil(5000, 20, [&] { return TextOf(Control(app, 1005)).compare(0, done.size(), done) == 0; }))) {
        SaveWithBox(window, box, L"information", folder + L"\\window-done.png");
        AnswerBox(box, IDOK);
    }
    Sleep(300);

    BeginCase("the firewall warning");
    SetNetshFault(L"fail-tcp");
    box = ApplyUntilBox(app, L"50124", L"防火墙警告", 60000);
    if (CHECK(box != nullptr)) {
        SaveWithBox(window, box, L"warning", folder + L"\\window-firewall.png");
        AnswerBox(box, IDOK);
        EndWithSummary(app);
    }
    SetNetshFault(L"");

    BeginCase("the prompt after ten automatic attempts");
    SetStandIn(L"TermService", L"NoListen", 1);
    box = ApplyUntilBox(app, L"50125", L"需要重试吗?", 240000);
    if (CHECK(box != nullptr)) {
        SaveWithBox(window, box, L"warning", folder + L"\\window-retry.png");
        AnswerBox(box, IDCANCEL);
        EndWithSummary(app);
    }
    Click(Control(app, 1004));
    CHECK_EQ(0L, WaitAppExit(app, 10000));
    CloseApp(app);
    DestroyWindow(backdrop);
    ResetWorld();
    return TestSummary("screenshot");
}
