// Driving the real program from another process: start it, find its window
// and controls, find and answer its message boxes, wait for its end.
#pragma once

#include <windows.h>

#include <string>

struct App {
    PROCESS_INFORMATION pi = {};
    HWND hwnd = nullptr;
};

// Starts ZelvorTarnwick.exe from the test program's folder and waits for its
// main window (class "ZvRdpPortWnd") to be shown.
bool LaunchApp(App& app);
// The same for the program at exe, run in currentDirectory (nullptr: this
// process's), with this process's environment.
bool LaunchAppFrom(App& app, const std::wstring& exe, const wchar_t* currentDirectory);
// Waits for the process to end; its exit code, or -1 on timeout.
long WaitAppExit(App& app, DWORD timeoutMs);
// Ends the process if it still runs and closes the handles.
void CloseApp(App& app);

HWND Control(const App& app, int id);
// Text of a control or window without sending the owner a message where the
// system allows it (statics, top-level windows).
std::wstring TextOf(HWND hwnd);
// An edit control's text, asked of its owner with WM_GETTEXT (waits for it).
std::wstring FieldText(HWND edit);

// A visible message box (#32770) of the program; nullptr after the timeout.
HWND WaitForBox(const App& app, DWORD timeoutMs);
// The same for any process, this one included.
HWND WaitForBoxOf(DWORD pid, DWORD timeoutMs);
std::wstring BoxText(HWND box);
// The box's icon: "error", "warning", "information", "question", or
// "none"/"unknown"; told by its pixels, since icon handles differ between
// processes.
std::wstring BoxIcon(HWND box);
// Presses the box's button with that identifier (IDOK, IDYES, IDRETRY...).
void AnswerBox(HWND box, int id);

// Clicks a button as a mouse would (down and up inside it).
void Click(HWND button);
