// Helpers for the Win32 tests: the registry of the test prefix, the
// stand-ins' settings and logs, and small process and service queries. Each
// helper opens and closes what it uses within the call.
#pragma once

#include <windows.h>

#include <string>

extern const wchar_t kWinStationsPath[];
extern const wchar_t kTdsPath[];
extern const wchar_t kStandInPath[];     // HKLM: stand-in service settings, a subkey per service
extern const wchar_t kNetshPath[];       // HKLM: stand-in netsh settings (Fault)
extern const wchar_t kFirewallRulesPath[];
extern const wchar_t kServiceLog[];      // C:\zvtest\services.log
extern const wchar_t kNetshLog[];        // C:\zvtest\netsh.log
extern const wchar_t kNetshDirLog[];     // C:\zvtest\netsh-dirs.log: the directory each netsh ran in

bool SetDword(const wchar_t* path, const wchar_t* name, DWORD value);
bool SetBinary(const wchar_t* path, const wchar_t* name, const void* data, DWORD size);
bool SetString(const wchar_t* path, const wchar_t* name, const wchar_t* value);
bool DeleteValue(const wchar_t* path, const wchar_t* name);
bool DeleteTree(const wchar_t* path); // true when the key is gone afterwards
// PortNumber as the registry holds it: -1 when missing or not 4 bytes.
long long RawPortNumber(const wchar_t* path, DWORD* type = nullptr);
// The two keys with PortNumber REG_DWORD, as Remote Desktop keeps them.
void ResetPortKeys(DWORD port);

std::string ReadWholeFile(const wchar_t* path);
void RemoveFile(const wchar_t* path);

// Stand-in service settings (REG_DWORD under kStandInPath\<service>).
void SetStandIn(const wchar_t* service, const wchar_t* name, DWORD value);
void ResetStandIns();
void SetNetshFault(const wchar_t* fault); // empty: behave
// The firewall rules the stand-in netsh keeps, one "v2.x|...|" line each.
std::wstring FirewallStore();
void ClearFirewallStore();

DWORD ServiceState(const wchar_t* name); // 0 when it cannot be queried
// Starts TermService, UmRdpService and SessionEnv and waits until each runs.
bool StartChainServices();
// Stops the chain and puts the stand-ins, the rule store, netsh and both
// PortNumber values (3389) back as a fresh prefix has them.
void ResetWorld();
// Whether the IPv4 listener table holds a listening row for port, read here
// rather than through the program's probe.
bool InListenerTable(unsigned short port);
bool WaitServiceState(const wchar_t* name, DWORD state, DWORD timeoutMs);
bool StopServiceNow(const wchar_t* name, DWORD timeoutMs);

// Runs a command line (in currentDirectory; nullptr: this process's) and
// waits; returns the exit code, or -1.
long RunProcess(const std::wstring& cmdLine, DWORD timeoutMs, const wchar_t* currentDirectory = nullptr);
// Ends every process whose image name is exe (case-insensitive); the count.
int KillProcesses(const wchar_t* exe);
int CountProcesses(const wchar_t* exe);
std::wstring ModuleDirectory();
// Open handles of a process: GetProcessHandleCount where the system answers
// it, else the system handle list (Wine reports 0 for the former).
DWORD ProcessHandleCount(HANDLE process);

// How often what occurs in text, overlapping hits included.
int Occurrences(const std::string& text, const std::string& what);
int Occurrences(const std::wstring& text, const std::wstring& what);
