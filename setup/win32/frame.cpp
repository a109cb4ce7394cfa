// The setup window: its class, skin, title font, painting and the routing of its messages to
// CMainFrame.
#include "frame.h"

#include <objbase.h>
#include <gdiplus.h>

#include <cstring>

#include "adapters.h"
#include "resource.h"
#include "system_dll.h"

namespace setup::win32 {

namespace {

const char kFrameClass[] = "TvCardSetupFrame";
// IDC_ARROW, which the UNICODE headers give as a wide resource name.
const char* const kArrowCursor = MAKEINTRESOURCEA(32512);
// The title written on the picture: white bold italic Times New Roman, 36 pixels high.
constexpr int kTitleHeight = 36;
constexpr int kTitleX = 12, kTitleY = 8;
constexpr COLORREF kTitleColour = RGB(255, 255, 255);

// The flat GDI+ functions the skin needs, from the system's gdiplus.dll: the system folder's, else
// (Windows XP) the side-by-side store's.
struct GdiplusApi {
    template <class Fn>
    Fn Get(const char* name) const { return dll.Get<Fn>(name); }

    SystemLibrary dll{L"gdiplus.dll", GetModuleHandleW(nullptr), IDR_GDIPLUS_MANIFEST};
    decltype(&Gdiplus::GdiplusStartup) startup = Get<decltype(startup)>("GdiplusStartup");
    decltype(&Gdiplus::GdiplusShutdown) shutdown = Get<decltype(shutdown)>("GdiplusShutdown");
    decltype(&Gdiplus::DllExports::GdipCreateBitmapFromFile) fromFile =
        Get<decltype(fromFile)>("GdipCreateBitmapFromFile");
    decltype(&Gdiplus::DllExports::GdipGetImageWidth) width = Get<decltype(width)>("GdipGetImageWidth");
    decltype(&Gdiplus::DllExports::GdipGetImageHeight) height = Get<decltype(height)>("GdipGetImageHeight");
    decltype(&Gdiplus::DllExports::GdipBitmapLockBits) lockBits = Get<decltype(lockBits)>("GdipBitmapLockBits");
    decltype(&Gdiplus::DllExports::GdipBitmapUnlockBits) unlockBits =
        Get<decltype(unlockBits)>("GdipBitmapUnlockBits");
    decltype(&Gdiplus::DllExports::GdipDisposeImage) dispose = Get<decltype(dispose)>("GdipDisposeImage");

    bool complete() const {
        return startup && shutdown && fromFile && width && height && lockBits && unlockBits && dispose;
    }
};

// "Setup.bin" in the current directory, in any format GDI+ decodes, copied into a 32-bit DIB
// section. Without GDI+ it counts as undecodable.
HBITMAP DecodeSkinFile(int* width, int* height) {
    static const GdiplusApi gdip;
    if (!gdip.complete()) return nullptr;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (gdip.startup(&token, &input, nullptr) != Gdiplus::Ok) return nullptr;
    HBITMAP dib = nullptr;
    wchar_t file[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, kSkinFile, -1, file, MAX_PATH);
    Gdiplus::GpBitmap* picture = nullptr;
    if (gdip.fromFile(file, &picture) == Gdiplus::Ok) {
        UINT w = 0, h = 0;
        gdip.width(picture, &w);
        gdip.height(picture, &h);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = static_cast<LONG>(w);
        bi.bmiHeader.biHeight = -static_cast<LONG>(h);  // top-down, as GDI+ hands the rows out
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueGdi section(w && h ? CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
        if (section) {
            Gdiplus::BitmapData data = {};
            data.Width = w;
            data.Height = h;
            data.Stride = static_cast<INT>(w * 4);
            data.PixelFormat = PixelFormat32bppRGB;
            data.Scan0 = bits;
            Gdiplus::GpRect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
            if (gdip.lockBits(picture, &rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                              PixelFormat32bppRGB, &data) == Gdiplus::Ok) {
                gdip.unlockBits(picture, &data);
                dib = static_cast<HBITMAP>(section.release());
                *width = static_cast<int>(w);
                *height = static_cast<int>(h);
            }
        }
        gdip.dispose(picture);
    }
    gdip.shutdown(token);
    return dib;
}

void LoadSkin(FrameWindow& w) {
    int width = 0, height = 0;
    HBITMAP skin = DecodeSkinFile(&width, &height);
    if (!skin) {
        skin = static_cast<HBITMAP>(
            LoadImageA(w.instance, MAKEINTRESOURCEA(kSkinBitmap), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        BITMAP bm = {};
        if (skin && GetObjectA(skin, sizeof bm, &bm)) {
            width = bm.bmWidth;
            height = bm.bmHeight;
        }
    }
    w.skin.reset(skin);
    w.skinWidth = skin ? width : 0;
    w.skinHeight = skin ? height : 0;
}

HFONT CreateTitleFont() {
    return CreateFontA(kTitleHeight, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_ROMAN | DEFAULT_PITCH, "Times New Roman");
}

void Paint(FrameWindow& w, HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (w.skin) {
        UniqueDc memory(CreateCompatibleDC(dc));
        HGDIOBJ oldBitmap = SelectObject(memory.get(), w.skin.get());
        // The picture covers the whole window rectangle; what lies beyond the client area is clipped.
        RECT r;
        GetWindowRect(hwnd, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        StretchBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, memory.get(), 0, 0, w.skinWidth, w.skinHeight,
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
        LoadSkin(*w);
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
        w->skin.reset();
        w->skinWidth = w->skinHeight = 0;
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
