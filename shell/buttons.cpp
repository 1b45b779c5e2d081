// The owner-drawn apply and exit buttons.
#include "buttons.h"

#include "window.h"

namespace {

const COLORREF kPrimaryFill = RGB(24, 116, 235);
const COLORREF kPrimaryPressed = RGB(13, 86, 180);
const COLORREF kSecondaryFill = RGB(228, 231, 236);
const COLORREF kSecondaryPressed = RGB(206, 210, 218);
const COLORREF kPrimaryCaption = RGB(255, 255, 255);
const COLORREF kSecondaryCaption = RGB(32, 38, 48);
const int kCornerEllipse = 6;

} // namespace

void DrawBtn(DRAWITEMSTRUCT* dis, const wchar_t* caption, bool primary)
{
    const UINT state = dis->itemState;
    HDC hdc = dis->hDC;
    RECT rc = dis->rcItem;
    const bool pressed = (state & ODS_SELECTED) != 0;

    COLORREF fill = primary ? (pressed ? kPrimaryPressed : kPrimaryFill)
                            : (pressed ? kSecondaryPressed : kSecondaryFill);
    HBRUSH hbr = CreateSolidBrush(fill);
    HRGN hrgn = CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, kCornerEllipse, kCornerEllipse);
    FillRgn(hdc, hrgn, hbr);

    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, primary ? kPrimaryCaption : kSecondaryCaption);
    HGDIOBJ hOldFont = SelectObject(hdc, g_hBtn);
    DrawTextW(hdc, caption, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(hdc, hOldFont);

    DeleteObject(hrgn);
    DeleteObject(hbr);

    if (state & ODS_FOCUS)
        DrawFocusRect(hdc, &rc);
}
