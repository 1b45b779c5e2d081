// The main window's procedure and DrawBtn in this process: DrawBtn's pixels
// on a bitmap of a known colour, WM_DRAWITEM's results, the GDI objects, and
// what a second apply click and a close request do while a command runs.
// DoApply is this test's own: it records its calls and plays the user.
#include "capture.h"
#include "check.h"
#include "../../shell/buttons.h"
#include "../../shell/status.h"
#include "../../shell/window.h"

#include <vector>

namespace {

const COLORREF kSentinel = RGB(255, 0, 255);
const int kW = 130, kH = 34;

int g_applyCalls = 0;
bool g_windowAliveInside = false;
int g_nestedDepth = 0;
int g_maxDepth = 0;

// Wine's GetGuiResources answers 0, so the test counts for itself: how many
// brushes the process can still make before its GDI handle table is full
// (about 65000 under Wine; all deleted again). A leak of one object per
// paint or per button drawn shows as that many fewer.
long long FreeGdiHandles()
{
    std::vector<HBRUSH> made;
    while (made.size() < (1u << 20)) {
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        if (!brush)
            break;
        made.push_back(brush);
    }
    for (HBRUSH brush : made)
        DeleteObject(brush);
    return static_cast<long long>(made.size());
}

struct Bitmap {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
};

void MakeBitmap(Bitmap& b)
{
    HDC screen = GetDC(nullptr);
    b.dc = CreateCompatibleDC(screen);
    b.bmp = CreateCompatibleBitmap(screen, kW, kH);
    ReleaseDC(nullptr, screen);
    b.old = SelectObject(b.dc, b.bmp);
    HBRUSH fill = CreateSolidBrush(kSentinel);
    RECT all = {0, 0, kW, kH};
    FillRect(b.dc, &all, fill);
    DeleteObject(fill);
}

void FreeBitmap(Bitmap& b)
{
    SelectObject(b.dc, b.old);
    DeleteObject(b.bmp);
    DeleteDC(b.dc);
}

Capture Draw(bool primary, UINT state, const wchar_t* caption)
{
    Bitmap b;
    MakeBitmap(b);
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.itemState = state;
    dis.hDC = b.dc;
    dis.rcItem = {0, 0, kW, kH};
    DrawBtn(&dis, caption, primary);
    Capture c;
    CaptureDC(b.dc, 0, 0, kW, kH, c);
    FreeBitmap(b);
    return c;
}

void ButtonSchemes()
{
    struct Case {
        int line;
        const char* name;
        bool primary;
        UINT state;
        COLORREF fill, caption;
    } cases[] = {
        {__LINE__, "apply at rest", true, 0, RGB(24, 116, 235), RGB(255, 255, 255)},
        {__LINE__, "apply pressed", true, ODS_SELECTED, RGB(13, 86, 180), RGB(255, 255, 255)},
        {__LINE__, "exit at rest", false, 0, RGB(228, 231, 236), RGB(32, 38, 48)},
        {__LINE__, "exit pressed", false, ODS_SELECTED, RGB(206, 210, 218), RGB(32, 38, 48)},
        {__LINE__, "disabled looks enabled", true, ODS_DISABLED, RGB(24, 116, 235), RGB(255, 255, 255)},
    };
    const RECT all = {0, 0, kW, kH};
    for (const Case& c : cases) {
        BeginCase(c.name);
        Capture shot = Draw(c.primary, c.state, c.primary ? L"确认修改" : L"退出");
        CHECK_EQ_AT(c.line, static_cast<long long>(c.fill), static_cast<long long>(shot.At(3, kH / 2)));
        CHECK_EQ_AT(c.line, static_cast<long long>(c.fill), static_cast<long long>(shot.At(kW / 2, 2)));
        CHECK_AT(c.line, CountColour(shot, all, c.fill) > kW * kH * 6 / 10);
        CHECK_AT(c.line, CountNear(shot, {40, 5, 90, 29}, c.caption, 40) > 10); // caption in the middle
        // The corners of the 6 x 6 rounded region are not painted.
        for (POINT p : {POINT{0, 0}, POINT{kW - 1, 0}, POINT{0, kH - 1}, POINT{kW - 1, kH - 1}})
            CHECK_EQ_AT(c.line, static_cast<long long>(kSentinel), static_cast<long long>(shot.At(p.x, p.y)));
        CHECK_EQ_AT(c.line, static_cast<long long>(c.fill), static_cast<long long>(shot.At(3, 3)));
    }

    BeginCase("focus rectangle along the whole edge, over fill and caption");
    Capture plain = Draw(true, 0, L"确认修改");
    Capture focus = Draw(true, ODS_FOCUS, L"确认修改");
    int edge = 0, inner = 0;
    for (int x = 3; x < kW - 3; ++x) {
        edge += focus.At(x, 0) != plain.At(x, 0);
        edge += focus.At(x, kH - 1) != plain.At(x, kH - 1);
    }
    for (int y = 3; y < kH - 3; ++y) {
        edge += focus.At(0, y) != plain.At(0, y);
        inner += focus.At(1, y) != plain.At(1, y) || focus.At(kW / 2, y) != plain.At(kW / 2, y);
    }
    CHECK(edge > 100);
    CHECK_EQ(0, inner);

    BeginCase("a caption wider than the button stays on one line and inside it");
    Capture wide = Draw(true, 0, L"确认修改确认修改确认修改确认修改确认修改确认修改");
    CHECK(CountNear(wide, {0, 0, kW, 8}, RGB(255, 255, 255), 40) == 0);
    CHECK(CountNear(wide, {0, kH - 8, kW, kH}, RGB(255, 255, 255), 40) == 0);
    CHECK(CountNear(wide, {2, 5, 20, 29}, RGB(255, 255, 255), 40) > 0);
}

HWND MakeMainWindow()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, kWindowClass, kWindowTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                kWindowWidth, kWindowHeight, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    return hwnd;
}

