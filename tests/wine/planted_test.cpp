// The elevated program takes no DLL from its own folder. Marker DLLs named
// like DLLs that the program loads are planted beside a copy of the
// program, with Windows' search order restored for those names (the
// runner's ZV_DLLOVERRIDES, set by CTest; Wine otherwise prefers its builtin
// DLLs). A control program in the same folder shows that each marker loads
// where the search allows it; the program itself, run from that folder and
// through a complete Apply, loads none of them.
#include "app.h"
#include "check.h"
#include "prefix.h"

#include <cctype>
#include <string>

namespace {

// iphlpapi: the program's own (the probe's listener table); dnsapi: loaded
// with it, and found with the same search; comctl32: the program's static
// import, which the manifest redirects to the side-by-side store. None is a
// known DLL on Windows. Left out: version.dll and zlib1.dll, which only
// Wine's own advapi32 and user32 import, and the DLLs that Wine's window
// DLLs delay-load (uxtheme, msimg32): Wine resolves those with a search
// path of its own that ignores SetDefaultDllDirectories, where Windows'
// loader honours it (docs/wine-facts.md); startup_test checks that setting.
const wchar_t* const kPlanted[] = {L"iphlpapi", L"dnsapi", L"comctl32"};
const wchar_t kFolder[] = L"C:\\zvtest\\planted";
const wchar_t kMarks[] = L"C:\\zvtest\\planted-marks.log";

bool CopyInto(const std::wstring& from, const wchar_t* name)
{
    return CopyFileW(from.c_str(), (std::wstring(kFolder) + L"\\" + name).c_str(), FALSE) != FALSE;
}

bool PlantFolder()
{
    CreateDirectoryW(kFolder, nullptr);
    const std::wstring here = ModuleDirectory();
    bool ok = CopyInto(here + L"\\ZelvorTarnwick.exe", L"ZelvorTarnwick.exe") &&
              CopyInto(here + L"\\planted_control.exe", L"planted_control.exe");
    for (const wchar_t* name : kPlanted) {
        const std::wstring dll = std::wstring(name) + L".dll";
        ok = CopyInto(here + L"\\planted\\" + dll, dll.c_str()) && ok;
    }
    return ok;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// The loader keeps the case of the name it was asked for (IPHLPAPI.DLL).
int MarksOf(const std::string& marks, const wchar_t* name)
{
    return Occurrences(Lower(marks), Lower(ToUtf8(std::wstring(kFolder) + L"\\" + name + L".dll loaded by ")));
}

void MarkersLoadWhereTheSearchAllows()
{
    BeginCase("control: every marker loads into a program without defences");
    RemoveFile(kMarks);
    CHECK_EQ(0L, RunProcess(L"\"" + std::wstring(kFolder) + L"\\planted_control.exe\"", 30000, kFolder));
    const std::string marks = ReadWholeFile(kMarks);
    for (const wchar_t* name : kPlanted) {
        if (!CHECK_EQ(1, MarksOf(marks, name)))
            PrintLine(L"  marker: " + std::wstring(name));
    }
}

void ProgramLoadsNone()
{
    BeginCase("the program, started from the planted folder, loads no marker at start-up");
    ResetWorld();
    CHECK(StartChainServices());
    RemoveFile(kMarks);
    App app;
    if (!CHECK(LaunchAppFrom(app, std::wstring(kFolder) + L"\\ZelvorTarnwick.exe", kFolder))) {
        CloseApp(app);
        return;
    }
    CHECK_EQ(std::string(), ReadWholeFile(kMarks));

    BeginCase("nor during a complete Apply, which completes");
    SetWindowTextW(Control(app, 1002), L"50123");
    Click(Control(app, 1003));
    HWND box = WaitForBox(app, 60000);
    if (CHECK(box != nullptr)) {
        CHECK_EQ(std::wstring(L"Zelvor-Tarnwick"), TextOf(box));
        CHECK_EQ(std::wstring(L"information"), BoxIcon(box));
        CHECK_EQ(std::wstring(L"[完成] 新端口已生效, 断开重连即可"), TextOf(Control(app, 1005)));
        AnswerBox(box, IDOK);
    }
    CHECK_EQ(50123LL, RawPortNumber(kWinStationsPath));
    CHECK_EQ(50123LL, RawPortNumber(kTdsPath));
    CHECK(InListenerTable(50123));
    Sleep(300);
    Click(Control(app, 1004));
    CHECK_EQ(0L, WaitAppExit(app, 10000));
    CloseApp(app);
    CHECK_EQ(std::string(), ReadWholeFile(kMarks));
    ResetWorld();
}

} // namespace

int wmain()
{
    BeginCase("the planted folder");
    if (!CHECK(PlantFolder()))
        return TestSummary("planted_test");
    MarkersLoadWhereTheSearchAllows();
    ProgramLoadsNone();
    return TestSummary("planted_test");
}
