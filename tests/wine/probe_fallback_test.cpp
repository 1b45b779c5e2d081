// The listener table where the loader refuses LOAD_LIBRARY_SEARCH_SYSTEM32,
// as Windows 7 and Server 2008 R2 without KB2533623 do. probe_fallback_child
// (which refuses that load) runs from a folder holding marker DLLs named
// iphlpapi and dnsapi, with Windows' search order restored for those names
// (ZV_DLLOVERRIDES, set by CTest). A plain load from that folder takes the
// planted iphlpapi (the control); the table probe takes neither, still
// answers, and loads the DLL once for the process.
#include "check.h"
#include "prefix.h"

#include <cctype>
#include <string>

namespace {

const wchar_t kFolder[] = L"C:\\zvtest\\fallback";
const wchar_t kMarks[] = L"C:\\zvtest\\planted-marks.log";
const wchar_t* const kPlanted[] = {L"iphlpapi.dll", L"dnsapi.dll"};

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

bool Plant()
{
    CreateDirectoryW(kFolder, nullptr);
    const std::wstring here = ModuleDirectory();
    bool ok = CopyFileW((here + L"\\probe_fallback_child.exe").c_str(),
                        (std::wstring(kFolder) + L"\\probe_fallback_child.exe").c_str(), FALSE) != FALSE;
    for (const wchar_t* name : kPlanted)
        ok = CopyFileW((here + L"\\planted\\" + name).c_str(), (std::wstring(kFolder) + L"\\" + name).c_str(),
                       FALSE) != FALSE &&
             ok;
    return ok;
}

int Run()
{
    BeginCase("set-up: the probe program beside the planted iphlpapi and dnsapi");
    if (!CHECK(Plant()))
        return TestSummary("probe_fallback_test");
    const std::wstring copy = L"\"" + std::wstring(kFolder) + L"\\probe_fallback_child.exe\"";

    BeginCase("control: a plain load from that folder takes the planted iphlpapi");
    RemoveFile(kMarks);
    CHECK_EQ(0L, RunProcess(copy + L" --control", 30000, kFolder));
    // The loader keeps the case of the name it was asked for.
    CHECK_EQ(1, Occurrences(Lower(ReadWholeFile(kMarks)),
                            Lower(ToUtf8(std::wstring(kFolder) + L"\\iphlpapi.dll loaded by "))));

    BeginCase("the table probe with the flag refused loads no planted DLL");
    RemoveFile(kMarks);
    CHECK_EQ(0L, RunProcess(copy + L" --probe", 60000, kFolder));
    CHECK_EQ(std::string(), ReadWholeFile(kMarks));
    return TestSummary("probe_fallback_test");
}

} // namespace

int wmain()
{
    return Run();
}
