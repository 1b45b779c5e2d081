// The owner-drawn apply and exit buttons.
#pragma once

#include <windows.h>

// Paints the button as a rounded block of colour with its caption centred
// on one line: blue with a white caption when primary, light grey with a
// dark caption otherwise; darker while pressed; a focus rectangle on top.
void DrawBtn(DRAWITEMSTRUCT* dis, const wchar_t* caption, bool primary);
