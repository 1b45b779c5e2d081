// The probe side of probe_fallback_test, in a program of its own that does
// not import iphlpapi (the test helpers do), run from the planted folder.
// It replaces the loader's flagged load (adapters/sysload.cpp) with one that
// fails with ERROR_INVALID_PARAMETER, as Windows 7 and Server 2008 R2
// without KB2533623 do.
//   probe_fallback_child.exe --control   a plain load of iphlpapi.dll
//   probe_fallback_child.exe --probe     the table probe, with its checks
#include "sockets.h"

#include "check.h"
#include "../../../adapters/probes.h"
#include "../../../adapters/sysload.h"

#include <cwchar>
#include <string>

namespace {

int g_refusals = 0;

const wchar_t* const kPlanted[] = {L"iphlpapi.dll", L"dnsapi.dll"};

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(towlower(c));
    return s;
}

// Where the module of that name was loaded from; empty when it is not.
std::wstring ModulePath(const wchar_t* name)
{
    HMODULE hModule = GetModuleHandleW(name);
    wchar_t path[MAX_PATH] = L"";
    if (hModule)
        GetModuleFileNameW(hModule, path, ARRAYSIZE(path));
    return Lower(path);
}

int Control()
{
    return LoadLibraryW(L"iphlpapi.dll") ? 0 : 1;
}

int Probe()
{
    BeginCase("refused flag: the table probe answers, from the system directory");
    CHECK(StartSockets());
    SOCKET s = ListenTcp4(htonl(INADDR_LOOPBACK), 47031);
    CHECK(s != INVALID_SOCKET);
    CHECK(IsPortListening(47031));
    CHECK(!IsPortListening(47032));
    CHECK(IsPortListening(47031));
    if (s != INVALID_SOCKET)
        closesocket(s);
    StopSockets();

    BeginCase("the flagged load was tried once: the DLL stays loaded for the process");
    CHECK_EQ(1, g_refusals);

    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, ARRAYSIZE(system));
    const std::wstring systemDir = Lower(system) + L"\\";
    for (const wchar_t* name : kPlanted) {
        const std::wstring path = ModulePath(name);
        PrintLine(std::wstring(name) + L": " + (path.empty() ? L"not loaded" : path));
        CHECK(path.empty() || path.compare(0, systemDir.size(), systemDir) == 0);
    }
    CHECK(!ModulePath(L"iphlpapi.dll").empty());
    return TestSummary("probe_fallback_child");
}

} // namespace

void* LoadLibrarySearchSystem32(const wchar_t*)
{
    ++g_refusals;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && wcscmp(argv[1], L"--control") == 0)
        return Control();
    if (argc == 2 && wcscmp(argv[1], L"--probe") == 0)
        return Probe();
    PrintLine(L"usage: probe_fallback_child.exe --control | --probe");
    return 2;
}
