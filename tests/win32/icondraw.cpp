// icondraw ICO...: what the Windows icon loader makes of every directory entry of each
// icon file, one line per entry:
//   FILE ENTRY file=VERDICT data=VERDICT
// file: LoadImageW(LR_LOADFROMFILE) at the entry's size (the loader's own reading of the
// header and directory); data: CreateIconFromResourceEx on the entry's bytes, when they
// lie inside the file ("outside" otherwise).  VERDICT is "refused" (no icon), "blank"
// (DrawIconEx left a magenta background untouched), "solid WxH" (it covered every
// pixel) or "shown WxH", with the icon's size.
// A file whose header the program cannot read itself gets one line with ENTRY 0.
#include <windows.h>

#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> readAll(const wchar_t* path)
{
    std::vector<unsigned char> bytes;
    FILE* in = _wfopen(path, L"rb");
    if (!in)
        return bytes;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(in);
    return bytes;
}

unsigned u16(const std::vector<unsigned char>& b, size_t at)
{
    return at + 2 <= b.size() ? unsigned(b[at] | b[at + 1] << 8) : 0;
}

uint32_t u32(const std::vector<unsigned char>& b, size_t at)
{
    return at + 4 <= b.size() ? uint32_t(u16(b, at) | uint32_t(u16(b, at + 2)) << 16) : 0;
}

std::string verdict(HICON icon)
{
    if (!icon)
        return "refused";
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return "refused";
    BITMAP bm{};
    int width = 0, height = 0;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight;
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight / 2;
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (width <= 0 || height <= 0)
        return "refused";

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    const uint32_t magenta = 0x00FF00FF;
    uint32_t* pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i)
        pixels[i] = magenta;
    HGDIOBJ old = SelectObject(dc, target);
    DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    int drawn = 0;
    for (int i = 0; i < width * height; ++i)
        drawn += (pixels[i] & 0x00FFFFFF) != magenta;
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (!drawn)
        return "blank";
    if (drawn == width * height)
        return "solid " + size;
    return "shown " + size;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::vector<unsigned char> bytes = readAll(argv[i]);
        const unsigned count = bytes.size() >= 6 ? u16(bytes, 4) : 0;
        const unsigned entries = count ? count : 1;
        for (unsigned e = 0; e < entries && e < 64; ++e) {
            const size_t at = 6 + 16 * size_t(e);
            int side = 32;
            if (count && at + 16 <= bytes.size())
                side = bytes[at] ? bytes[at] : 256;
            HICON fromFile = static_cast<HICON>(
                LoadImageW(nullptr, argv[i], IMAGE_ICON, side, side, LR_LOADFROMFILE));
            const std::string fileVerdict = verdict(fromFile);
            if (fromFile)
                DestroyIcon(fromFile);
            std::string dataVerdict = "outside";
            if (count && at + 16 <= bytes.size()) {
                const uint32_t length = u32(bytes, at + 8), offset = u32(bytes, at + 12);
                if (length && offset <= bytes.size() && length <= bytes.size() - offset) {
                    std::vector<unsigned char> data(bytes.begin() + offset, bytes.begin() + offset + length);
                    HICON icon = CreateIconFromResourceEx(data.data(), length, TRUE, 0x00030000, 0, 0,
                                                          LR_DEFAULTCOLOR);
                    dataVerdict = verdict(icon);
                    if (icon)
                        DestroyIcon(icon);
                }
            }
            std::printf("%ls %u file=%s data=%s\n", argv[i], count ? e + 1 : 0, fileVerdict.c_str(),
                        dataVerdict.c_str());
        }
    }
    return 0;
}
