// The real program's main window, driven from this process: its class,
// title, size and controls, the digits-only field, the painting by colour at
// chosen points, the owner-drawn buttons, and how it ends.
#include "app.h"
#include "capture.h"
#include "check.h"
#include "prefix.h"
#include "wait.h"

#include <string>

namespace {

const COLORREF kBand = RGB(21, 89, 189);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kApply = RGB(24, 116, 235);
const COLORREF kApplyPressed = RGB(13, 86, 180);
const COLORREF kExit = RGB(228, 231, 236);
const COLORREF kStatusBack = RGB(240, 244, 250);
const COLORREF kDark = RGB(32, 38, 48);
const COLORREF kHint = RGB(120, 128, 138);

struct ControlSpec {
    int line;
    int id;
    const wchar_t* cls;
    DWORD style; // as Wine reports it
    RECT rect;   // client coordinates
    const wchar_t* text;
};

// Wine's edit control drops WS_BORDER (0x00800000) from the style it was
// created with (0x50812801 and 0x50812001) when there is no
// WS_EX_CLIENTEDGE, because it draws that border itself.
const ControlSpec kControls[] = {
    {__LINE__, 1001, L"Edit", 0x50012801, {30, 78, 160, 108}, L"3389"},
    {__LINE__, 1002, L"Edit", 0x50012001, {210, 78, 340, 108}, L""},
    {__LINE__, 1003, L"Button", 0x5001000B, {30, 132, 160, 166}, L"确认修改"},
    {__LINE__, 1004, L"Button", 0x5001000B, {180, 132, 280, 166}, L"退出"},
    {__LINE__, 1005, L"Static", 0x50800200, {30, 172, 340, 200}, L"准备就绪, 点击确认修改执行 RDP 端口变更操作"},
};

RECT ChildRect(HWND parent, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT Rect(int l, int t, int r, int b)
{
    RECT rc = {l, t, r, b};
    return rc;
}

int Area(const RECT& r)
{
    return (r.right - r.left) * (r.bottom - r.top);
}

std::wstring ArtifactPath(const wchar_t* name)
{
    const std::wstring dir = ModuleDirectory() + L"\\artifacts";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

void WindowAndControls(const App& app)
{
    BeginCase("class, title, outer size, frame");
    wchar_t cls[64] = {};
    GetClassNameW(app.hwnd, cls, ARRAYSIZE(cls));
    CHECK_EQ(std::wstring(L"ZvRdpPortWnd"), std::wstring(cls));
    CHECK_EQ(std::wstring(L"Zelvor - Tarnwick - zvnet.example"), TextOf(app.hwnd));
    RECT outer;
    GetWindowRect(app.hwnd, &outer);
    CHECK_EQ(420, outer.right - outer.left);
    CHECK_EQ(280, outer.bottom - outer.top);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(app.hwnd, GWL_STYLE));
    // Windows adds WS_CLIPSIBLINGS to every top-level window.
    CHECK_EQ(0xCA0000LL, static_cast<long long>(style & ~(WS_VISIBLE | WS_CLIPSIBLINGS)));
    CHECK((style & (WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0);

    // Under Xvfb there is no window manager, and Wine leaves the caption to
    // it, so the title bar (and the icon in it) is not drawn here; the icon
    // group is checked by resource_test.
    Capture whole;
    CHECK(CaptureScreen(outer, whole));
    CHECK(SavePng(whole, ArtifactPath(L"window-full.png").c_str()));

    for (const ControlSpec& c : kControls) {
        char name[64];
        wsprintfA(name, "control %d", c.id);
        BeginCase(name);
        HWND h = Control(app, c.id);
        if (!CHECK_AT(c.line, h != nullptr))
            continue;
        wchar_t ctlClass[32] = {};
        GetClassNameW(h, ctlClass, ARRAYSIZE(ctlClass));
        CHECK_EQ_AT(c.line, std::wstring(c.cls), std::wstring(ctlClass));
        CHECK_EQ_AT(c.line, static_cast<long long>(c.style), static_cast<long long>(static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE))));
        const RECT r = ChildRect(app.hwnd, h);
        CHECK_EQ_AT(c.line, c.rect.left, r.left);
        CHECK_EQ_AT(c.line, c.rect.top, r.top);
        CHECK_EQ_AT(c.line, c.rect.right, r.right);
        CHECK_EQ_AT(c.line, c.rect.bottom, r.bottom);
        CHECK_EQ_AT(c.line, std::wstring(c.text), c.id <= 1002 ? FieldText(h) : TextOf(h));
    }
}

void FieldsAndCommands(const App& app)
{
    BeginCase("the new-port field takes digits only");
    HWND field = Control(app, 1002);
    for (wchar_t ch : std::wstring(L"a1b2-3 "))
        SendMessageW(field, WM_CHAR, ch, 0);
    CHECK_EQ(std::wstring(L"123"), FieldText(field));
    SetWindowTextW(field, L"");

    BeginCase("WM_COMMAND from the edit fields does nothing");
    const std::wstring status = TextOf(Control(app, 1005));
    for (int id : {1001, 1002}) {
        LRESULT r = SendMessageW(app.hwnd, WM_COMMAND, MAKEWPARAM(id, EN_SETFOCUS),
                                 reinterpret_cast<LPARAM>(Control(app, id)));
        CHECK_EQ(0LL, static_cast<long long>(r));
    }
    CHECK(WaitForBox(app, 300) == nullptr);
    CHECK(IsWindow(app.hwnd));
    CHECK_EQ(status, TextOf(Control(app, 1005)));
}

void Painting(const App& app)
{
    BeginCase("header band, texts and colours");
    Capture shot;
    CHECK(CaptureClientUntil(app.hwnd, shot, 5000, [](const Capture& c) {
        return CountColour(c, Rect(0, 0, 1, 52), kBand) == 52; // the first paint has happened
    }));
    CHECK(SavePng(shot, ArtifactPath(L"window.png").c_str()));
    const int w = shot.width;

    // Columns without text: the band is exactly 52 rows over the full width.
    for (int x : {0, 1, 200, 220, w - 2, w - 1}) {
        CHECK_EQ(52, CountColour(shot, Rect(x, 0, x + 1, 52), kBand));
        CHECK_EQ(static_cast<long long>(kWhite), static_cast<long long>(shot.At(x, 52)));
    }
    CHECK(CountColour(shot, Rect(30, 12, 180, 40), kWhite) > 30); // title

    // The web address ends 20 pixels from the right edge.
    int rightmost = -1;
    for (int x = w - 1; x >= w / 2 && rightmost < 0; --x) {
        if (CountNear(shot, Rect(x, 17, x + 1, 37), kWhite, 60) > 0)
            rightmost = x;
    }
    CHECK(rightmost >= w - 20 - 4 && rightmost <= w - 20 - 1);

    CHECK(CountNear(shot, Rect(30, 58, 100, 76), kDark, 40) > 5);      // 当前端口
    CHECK(CountNear(shot, Rect(210, 58, 280, 76), kDark, 40) > 5);     // 修改为
    CHECK(CountNear(shot, Rect(30, 212, 380, 232), kHint, 30) > 5);    // hint line
    CHECK_EQ(0, CountNear(shot, Rect(30, 212, 380, 232), kDark, 10));  // in grey, not in the label colour

    const RECT status = Rect(31, 173, 339, 199);
    CHECK(CountColour(shot, status, kStatusBack) > 50);   // text background
    CHECK(CountNear(shot, status, kBand, 40) > 10);        // blue text
    // The brush is the white one: the rows above and below the text cell,
    // inside the border, show it, not the text background.
    const RECT aboveText = Rect(31, 173, 339, 177);
    const RECT belowText = Rect(31, 195, 339, 199);
    CHECK_EQ(Area(aboveText), CountColour(shot, aboveText, kWhite));
    CHECK_EQ(Area(belowText), CountColour(shot, belowText, kWhite));
    CHECK(CountColour(shot, Rect(31, 79, 159, 107), kWhite) > 1000); // edit fields on white

    BeginCase("apply and exit buttons at rest: rounded blocks of colour");
    const RECT apply = Rect(30, 132, 160, 166);
    const RECT exitBtn = Rect(180, 132, 280, 166);
    CHECK(CountColour(shot, apply, kApply) > Area(apply) * 6 / 10);
    CHECK(CountColour(shot, exitBtn, kExit) > Area(exitBtn) * 6 / 10);
    CHECK(CountColour(shot, apply, kWhite) > 20);              // white caption
    CHECK(CountNear(shot, exitBtn, kDark, 50) > 10);           // dark caption
    CHECK(shot.At(30, 132) != kApply && shot.At(159, 165) != kApply);  // corners left alone
    CHECK(shot.At(180, 132) != kExit && shot.At(279, 132) != kExit);
    CHECK_EQ(static_cast<long long>(kApply), static_cast<long long>(shot.At(33, 149)));

    BeginCase("apply button pressed");
    SendMessageW(Control(app, 1003), BM_SETSTATE, TRUE, 0);
    Capture pressed;
    CHECK(CaptureClientUntil(app.hwnd, pressed, 5000, [&](const Capture& c) {
        return CountColour(c, apply, kApplyPressed) > Area(apply) * 6 / 10;
    }));
    CHECK(CountColour(pressed, apply, kWhite) > 20);
    SendMessageW(Control(app, 1003), BM_SETSTATE, FALSE, 0);
    Capture released;
    CHECK(CaptureClientUntil(app.hwnd, released, 5000, [&](const Capture& c) {
        return CountColour(c, apply, kApply) > Area(apply) * 6 / 10;
    }));

    BeginCase("a click with an empty field: the range message, then the focus rectangle on the button");
    Capture before;
    CaptureClient(app.hwnd, before);
    Click(Control(app, 1003));
    HWND box = WaitForBox(app, 5000);
    if (CHECK(box != nullptr)) {
        CHECK_EQ(std::wstring(L"请输入有效端口 (1-65535)"), BoxText(box));
        CHECK_EQ(std::wstring(L"提示"), TextOf(box));
        AnswerBox(box, IDOK);
    }
    // The box is gone and the button has repainted with the focus.
    auto changedEdge = [&](const Capture& c) {
        int changed = 0;
        for (int x = 31; x < 159; ++x)
            changed += c.At(x, 132) != before.At(x, 132) || c.At(x, 165) != before.At(x, 165);
        return changed;
    };
    Capture focused;
    CHECK(CaptureClientUntil(app.hwnd, focused, 5000,
                             [&](const Capture& c) { return !IsWindow(box) && changedEdge(c) > 40; }));
    int changedInside = 0;
    for (int x = 31; x < 159; ++x)
        changedInside += focused.At(x, 136) != before.At(x, 136);
    CHECK_EQ(0, changedInside);
    CHECK_EQ(std::wstring(L"准备就绪, 点击确认修改执行 RDP 端口变更操作"), TextOf(Control(app, 1005)));
}

void Ending()
{
    BeginCase("the exit button ends the program with exit code 0");
    App app;
    if (CHECK(LaunchApp(app))) {
        Click(Control(app, 1004));
        CHECK_EQ(0L, WaitAppExit(app, 10000));
    }
    CloseApp(app);

    BeginCase("the close box ends the program with exit code 0");
    if (CHECK(LaunchApp(app))) {
        PostMessageW(app.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        CHECK_EQ(0L, WaitAppExit(app, 10000));
    }
    CloseApp(app);

    BeginCase("a close request during a command ends the program right after the command");
    ResetPortKeys(3389);
    ClearFirewallStore();
    SetNetshFault(L"");
    ResetStandIns();
    if (CHECK(LaunchApp(app))) {
        SetWindowTextW(Control(app, 1002), L"50123");
        Click(Control(app, 1003));
        CHECK(WaitUntil(10000, 20, [&] { return TextOf(Control(app, 1005)).find(L"[3/3]") == 0; }));
        PostMessageW(app.hwnd, WM_CLOSE, 0, 0);
        Sleep(500);
        CHECK(IsWindow(app.hwnd));
        HWND box = WaitForBox(app, 60000);
        if (CHECK(box != nullptr)) {
            CHECK_EQ(std::wstring(L"Zelvor-Tarnwick"), TextOf(box));
            CHECK(IsWindow(app.hwnd));
            AnswerBox(box, IDOK);
        }
        CHECK_EQ(0L, WaitAppExit(app, 10000));
    }
    CloseApp(app);
    ResetPortKeys(3389);
    ClearFirewallStore();
}

} // namespace

int wmain()
{
    ResetPortKeys(3389);
    App app;
    if (CHECK(LaunchApp(app))) {
        WindowAndControls(app);
        FieldsAndCommands(app);
        Painting(app);
    }
    CloseApp(app);
    Ending();
    return TestSummary("window_test");
}
