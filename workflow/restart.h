// The third stage of the Apply command: restart the Remote Desktop service
// chain and confirm a listener on the new port.
#pragma once

// svcRunning: TermService confirmed running after the first restart.
// listening: a probe found a listener on newPort. Every path returns to the
// caller, which reports.
void RestartAndConfirm(unsigned long newPort, bool& svcRunning, bool& listening);
