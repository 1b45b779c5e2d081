// The main window: its control identifiers, globals and window procedure.
#pragma once

#include <windows.h>

enum {
    IDC_CURPORT = 1001, // read-only current-port field
    IDC_NEWPORT = 1002, // new-port field
    IDC_APPLY = 1003,   // owner-drawn apply button
    IDC_EXIT = 1004,    // owner-drawn exit button
    IDC_STATUS = 1005   // status line
};

extern const wchar_t kWindowClass[];
extern const wchar_t kWindowTitle[];

// A caption with the system menu and a minimise box; no sizing border and no
// maximise box, so the window keeps its 420 x 280.
const DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
static_assert(kWindowStyle == 0xCA0000, "main window style");
const int kWindowWidth = 420;
const int kWindowHeight = 280;

extern HWND g_hwnd;
extern HFONT g_hBtn; // status line and button captions

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
