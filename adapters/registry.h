// The Remote Desktop port in the registry: "PortNumber" (REG_DWORD) under
// two keys below HKEY_LOCAL_MACHINE. Keys are opened and closed within each
// call and never created.
#pragma once

enum PortKey {
    PORTKEY_WINSTATIONS, // ...\Terminal Server\WinStations\RDP-Tcp, the listener's port
    PORTKEY_TDS          // ...\Terminal Server\Wds\rdpwd\Tds\tcp, the second copy
};

// True when PortNumber of the WinStations key was read and is a REG_DWORD.
// The query writes straight into port, so a 4-byte value of another type
// still lands there; a key that will not open leaves port untouched.
bool ReadPort(unsigned long& port);

// Writes PortNumber as REG_DWORD. False only when the key opened for
// KEY_SET_VALUE and the write itself failed; a key that will not open
// counts as not failed.
bool WritePortNumber(PortKey key, unsigned long port);

// Direct read-back of PortNumber into a zeroed 4-byte buffer: true when the
// key opened for KEY_QUERY_VALUE and the query succeeded. The type is not
// compared; a value longer than 4 bytes fails.
bool QueryPortNumber(PortKey key, unsigned long& port);
