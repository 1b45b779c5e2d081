// Starting, stopping and awaiting services through the Service Control
// Manager. These calls block without dispatching window messages.
#include "services.h"

#include <windows.h>

namespace {

const DWORD kPollMs = 500;
const int kStopPasses = 30;

// Opens the local manager and the service; false (nothing left open) when
// either refuses.
bool OpenSvc(const wchar_t* name, DWORD access, SC_HANDLE& hScm, SC_HANDLE& hSvc)
{
    hScm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!hScm)
        return false;
    hSvc = OpenServiceW(hScm, name, access);
    if (!hSvc) {
        CloseServiceHandle(hScm);
        return false;
    }
    return true;
}

void CloseSvc(SC_HANDLE hScm, SC_HANDLE hSvc)
{
    CloseServiceHandle(hSvc);
    CloseServiceHandle(hScm);
}

} // namespace

void StartSvc(const wchar_t* name)
{
    SC_HANDLE hScm, hSvc;
    if (!OpenSvc(name, SERVICE_QUERY_STATUS | SERVICE_START, hScm, hSvc))
        return;
    StartServiceW(hSvc, 0, nullptr);
    CloseSvc(hScm, hSvc);
}

void StopSvc(const wchar_t* name)
{
    SC_HANDLE hScm, hSvc;
    if (!OpenSvc(name, SERVICE_STOP | SERVICE_QUERY_STATUS, hScm, hSvc))
        return;
    // The control is sent every pass: the manager refuses it once the
    // service is stopped or still stopping, which ends the wait early.
    for (int pass = 0; pass < kStopPasses; ++pass) {
        SERVICE_STATUS status = {};
        if (!ControlService(hSvc, SERVICE_CONTROL_STOP, &status) || status.dwCurrentState == SERVICE_STOPPED)
            break;
        Sleep(kPollMs);
        if (!QueryServiceStatus(hSvc, &status) || status.dwCurrentState == SERVICE_STOPPED)
            break;
    }
    CloseSvc(hScm, hSvc);
}

bool WaitSvcRunning(const wchar_t* name, int polls)
{
    SC_HANDLE hScm, hSvc;
    if (!OpenSvc(name, SERVICE_QUERY_STATUS | SERVICE_START, hScm, hSvc))
        return false;
    bool running = false;
    for (int pass = 0; pass < polls; ++pass) {
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(hSvc, &status) && status.dwCurrentState == SERVICE_RUNNING) {
            running = true;
            break;
        }
        StartServiceW(hSvc, 0, nullptr);
        Sleep(kPollMs);
    }
    CloseSvc(hScm, hSvc);
    return running;
}
