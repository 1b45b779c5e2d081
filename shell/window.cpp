// The main window: header band, the two port fields, the apply and exit
// buttons, the status line and the hint line.
#include "window.h"

#include "buttons.h"
#include "status.h"
#include "../workflow/apply.h"

const wchar_t kWindowClass[] = L"ZvRdpPortWnd";
const wchar_t kWindowTitle[] = L"Zelvor - Tarnwick - zvnet.example";

HWND g_hwnd = nullptr;
HFONT g_hBtn = nullptr;

namespace {

// The window's brush and fonts, from WM_CREATE to WM_DESTROY.
HBRUSH g_hbrWhite = nullptr;
HFONT g_hTitle = nullptr;
HFONT g_hLbl = nullptr;
HFONT g_hEdit = nullptr;

const wchar_t kProductTitle[] = L"Zelvor-Tarnwick";
const wchar_t kWebAddress[] = L"zvnet.example";
const wchar_t kFontFace[] = L"Microsoft YaHei UI";
const wchar_t kApplyCaption[] = L"确认修改";
const wchar_t kExitCaption[] = L"退出";

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kHeaderBlue = RGB(21, 89, 189);
const COLORREF kLabelText = RGB(32, 38, 48);
const COLORREF kHintText = RGB(120, 128, 138);
const COLORREF kStatusBack = RGB(240, 244, 250);

const int kHeaderHeight = 52;
const int kWebAddressMargin = 20;

struct ControlDef {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;
    int x, y, cx, cy;
};

const DWORD kCurPortStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_READONLY | ES_CENTER;
const DWORD kNewPortStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_CENTER;
const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
// SS_LEFT is 0: the text is left-aligned on one line, centred vertically.
const DWORD kStatusStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | SS_LEFT | SS_CENTERIMAGE;
static_assert(kCurPortStyle == 0x50812801, "current-port field style");
static_assert(kNewPortStyle == 0x50812001, "new-port field style");
static_assert(kButtonStyle == 0x5001000B, "button style");
static_assert(kStatusStyle == 0x50800200, "status line style");

// In creation order, as the window shows them.
const ControlDef kControls[] = {
    {IDC_CURPORT, L"EDIT", L"", kCurPortStyle, 30, 78, 130, 30},
    {IDC_NEWPORT, L"EDIT", L"", kNewPortStyle, 210, 78, 130, 30},
    {IDC_APPLY, L"BUTTON", kApplyCaption, kButtonStyle, 30, 132, 130, 34},
    {IDC_EXIT, L"BUTTON", kExitCaption, kButtonStyle, 180, 132, 100, 34},
    {IDC_STATUS, L"STATIC", L"准备就绪, 点击确认修改执行 RDP 端口变更操作", kStatusStyle, 30, 172, 310, 28},
};

struct PaintedText {
    int x, y;
    COLORREF color;
    const wchar_t* text;
};

// Drawn in g_hLbl below the header band.
const PaintedText kLabels[] = {
    {30, 58, kLabelText, L"当前端口"},
    {210, 58, kLabelText, L"修改为"},
    {30, 212, kHintText, L"修改后断开重连即新端口; 防火墙自动放行 TCP/UDP"},
};

// A command runs nested inside the message dispatch of its own waits; these
// keep a second command from starting there and the window from being
// destroyed under it. A close request waits for the command's end.
bool g_applyRunning = false;
bool g_closeDeferred = false;

HFONT MakeFont(int height, int weight)
{
    return CreateFontW(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontFace);
}

void OnCreate(HWND hwnd)
{
    g_hwnd = hwnd;
    g_hbrWhite = CreateSolidBrush(kWhite);
    g_hTitle = MakeFont(20, FW_SEMIBOLD);
    g_hLbl = MakeFont(15, FW_NORMAL);
    g_hEdit = MakeFont(18, FW_NORMAL);
    g_hBtn = MakeFont(15, FW_NORMAL);

    for (const ControlDef& c : kControls) {
        CreateWindowExW(0, c.cls, c.text, c.style, c.x, c.y, c.cx, c.cy, hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
    }
    SendMessageW(GetDlgItem(hwnd, IDC_STATUS), WM_SETFONT, reinterpret_cast<WPARAM>(g_hBtn), TRUE);
    SendMessageW(GetDlgItem(hwnd, IDC_CURPORT), WM_SETFONT, reinterpret_cast<WPARAM>(g_hEdit), TRUE);
    SendMessageW(GetDlgItem(hwnd, IDC_NEWPORT), WM_SETFONT, reinterpret_cast<WPARAM>(g_hEdit), TRUE);

    FillCurrentPort();
}

void OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);

    RECT band = {0, 0, client.right, kHeaderHeight};
    HBRUSH hbrBand = CreateSolidBrush(kHeaderBlue);
    FillRect(hdc, &band, hbrBand);
    DeleteObject(hbrBand);

    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, kWhite);
    HGDIOBJ hOldFont = SelectObject(hdc, g_hTitle);
    TextOutW(hdc, 30, 12, kProductTitle, lstrlenW(kProductTitle));

    SelectObject(hdc, g_hLbl);
    SIZE extent = {};
    GetTextExtentPoint32W(hdc, kWebAddress, lstrlenW(kWebAddress), &extent);
    TextOutW(hdc, client.right - extent.cx - kWebAddressMargin, 17, kWebAddress, lstrlenW(kWebAddress));

    for (const PaintedText& t : kLabels) {
        SetTextColor(hdc, t.color);
        TextOutW(hdc, t.x, t.y, t.text, lstrlenW(t.text));
    }

    SelectObject(hdc, hOldFont);
    EndPaint(hwnd, &ps);
}

// The status line is blue on light blue-grey; the edit fields dark on white.
// All three get the white brush.
LRESULT OnCtlColor(HWND hwnd, HDC hdc, HWND hwndCtl)
{
    if (hwndCtl == GetDlgItem(hwnd, IDC_STATUS)) {
        SetTextColor(hdc, kHeaderBlue);
        SetBkColor(hdc, kStatusBack);
    } else {
        SetTextColor(hdc, kLabelText);
        SetBkColor(hdc, kWhite);
    }
    return reinterpret_cast<LRESULT>(g_hbrWhite);
}

LRESULT OnDrawItem(DRAWITEMSTRUCT* dis)
{
    if (dis->CtlID == IDC_APPLY) {
        DrawBtn(dis, kApplyCaption, true);
        return TRUE;
    }
    if (dis->CtlID == IDC_EXIT) {
        DrawBtn(dis, kExitCaption, false);
        return TRUE;
    }
    return 0;
}

void RequestClose(HWND hwnd)
{
    if (g_applyRunning)
        g_closeDeferred = true;
    else
        DestroyWindow(hwnd);
}

void RunApply(HWND hwnd)
{
    if (g_applyRunning)
        return;
    g_applyRunning = true;
    DoApply();
    g_applyRunning = false;
    if (g_closeDeferred)
        DestroyWindow(hwnd);
    RepostDeferredQuit();
}

void OnCommand(HWND hwnd, int id)
{
    if (id == IDC_APPLY)
        RunApply(hwnd);
    else if (id == IDC_EXIT)
        RequestClose(hwnd);
}

void OnDestroy()
{
    DeleteObject(g_hTitle);
    DeleteObject(g_hLbl);
    DeleteObject(g_hEdit);
    DeleteObject(g_hBtn);
    DeleteObject(g_hbrWhite);
    PostQuitMessage(0);
}

} // namespace

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        OnCreate(hwnd);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case WM_DRAWITEM:
        return OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        RequestClose(hwnd);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return OnCtlColor(hwnd, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
