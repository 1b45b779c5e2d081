// Pixels of what is on the screen, for the window tests.
#include "capture.h"

#include <cstdio>
#include <cstdlib>
#include <string>

bool CaptureDC(HDC hdc, int x, int y, int w, int h, Capture& out)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h; // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC mem = CreateCompatibleDC(hdc);
    HBITMAP dib = CreateDIBSection(mem, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (mem && dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, w, h, hdc, x, y, SRCCOPY) != FALSE;
        GdiFlush();
        out.width = w;
        out.height = h;
        out.pixels.resize(static_cast<size_t>(w) * h);
        const BYTE* p = static_cast<const BYTE*>(bits);
        for (size_t i = 0; i < out.pixels.size(); ++i)
            out.pixels[i] = RGB(p[i * 4 + 2], p[i * 4 + 1], p[i * 4]);
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    if (mem)
        DeleteDC(mem);
    return ok;
}

bool CaptureScreen(const RECT& r, Capture& out)
{
    HDC screen = GetDC(nullptr);
    bool ok = CaptureDC(screen, r.left, r.top, r.right - r.left, r.bottom - r.top, out);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool CaptureClient(HWND hwnd, Capture& out)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    OffsetRect(&rc, origin.x, origin.y);
    return CaptureScreen(rc, out);
}

namespace {

unsigned long Crc32(const unsigned char* data, size_t n, unsigned long crc = 0)
{
    crc = ~crc & 0xFFFFFFFFul;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1)));
    }
    return ~crc & 0xFFFFFFFFul;
}

void Put32(std::string& s, unsigned long v)
{
    s += static_cast<char>((v >> 24) & 0xFF);
    s += static_cast<char>((v >> 16) & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
    s += static_cast<char>(v & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data)
{
    Put32(png, static_cast<unsigned long>(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    Put32(png, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

} // namespace

bool SavePng(const Capture& c, const wchar_t* path)
{
    std::string raw;
    for (int y = 0; y < c.height; ++y) {
        raw += '\0';
        for (int x = 0; x < c.width; ++x) {
            COLORREF px = c.At(x, y);
            raw += static_cast<char>(GetRValue(px));
            raw += static_cast<char>(GetGValue(px));
            raw += static_cast<char>(GetBValue(px));
        }
    }
    std::string z = "\x78\x01";
    unsigned long a = 1, b = 0;
    for (unsigned char ch : raw) {
        a = (a + ch) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z += static_cast<char>(at + n >= raw.size() ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, at, n);
        if (raw.empty())
            break;
    }
    Put32(z, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    Put32(ihdr, static_cast<unsigned long>(c.width));
    Put32(ihdr, static_cast<unsigned long>(c.height));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", "");

    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == png.size();
}

int CountColour(const Capture& c, const RECT& r, COLORREF colour)
{
    return CountNear(c, r, colour, 0);
}

int CountNear(const Capture& c, const RECT& r, COLORREF colour, int tol)
{
    int n = 0;
    for (int y = r.top; y < r.bottom && y < c.height; ++y) {
        for (int x = r.left; x < r.right && x < c.width; ++x) {
            COLORREF p = c.At(x, y);
            if (abs(GetRValue(p) - GetRValue(colour)) <= tol && abs(GetGValue(p) - GetGValue(colour)) <= tol &&
                abs(GetBValue(p) - GetBValue(colour)) <= tol)
                ++n;
        }
    }
    return n;
}
