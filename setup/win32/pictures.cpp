// Pictures port: a picture file decoded by GDI+, the built-in bitmap, and their deletion.
#include <objbase.h>
#include <gdiplus.h>

#include "adapters.h"
#include "resource.h"
#include "system_dll.h"

namespace setup::win32 {

namespace {

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

constexpr WORD kBitsPerPixel = 32;

}  // namespace

Picture PicturesAdapter::DecodeFile(const std::string& name) {
    static const GdiplusApi gdip;
    if (!gdip.complete()) return Picture{};
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (gdip.startup(&token, &input, nullptr) != Gdiplus::Ok) return Picture{};
    Picture decoded;
    wchar_t file[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, file, MAX_PATH);
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
        bi.bmiHeader.biBitCount = kBitsPerPixel;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueGdi section(w && h ? CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
        if (section) {
            Gdiplus::BitmapData data = {};
            data.Width = w;
            data.Height = h;
            data.Stride = static_cast<INT>(w * (kBitsPerPixel / 8));
            data.PixelFormat = PixelFormat32bppRGB;
            data.Scan0 = bits;
            Gdiplus::GpRect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
            if (gdip.lockBits(picture, &rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                              PixelFormat32bppRGB, &data) == Gdiplus::Ok) {
                gdip.unlockBits(picture, &data);
                decoded = Picture{bitmaps_.Adopt(section.release()), static_cast<std::int32_t>(w),
                                  static_cast<std::int32_t>(h)};
            }
        }
        gdip.dispose(picture);
    }
    gdip.shutdown(token);
    return decoded;
}

Picture PicturesAdapter::LoadBitmapResource(std::uint32_t id) {
    UniqueGdi bitmap(LoadImageA(instance_, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return Picture{};
    BITMAP bm = {};
    if (!GetObjectA(bitmap.get(), sizeof bm, &bm)) bm.bmWidth = bm.bmHeight = 0;
    return Picture{bitmaps_.Adopt(bitmap.release()), bm.bmWidth, bm.bmHeight};
}

void PicturesAdapter::DeleteObject(Handle bitmap) { bitmaps_.Close(bitmap); }

HBITMAP PicturesAdapter::Bitmap(Handle bitmap) { return static_cast<HBITMAP>(bitmaps_.Get(bitmap)); }

}  // namespace setup::win32
