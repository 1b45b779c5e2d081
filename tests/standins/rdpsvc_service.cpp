// Service plumbing of the stand-in Remote Desktop service: the dispatcher,
// ServiceMain, the control handler and the status reports. What the service
// does is in rdpsvc.cpp.
//
// Installed as an own-process service under the names TermService,
// UmRdpService and SessionEnv, with the name as its only argument.
#include "rdpsvc.h"

namespace {

std::wstring g_name;
SERVICE_STATUS_HANDLE g_hStatus = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stopEvent = nullptr;

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    // The service thread reports STOP_PENDING itself once it sees the event,
    // so that only one thread ever reports.
    if (control == SERVICE_CONTROL_STOP) {
        SetEvent(g_stopEvent);
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    g_hStatus = RegisterServiceCtrlHandlerExW(g_name.c_str(), Handler, nullptr);
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ReportStatus(SERVICE_START_PENDING);
    ServiceStart(g_name, g_stopEvent);
    CloseHandle(g_stopEvent);
    ReportStatus(SERVICE_STOPPED);
}

} // namespace

void ReportStatus(DWORD state)
{
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING || state == SERVICE_START_PENDING ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWin32ExitCode = NO_ERROR;
    g_status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 30000;
    ++g_status.dwCheckPoint;
    SetServiceStatus(g_hStatus, &g_status);
}

int wmain(int argc, wchar_t** argv)
{
    g_name = argc > 1 ? argv[1] : L"TermService";
    wchar_t name[64];
    lstrcpynW(name, g_name.c_str(), ARRAYSIZE(name));
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
