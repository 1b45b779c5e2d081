// A marker DLL for the planting test: built under the name of a DLL that
// the program or the system's own DLLs load, and planted beside the
// program. Loading it appends "<its path> loaded by <program path>" to
// C:\zvtest\planted-marks.log. Its exports forward to the system
// directory's DLL of the same name (the .def file is made from that DLL's
// export table), so a program that loads it by mistake still works and the
// fault shows as a mark, not as a failure.
#include <windows.h>

#include <string>

namespace {

const wchar_t kMarksPath[] = L"C:\\zvtest\\planted-marks.log";

std::string Utf8(const wchar_t* text)
{
    char out[2 * MAX_PATH * 3];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, ARRAYSIZE(out), nullptr, nullptr);
    return n > 0 ? std::string(out, static_cast<size_t>(n - 1)) : std::string();
}

void Mark(HINSTANCE hinst)
{
    wchar_t self[MAX_PATH] = L"";
    wchar_t exe[MAX_PATH] = L"";
    GetModuleFileNameW(hinst, self, ARRAYSIZE(self));
    GetModuleFileNameW(nullptr, exe, ARRAYSIZE(exe));
    const std::string line = Utf8(self) + " loaded by " + Utf8(exe) + "\r\n";
    HANDLE h = CreateFileW(kMarksPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        Mark(hinst);
    return TRUE;
}
