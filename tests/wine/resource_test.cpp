// The program's resources, read back from the built executable through the
// resource API: the manifest and icon group 1 with its seven images, all in
// language 1033, and nothing else.
#include "check.h"
#include "prefix.h"

#include <string>
#include <vector>

namespace {

struct Found {
    std::vector<std::wstring> entries; // "type/name/language"
};

std::wstring Id(LPCWSTR id)
{
    return IS_INTRESOURCE(id) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(id)) : std::wstring(id);
}

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD lang, LONG_PTR param)
{
    reinterpret_cast<Found*>(param)->entries.push_back(Id(type) + L"/" + Id(name) + L"/" + std::to_wstring(lang));
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    EnumResourceLanguagesW(module, type, name, OnLanguage, param);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR param)
{
    EnumResourceNamesW(module, type, OnName, param);
    return TRUE;
}

std::string Resource(HMODULE module, LPCWSTR type, int id)
{
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!res)
        return std::string();
    HGLOBAL data = LoadResource(module, res);
    const char* p = static_cast<const char*>(LockResource(data));
    return p ? std::string(p, SizeofResource(module, res)) : std::string();
}

unsigned Le16(const std::string& s, size_t at)
{
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

unsigned long Le32(const std::string& s, size_t at)
{
    return Le16(s, at) | static_cast<unsigned long>(Le16(s, at + 2)) << 16;
}

unsigned long Be32(const std::string& s, size_t at)
{
    unsigned long v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

void Inventory(HMODULE module)
{
    BeginCase("only the manifest and the icon group with its seven images, language 1033");
    Found found;
    EnumResourceTypesW(module, OnType, reinterpret_cast<LONG_PTR>(&found));
    std::wstring all;
    for (const std::wstring& e : found.entries)
        all += e + L" ";
    CHECK_EQ(std::wstring(L"3/1/1033 3/2/1033 3/3/1033 3/4/1033 3/5/1033 3/6/1033 3/7/1033 14/1/1033 24/1/1033 "), all);
}

void Manifest(HMODULE module)
{
    BeginCase("the manifest");
    const std::string m = Resource(module, MAKEINTRESOURCEW(24), 1);
    CHECK_EQ(0LL, static_cast<long long>(m.find("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")));
    const char* const parts[] = {
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">",
        "<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"*\" name=\"Zvnet.Kestrune\" type=\"win32\"/>",
        "<description>Zelvor-Tarnwick</description>",
        "<dependency>\n    <dependentAssembly>\n      <assemblyIdentity type=\"win32\" "
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
        "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>",
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
    };
    for (const char* part : parts) {
        if (!CHECK(m.find(part) != std::string::npos))
            printf("  missing: %s\n", part);
    }
    // One dependency, and nothing declared beyond the table.
    CHECK_EQ(1LL, static_cast<long long>(Occurrences(m, "<dependency>")));
    CHECK_EQ(2LL, static_cast<long long>(Occurrences(m, "<assemblyIdentity")));
    for (const char* absent : {"dpiAware", "dpiAwareness", "supportedOS", "compatibility", "windowsSettings"})
        CHECK(m.find(absent) == std::string::npos);
}

void Icons(HMODULE module)
{
    BeginCase("icon group 1: seven entries, 32 bits, 1 plane, ids 1 to 7");
    const std::string dir = Resource(module, MAKEINTRESOURCEW(14), 1);
    if (!CHECK_EQ(6LL + 7 * 14, static_cast<long long>(dir.size())))
        return;
    CHECK_EQ(0LL, static_cast<long long>(Le16(dir, 0)));
    CHECK_EQ(1LL, static_cast<long long>(Le16(dir, 2)));
    CHECK_EQ(7LL, static_cast<long long>(Le16(dir, 4)));
    const int sizes[] = {256, 128, 96, 64, 48, 32, 16};
    for (int i = 0; i < 7; ++i) {
        const size_t e = 6 + static_cast<size_t>(i) * 14;
        const int s = sizes[i];
        CHECK_EQ(s == 256 ? 0 : s, static_cast<unsigned char>(dir[e]));
        CHECK_EQ(s == 256 ? 0 : s, static_cast<unsigned char>(dir[e + 1]));
        CHECK_EQ(0, static_cast<unsigned char>(dir[e + 2]));
        CHECK_EQ(1LL, static_cast<long long>(Le16(dir, e + 4)));
        CHECK_EQ(32LL, static_cast<long long>(Le16(dir, e + 6)));
        CHECK_EQ(i + 1LL, static_cast<long long>(Le16(dir, e + 12)));

        const std::string img = Resource(module, MAKEINTRESOURCEW(3), i + 1);
        CHECK_EQ(static_cast<long long>(Le32(dir, e + 8)), static_cast<long long>(img.size()));
        if (s == 256) {
            BeginCase("image 1: 256 x 256 PNG, 8-bit RGB without alpha");
            CHECK_EQ(0LL, static_cast<long long>(img.find("\x89PNG\r\n\x1a\n")));
            CHECK_EQ(std::string("IHDR"), img.substr(12, 4));
            CHECK_EQ(256LL, static_cast<long long>(Be32(img, 16)));
            CHECK_EQ(256LL, static_cast<long long>(Be32(img, 20)));
            CHECK_EQ(8, static_cast<unsigned char>(img[24]));
            CHECK_EQ(2, static_cast<unsigned char>(img[25])); // RGB: no alpha, so opaque
            continue;
        }
        char name[64];
        wsprintfA(name, "image %d: %d x %d, 32-bit BI_RGB with AND mask, opaque", i + 1, s, s);
        BeginCase(name);
        const size_t maskStride = ((static_cast<size_t>(s) + 31) / 32) * 4;
        const size_t pixels = static_cast<size_t>(s) * s * 4;
        if (!CHECK_EQ(static_cast<long long>(40 + pixels + maskStride * s), static_cast<long long>(img.size())))
            continue;
        CHECK_EQ(40LL, static_cast<long long>(Le32(img, 0)));
        CHECK_EQ(s, static_cast<long long>(Le32(img, 4)));
        CHECK_EQ(2LL * s, static_cast<long long>(Le32(img, 8)));
        CHECK_EQ(1LL, static_cast<long long>(Le16(img, 12)));
        CHECK_EQ(32LL, static_cast<long long>(Le16(img, 14)));
        CHECK_EQ(0LL, static_cast<long long>(Le32(img, 16))); // BI_RGB
        int transparent = 0;
        for (size_t p = 0; p < pixels; p += 4)
            transparent += static_cast<unsigned char>(img[40 + p + 3]) != 255;
        for (size_t m = 40 + pixels; m < img.size(); ++m)
            transparent += img[m] != 0;
        CHECK_EQ(0, transparent);
    }
}

// The class icon as the window would load it, drawn at 32 x 32: the same
// pixels as image 6 of the group.
void IconLoads(const std::wstring& exe)
{
    BeginCase("icon group 1 loads as an icon and draws image 6 at 32 x 32");
    HMODULE image = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    if (!CHECK(image != nullptr))
        return;
    HICON icon = static_cast<HICON>(LoadImageW(image, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    if (CHECK(icon != nullptr)) {
        const std::string img = Resource(image, MAKEINTRESOURCEW(3), 6);
        HDC screen = GetDC(nullptr);
        HDC mem = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, 32, 32);
        HGDIOBJ old = SelectObject(mem, bmp);
        DrawIconEx(mem, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
        int same = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const size_t at = 40 + (static_cast<size_t>(31 - y) * 32 + x) * 4; // bottom-up rows, BGRA
                const COLORREF want = RGB(static_cast<unsigned char>(img[at + 2]),
                                          static_cast<unsigned char>(img[at + 1]), static_cast<unsigned char>(img[at]));
                same += GetPixel(mem, x, y) == want;
            }
        }
        CHECK_EQ(32 * 32, same);
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
        DestroyIcon(icon);
    }
    FreeLibrary(image);
}

} // namespace

int wmain()
{
    const std::wstring exe = ModuleDirectory() + L"\\ZelvorTarnwick.exe";
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!CHECK(module != nullptr))
        return TestSummary("resource_test");
    Inventory(module);
    Manifest(module);
    Icons(module);
    FreeLibrary(module);
    IconLoads(exe);
    return TestSummary("resource_test");
}
