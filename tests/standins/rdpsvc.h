// The stand-in Remote Desktop service, in two parts as a service sample
// keeps them: the plumbing that talks to the service manager
// (rdpsvc_service.cpp) and what the stand-in does once started (rdpsvc.cpp).
#pragma once

#include <windows.h>

#include <string>

// The stand-in's behaviour for one start of the service called name: runs
// from START_PENDING until stopEvent is set, reports SERVICE_RUNNING and then
// SERVICE_STOP_PENDING through ReportStatus, and returns once it has stopped
// (the plumbing then reports SERVICE_STOPPED).
void ServiceStart(const std::wstring& name, HANDLE stopEvent);

// The plumbing's report of a state to the service manager.
void ReportStatus(DWORD state);
