#include "screen.h"

#include <cstdlib>

#include "harness.h"

namespace e2e {

RECT ScreenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT ClientToScreenRect(HWND window, RECT box) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return ClientToScreenRect(window, client);
}

Pixels GrabScreen(const RECT& box) {
    Pixels pixels;
    const int width = box.right - box.left, height = box.bottom - box.top;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        pixels.rgb.assign(p, p + static_cast<std::size_t>(width) * height);
        for (auto& v : pixels.rgb) v &= 0xFFFFFF;
        pixels.width = width;
        pixels.height = height;
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

COLORREF ScreenPixel(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool Near(COLORREF c, int r, int g, int b, int tolerance) {
    return std::abs(GetRValue(c) - r) <= tolerance && std::abs(GetGValue(c) - g) <= tolerance &&
           std::abs(GetBValue(c) - b) <= tolerance;
}

int DarkPixels(const Pixels& pixels, int top, int bottom) {
    int count = 0;
    for (int y = top; y < bottom && y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t c = pixels.at(x, y);
            if (((c >> 16) & 0xFF) < 0x50 && ((c >> 8) & 0xFF) < 0x50 && (c & 0xFF) < 0x50) ++count;
        }
    return count;
}

bool Drawn(HWND control) {
    const Pixels pixels = GrabScreen(ClientOnScreen(control));
    int light = 0;
    for (std::uint32_t c : pixels.rgb) light += ((c >> 16) & 0xFF) > 0xB0 && ((c >> 8) & 0xFF) > 0xB0 && (c & 0xFF) > 0xB0;
    return DarkPixels(pixels, 0, pixels.height) > 10 && light > 10;
}

bool SaveScreenshot(const std::wstring& name) {
    const char* dir = std::getenv("SCREENSHOT_DIR");
    if (!dir || !*dir) return false;
    std::wstring path = FromUnix(dir) + L"\\" + name + L".bmp";

    HDC screen = GetDC(nullptr);
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        SelectObject(memory, old);
        DWORD stride = ((width * 3 + 3) / 4) * 4;
        DWORD imageSize = stride * height;
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        header.bfSize = header.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ok = WriteFile(file, &header, sizeof(header), &written, nullptr) &&
                 WriteFile(file, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                 WriteFile(file, bits, imageSize, &written, nullptr);
            CloseHandle(file);
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace e2e
