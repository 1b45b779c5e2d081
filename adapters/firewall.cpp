// The program's pair of inbound firewall rules, through netsh. netsh is
// always started by its full path in the system directory and with that
// directory as its current directory, so that no netsh.exe beside the
// program, and nothing netsh looks up relative to where it runs, can come
// from the program's folder; the read-back takes netsh's output through a
// pipe, not a file. These calls block without dispatching window messages.
#include "firewall.h"

#include "netsh_text.h"

#include <windows.h>

#include <string>

namespace {

const DWORD kNetshTimeoutMs = 30000;
const DWORD kShowTimeoutMs = 15000;
const DWORD kReadSliceMs = 20;
const size_t kMaxOutputBytes = 1 << 20; // far above any listing of two rules
const wchar_t kNetshName[] = L"\\netsh.exe";

// Empty when the system directory cannot be had.
std::wstring SystemDirectory()
{
    wchar_t dir[MAX_PATH];
    UINT len = GetSystemDirectoryW(dir, ARRAYSIZE(dir));
    if (len == 0 || len >= ARRAYSIZE(dir))
        return std::wstring();
    return std::wstring(dir, len);
}

// Takes whatever the pipe holds now, without blocking.
void DrainPipe(HANDLE hRead, std::string& output)
{
    char chunk[4096];
    DWORD avail = 0;
    while (PeekNamedPipe(hRead, nullptr, 0, nullptr, &avail, nullptr) && avail > 0) {
        DWORD got = 0;
        DWORD want = avail < sizeof chunk ? avail : static_cast<DWORD>(sizeof chunk);
        if (!ReadFile(hRead, chunk, want, &got, nullptr) || got == 0)
            return;
        if (output.size() < kMaxOutputBytes)
            output.append(chunk, got);
    }
}

// Runs netsh with its standard output on an anonymous pipe and collects
// what it prints. False when netsh could not be started or still runs at
// the bound; it is then left running and its output is not used.
bool CaptureNetsh(const std::wstring& arguments, DWORD timeoutMs, std::string& output)
{
    const std::wstring dir = SystemDirectory();
    if (dir.empty())
        return false;
    const std::wstring app = dir + kNetshName;
    std::wstring cmdLine = L"netsh.exe " + arguments;

    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return false;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = hWrite; // no standard input; errors go nowhere
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(app.c_str(), &cmdLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, dir.c_str(), &si, &pi);
    // Only the child's copy of the write end may stay open.
    CloseHandle(hWrite);
    if (!started) {
        CloseHandle(hRead);
        return false;
    }

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool finished = false;
    for (;;) {
        DrainPipe(hRead, output);
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            DrainPipe(hRead, output);
            finished = true;
            break;
        }
        if (GetTickCount64() >= deadline)
            break;
        WaitForSingleObject(pi.hProcess, kReadSliceMs);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(hRead);
    return finished;
}

} // namespace

bool RunNetsh(const std::wstring& arguments)
{
    const std::wstring dir = SystemDirectory();
    if (dir.empty())
        return false;
    const std::wstring app = dir + kNetshName;
    std::wstring cmdLine = L"netsh.exe " + arguments;

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(app.c_str(), &cmdLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, dir.c_str(), &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, kNetshTimeoutMs);
    // STILL_ACTIVE after the bound, or a failed query leaving 1: both false.
    DWORD exitCode = 1;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return exitCode == 0;
}

bool AddFirewallRules(unsigned long port)
{
    // The delete fails when no rule of the name exists; that is expected.
    RunNetsh(DeleteRuleArgs());
    const std::wstring tcp = AddRuleArgs(L"TCP", port);
    const std::wstring udp = AddRuleArgs(L"UDP", port);
    if (!RunNetsh(tcp))
        return false;
    return RunNetsh(udp);
}

bool VerifyFirewallRules(unsigned long port)
{
    // Each rule of the name shows its local port once.
    std::string output;
    if (!CaptureNetsh(ShowRuleArgs(), kShowTimeoutMs, output))
        return false;
    return CountPortText(output, port) > 1;
}
