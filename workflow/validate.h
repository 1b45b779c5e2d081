// The first stage of the Apply command: the requested port and its rules.
#pragma once

// Reads and converts the new-port field and applies every rule in order.
// A refusal shows its message and returns false. On true, newPort lies in
// 1024..65535 and oldPort holds the configured port as read (0 when it
// could not be read).
bool ValidatePort(unsigned long& newPort, unsigned long& oldPort);
