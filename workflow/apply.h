// The Apply command: the whole change of the Remote Desktop port.
#pragma once

// Runs the command to its end: validation, registry write and read-back,
// firewall rules, service restart with listener confirmation, report.
void DoApply();