void DrawItemResults(HWND hwnd)
{
    BeginCase("WM_DRAWITEM: 1 for the two buttons, 0 and nothing drawn for any other control");
    Bitmap b;
    MakeBitmap(b);
    DRAWITEMSTRUCT dis = {};
    dis.hDC = b.dc;
    dis.rcItem = {0, 0, kW, kH};
    for (UINT id : {1001u, 1002u, 1005u, 4711u}) {
        dis.CtlID = id;
        CHECK_EQ(0LL, static_cast<long long>(SendMessageW(hwnd, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&dis))));
    }
    Capture untouched;
    CaptureDC(b.dc, 0, 0, kW, kH, untouched);
    CHECK_EQ(kW * kH, CountColour(untouched, {0, 0, kW, kH}, kSentinel));
    for (UINT id : {1003u, 1004u}) {
        dis.CtlID = id;
        CHECK_EQ(1LL, static_cast<long long>(SendMessageW(hwnd, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&dis))));
    }
    FreeBitmap(b);

    BeginCase("drawing and painting leave no GDI object behind");
    // Every state of both buttons drawn directly, and whole repaints of the
    // window, whose buttons draw through WM_DRAWITEM and whose fields and
    // status line ask for their colours.
    const long long before = FreeGdiHandles();
    CHECK(before > 1000);
    Bitmap canvas;
    MakeBitmap(canvas);
    DRAWITEMSTRUCT button = {};
    button.CtlType = ODT_BUTTON;
    button.hDC = canvas.dc;
    button.rcItem = {0, 0, kW, kH};
    const UINT states[] = {0, ODS_SELECTED, ODS_FOCUS, ODS_SELECTED | ODS_FOCUS};
    for (int i = 0; i < 100; ++i) {
        for (UINT state : states) {
            button.itemState = state;
            DrawBtn(&button, L"确认修改", true);
            DrawBtn(&button, L"退出", false);
        }
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    FreeBitmap(canvas);
    CHECK_EQ(before, FreeGdiHandles());
}

enum CloseBy { CLOSE_BY_EXIT_BUTTON, CLOSE_BY_WM_CLOSE, CLOSE_BY_CLOSE_BOX };
CloseBy g_closeBy = CLOSE_BY_EXIT_BUTTON;

void DeferredRequests()
{
    struct Case {
        int line;
        const char* name;
        CloseBy by;
    } cases[] = {
        {__LINE__, "during a command: a second apply starts nothing, the exit button waits for the end", CLOSE_BY_EXIT_BUTTON},
        {__LINE__, "during a command: WM_CLOSE waits for the end", CLOSE_BY_WM_CLOSE},
        {__LINE__, "during a command: the close box waits for the end", CLOSE_BY_CLOSE_BOX},
    };
    for (const Case& c : cases) {
        BeginCase(c.name);
        HWND hwnd = MakeMainWindow();
        g_closeBy = c.by;
        g_applyCalls = 0;
        g_maxDepth = 0;
        g_windowAliveInside = false;
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_APPLY, BN_CLICKED), 0);
        CHECK_EQ_AT(c.line, 1, g_applyCalls);
        CHECK_EQ_AT(c.line, 1, g_maxDepth);
        CHECK_AT(c.line, g_windowAliveInside);
        CHECK_AT(c.line, !IsWindow(hwnd)); // closed as soon as the command ended
        MSG msg;
        CHECK_AT(c.line, PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        CHECK_EQ_AT(c.line, 0LL, static_cast<long long>(msg.wParam));
    }

    BeginCase("without a running command the exit button closes at once");
    HWND hwnd = MakeMainWindow();
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED), 0);
    CHECK(!IsWindow(hwnd));
    MSG msg;
    CHECK(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

} // namespace

// The test's Apply command: clicks apply again and asks to close from
// inside its own wait, as a user could.
void DoApply()
{
    ++g_applyCalls;
    ++g_nestedDepth;
    if (g_nestedDepth > g_maxDepth)
        g_maxDepth = g_nestedDepth;
    PostMessageW(g_hwnd, WM_COMMAND, MAKEWPARAM(IDC_APPLY, BN_CLICKED), 0);
    if (g_closeBy == CLOSE_BY_EXIT_BUTTON)
        PostMessageW(g_hwnd, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED), 0);
    else if (g_closeBy == CLOSE_BY_WM_CLOSE)
        PostMessageW(g_hwnd, WM_CLOSE, 0, 0);
    else
        PostMessageW(g_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpWait(4);
    g_windowAliveInside = IsWindow(g_hwnd) != FALSE;
    --g_nestedDepth;
}

int wmain()
{
    // g_hBtn is made by the window; DrawBtn alone needs one too.
    g_hBtn = CreateFontW(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Microsoft YaHei UI");
    ButtonSchemes();
    DeleteObject(g_hBtn);
    HWND hwnd = MakeMainWindow();
    DrawItemResults(hwnd);
    DestroyWindow(hwnd);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    DeferredRequests();
    return TestSummary("window_unit_test");
}
