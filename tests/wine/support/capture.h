// Pixels of what is on the screen, for the window tests: a capture of a
// screen rectangle or of a device context, and saving one as a PNG file.
#pragma once

#include <windows.h>

#include "wait.h"

#include <vector>

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels; // row by row, top row first

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Copies the bitmap behind hdc (origin x, y; size w x h) into out.
bool CaptureDC(HDC hdc, int x, int y, int w, int h, Capture& out);
// A rectangle of the screen as it is shown, whatever window it belongs to.
bool CaptureScreen(const RECT& screenRect, Capture& out);
// The client area of a window, as shown on the screen.
bool CaptureClient(HWND hwnd, Capture& out);
// Captures the client area again every 20 ms until ready(capture) holds;
// false when timeoutMs passed first. out keeps the last capture. Waiting for
// what is to be seen, instead of sleeping a fixed time, keeps a slow paint
// on a busy machine from failing a check.
template <typename Ready>
bool CaptureClientUntil(HWND hwnd, Capture& out, DWORD timeoutMs, Ready ready)
{
    return WaitUntil(timeoutMs, 20, [&] { return CaptureClient(hwnd, out) && ready(out); });
}
// 8-bit RGB PNG (stored, uncompressed deflate).
bool SavePng(const Capture& capture, const wchar_t* path);

// How many pixels of rect (in capture coordinates) have exactly colour c.
int CountColour(const Capture& capture, const RECT& rect, COLORREF c);
// How many pixels of rect lie within tolerance of c in every channel.
int CountNear(const Capture& capture, const RECT& rect, COLORREF c, int tolerance);
