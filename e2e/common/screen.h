// What the screen shows: pixels of a rectangle, of a window's client area or of a control, and
// screenshots. Rectangles are in screen coordinates unless a name says otherwise.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// A window's rectangle on the screen, frame included.
RECT ScreenRect(HWND window);
// A rectangle of a window's client area (client coordinates) in screen coordinates.
RECT ClientToScreenRect(HWND window, RECT box);
// A window's whole client area in screen coordinates.
RECT ClientOnScreen(HWND window);

// The screen's pixels inside a rectangle, 0x00RRGGBB, row by row; empty when the rectangle is
// empty or cannot be read.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};
Pixels GrabScreen(const RECT& box);

// The pixel at a point of a window's client area, as the screen shows it.
COLORREF ScreenPixel(HWND window, int x, int y);
// Whether every channel of `c` lies within `tolerance` of (r, g, b).
bool Near(COLORREF c, int r, int g, int b, int tolerance);

// Pixels drawn in ordinary (black) text or lines: every channel dark. Greyed text is drawn in mid
// grey (with a white emboss), so greyed text has none of them. Counted in rows [top, bottom).
int DarkPixels(const Pixels& pixels, int top, int bottom);
// Whether a control shows its text or lines yet: more than a few dark pixels in its client area,
// and more than a few light ones of its face (the screen is black where nothing is painted yet).
bool Drawn(HWND control);

// Saves the whole screen as <name>.bmp in the folder named by SCREENSHOT_DIR (a Unix or Windows
// path); scripts/test.sh turns them into PNG files in screenshots/. Returns false on failure.
bool SaveScreenshot(const std::wstring& name);

}  // namespace e2e
