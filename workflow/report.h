// The last stage of every Apply command that passed the registry read-back.
#pragma once

// Final status line, refreshed current-port field, and the summary box.
void ShowReport(unsigned long oldPort, unsigned long newPort, bool fwOk, bool svcRunning, bool listening);
