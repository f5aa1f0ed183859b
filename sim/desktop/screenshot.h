#pragma once
// What the screen shows of a window, as a 24-bit picture, and its BMP file.
#include <windows.h>

#include <string>
#include <vector>

namespace desktop {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<BYTE> rows;  // as a BMP file holds them: bottom row first, BGR, each row padded to 4 bytes

    int Stride() const { return (width * 3 + 3) & ~3; }
    // The colour at x, y counted from the top-left corner.
    COLORREF Pixel(int x, int y) const;
};

// The window's rectangle on the screen, title bar and frame included.
Picture Screenshot(HWND w);
bool SaveBitmap(const Picture& picture, const std::wstring& path);
// A 24-bit uncompressed BMP file; an empty picture when the file is not one.
Picture ReadBitmap(const std::wstring& path);

}  // namespace desktop
