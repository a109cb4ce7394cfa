// The setup window: its class, title font, painting of the skin that CMainFrame chose, and the
// routing of its messages to CMainFrame.
#include "frame.h"

#include <cstring>

#include "adapters.h"

namespace setup::win32 {

namespace {

const char kFrameClass[] = "TvCardSetupFrame";
// IDC_ARROW, which the UNICODE headers give as a wide resource name.
const char* const kArrowCursor = MAKEINTRESOURCEA(32512);
// The title written on the picture: white bold italic Times New Roman, 36 pixels high.
constexpr int kTitleHeight = 36;
constexpr int kTitleX = 12, kTitleY = 8;
constexpr COLORREF kTitleColour = RGB(255, 255, 255);

HFONT CreateTitleFont() {
    return CreateFontA(kTitleHeight, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_ROMAN | DEFAULT_PITCH, "Times New Roman");
}

void Paint(FrameWindow& w, HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const Picture& skin = w.frame.Skin();
    if (HBITMAP bitmap = w.pictures.Bitmap(skin.bitmap)) {
        UniqueDc memory(CreateCompatibleDC(dc));
        HGDIOBJ oldBitmap = SelectObject(memory.get(), bitmap);
        // The picture covers the whole window rectangle; what lies beyond the client area is clipped.
        RECT r;
        GetWindowRect(hwnd, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        StretchBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, memory.get(), 0, 0, skin.width, skin.height,
                   SRCCOPY);
        SelectObject(memory.get(), oldBitmap);
        memory.reset();

        HGDIOBJ oldFont = w.titleFont ? SelectObject(dc, w.titleFont.get()) : nullptr;
        SetTextColor(dc, kTitleColour);
        SetBkMode(dc, TRANSPARENT);
        TextOutA(dc, kTitleX, kTitleY, kFrameTitle, static_cast<int>(std::strlen(kFrameTitle)));
        if (oldFont) SelectObject(dc, oldFont);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    auto* w = reinterpret_cast<FrameWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!w) return DefWindowProcA(hwnd, msg, wp, lp);

    switch (msg) {
    case WM_CREATE:
        w->frame.LoadSkin();
        w->titleFont.reset(CreateTitleFont());
        w->frame.OnCreate(Of(hwnd));
        return 0;
    case WM_PAINT:
        Paint(*w, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_SETTINGCHANGE:
        return 0;
    case WM_TIMER:
        w->frame.OnTimer(static_cast<std::uint32_t>(wp));
        break;
    case kMsgStartWatch:
        w->frame.OnStartWatch();
        return 0;
    case WM_CLOSE:
        w->frame.OnClose();
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        w->titleFont.reset();
        w->frame.OnDestroy();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        break;
    case WM_QUERYENDSESSION:
        return w->frame.OnQueryEndSession() ? TRUE : FALSE;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

HWND CreateFrameWindow(FrameWindow& window, HBRUSH background) {
    WNDCLASSA wc = {};
    wc.style = kFrameClassStyle;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = window.instance;
    wc.hIcon = LoadIconA(window.instance, MAKEINTRESOURCEA(kFrameIcon));
    wc.hCursor = LoadCursorA(nullptr, kArrowCursor);
    wc.hbrBackground = background;
    wc.lpszClassName = kFrameClass;
    RegisterClassA(&wc);

    const WindowRect r = window.frame.InitialRect();
    return CreateWindowExA(0, kFrameClass, kFrameTitle, kFrameWindowStyle, r.x, r.y, r.width, r.height,
                           nullptr, nullptr, window.instance, &window);
}

}  // namespace setup::win32
