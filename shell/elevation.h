// The process's standing with the local Administrators group, and starting
// an elevated copy of the program.
#pragma once

// True when the Administrators group is present and enabled in the token,
// which under UAC means an elevated administrator.
bool IsAdminMember();

// True when the process token is elevated.
bool IsElevated();

// Starts the program again with the shell's "runas" verb and no arguments.
// True when the new process was started; false when the program's path did
// not fit the buffer or the shell refused (the user's No included).
bool RelaunchElevated();
