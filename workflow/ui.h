// What the Apply command needs of the window: the status line, the
// message-pumping waits, the two port fields and message boxes owned by the
// main window. Implemented in shell/status.cpp, faked in tests/fakes/.
// Declared without Windows types so that the command's logic builds and is
// tested anywhere.
#pragma once

// Message box flags and the answers the command looks at (the MB_ and ID
// values of the platform; checked against them where the window is built).
const unsigned int kBoxError = 0x10;             // MB_ICONERROR
const unsigned int kBoxWarning = 0x30;           // MB_ICONWARNING
const unsigned int kBoxInformation = 0x40;       // MB_ICONINFORMATION
const unsigned int kBoxYesNoQuestion = 0x24;     // MB_YESNO | MB_ICONQUESTION
const unsigned int kBoxRetryCancelWarning = 0x35; // MB_RETRYCANCEL | MB_ICONWARNING
const int kAnswerYes = 6;                        // IDYES
const int kAnswerRetry = 4;                      // IDRETRY

// Replaces the status line's text, repaints the window at once, then waits
// 3 idle ticks while dispatching messages.
void SetStatus(const wchar_t* text);

// Dispatches every pending message; sleeps 50 ms whenever the queue is
// empty, until ticks idle ticks have passed (at least one).
void PumpWait(int ticks);

// The same wait charged by time: 50 ms per idle tick until the budget is
// reached; at least one tick.
void PumpWaitMs(int budgetMs);

// Shows the configured port in the current-port field ("0" when unreadable).
void FillCurrentPort();

// The new-port field's text, at most count - 1 characters, NUL-terminated.
void ReadNewPortText(wchar_t* buffer, int count);

// A modal message box owned by the main window; returns the answer.
int ShowMessage(const wchar_t* text, const wchar_t* caption, unsigned int flags);
