// Asking whether something listens on a local TCP port.
#pragma once

// Windows Sockets for the whole process: started once by the program before
// its window exists and stopped after the message loop.
bool StartSockets();
void StopSockets();

// True when a TCP connection to 127.0.0.1:port was established.
bool CanConnectLocal(unsigned short port);

// True when the IPv4 TCP listener table holds a listening row for port
// (any local address).
bool IsPortListening(unsigned short port);
