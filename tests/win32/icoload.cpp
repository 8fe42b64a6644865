// icoload ICO DIR SIZE...: asks the Windows icon loader for each SIZE of the icon file ICO
// and writes what it made of it to DIR/SIZE.bgra: the colour bitmap's pixels, top-down,
// 4 bytes per pixel (B, G, R, A).  Prints one line per size; exit status 0 when the loader
// gave every size at its own edge length.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool dumpIcon(HICON icon, int side, const std::wstring& path)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return false;
    bool ok = false;
    BITMAP bm{};
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm) == sizeof bm && bm.bmWidth == side
        && bm.bmHeight == side) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = side;
        bi.bmiHeader.biHeight = -side; // top-down
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        std::vector<unsigned char> pixels(size_t(side) * side * 4);
        HDC dc = GetDC(nullptr);
        const int rows = GetDIBits(dc, info.hbmColor, 0, UINT(side), pixels.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        if (rows == side) {
            FILE* out = _wfopen(path.c_str(), L"wb");
            if (out) {
                ok = fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
                ok = (fclose(out) == 0) && ok;
            }
        }
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: icoload ICO DIR SIZE...\n");
        return 2;
    }
    int failed = 0;
    for (int i = 3; i < argc; ++i) {
        const int side = _wtoi(argv[i]);
        HICON icon = static_cast<HICON>(LoadImageW(nullptr, argv[1], IMAGE_ICON, side, side, LR_LOADFROMFILE));
        const std::wstring path = std::wstring(argv[2]) + L"\\" + argv[i] + L".bgra";
        const bool ok = icon && dumpIcon(icon, side, path);
        if (icon)
            DestroyIcon(icon);
        std::printf("%d: %s\n", side, ok ? "loaded" : "FAILED");
        failed += ok ? 0 : 1;
    }
    return failed ? 1 : 0;
}
