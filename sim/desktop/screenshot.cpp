#include "screenshot.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace desktop {

COLORREF Picture::Pixel(int x, int y) const {
    const BYTE* p = rows.data() + static_cast<size_t>(height - 1 - y) * Stride() + x * 3;
    return RGB(p[2], p[1], p[0]);
}

namespace {

BITMAPINFOHEADER Header(const Picture& picture) {
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = picture.width;
    info.biHeight = picture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    return info;
}

}  // namespace

Picture Screenshot(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    Picture picture;
    picture.width = r.right - r.left;
    picture.height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info = Header(picture);
    picture.rows.resize(static_cast<size_t>(picture.Stride()) * picture.height);
    GetDIBits(memory, bitmap, 0, picture.height, picture.rows.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

bool SaveBitmap(const Picture& picture, const std::wstring& path) {
    BITMAPINFOHEADER info = Header(picture);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(picture.rows.size());
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(picture.rows.data()), static_cast<std::streamsize>(picture.rows.size()));
    return static_cast<bool>(out.flush());
}

Picture ReadBitmap(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    if (bytes.size() < sizeof file + sizeof info) return {};
    memcpy(&file, bytes.data(), sizeof file);
    memcpy(&info, bytes.data() + sizeof file, sizeof info);
    if (file.bfType != 0x4D42 || info.biBitCount != 24 || info.biCompression != BI_RGB || info.biWidth <= 0 ||
        info.biHeight <= 0)
        return {};
    Picture picture;
    picture.width = info.biWidth;
    picture.height = info.biHeight;
    const size_t size = static_cast<size_t>(picture.Stride()) * picture.height;
    if (file.bfOffBits > bytes.size() || bytes.size() - file.bfOffBits < size) return {};
    picture.rows.assign(bytes.begin() + file.bfOffBits, bytes.begin() + file.bfOffBits + size);
    return picture;
}

}  // namespace desktop
