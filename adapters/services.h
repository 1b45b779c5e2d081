// Starting, stopping and awaiting services of the local machine by name.
#pragma once

// One start request; its outcome is not examined.
void StartSvc(const wchar_t* name);

// Sends the stop control anew each pass, up to 30 passes of 500 ms, until
// the service reports stopped or the manager refuses the control.
void StopSvc(const wchar_t* name);

// Up to polls passes of: query (true when running), start request, 500 ms.
bool WaitSvcRunning(const wchar_t* name, int polls);
