// The loopback probe under the Windows version Wine reports to this
// program (set per program by the runner's ZV_WINVER). Checks that the
// version is the one asked for and that both probes give the described
// results against a listening and a closed port. Whether the probe sent
// SIO_TCP_INITIAL_RTO is read from Wine's winsock trace by
// probe-versions-test.sh.
//   probe_version_check.exe MAJOR.MINOR
#include "sockets.h"

#include "check.h"
#include "../../../adapters/probes.h"


#include <string>

namespace {

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOW*);

std::wstring ReportedVersion()
{
    RtlGetVersionFn rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW v = {};
    v.dwOSVersionInfoSize = sizeof v;
    if (!rtlGetVersion || rtlGetVersion(&v) != 0)
        return L"?";
    printf("RtlGetVersion: %lu.%lu.%lu\n", v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber);
    return std::to_wstring(v.dwMajorVersion) + L"." + std::to_wstring(v.dwMinorVersion);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    BeginCase("Wine reports the version asked for");
    if (!CHECK(argc == 2))
        return TestSummary("probe_version_check");
    CHECK_EQ(std::wstring(argv[1]), ReportedVersion());

    CHECK(StartSockets());
    BeginCase("a listening port: both probes true");
    SOCKET s = ListenTcp4(htonl(INADDR_LOOPBACK), 47021);
    CHECK(s != INVALID_SOCKET);
    CHECK(CanConnectLocal(47021));
    CHECK(IsPortListening(47021));
    closesocket(s);

    BeginCase("a closed port: both probes false");
    CHECK(!CanConnectLocal(47022));
    CHECK(!IsPortListening(47022));
    StopSockets();
    return TestSummary("probe_version_check");
}
