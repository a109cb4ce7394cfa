// A planted gdiplus.dll: the flat GDI+ functions a program decodes a picture with. GdiplusStartup
// leaves evidence; each fails with GenericError (1), so that a program falls back to what it does
// without GDI+; GdiplusShutdown does nothing. No DLL of Wine's own imports gdiplus.dll.
#include "planted.h"

enum { kGenericError = 1 };

__declspec(dllexport) int WINAPI GdiplusStartup(ULONG_PTR* token, const void* input, void* output) {
    (void)input, (void)output;
    LeaveEvidenceOf("GdiplusStartup");
    if (token) *token = 0;
    return kGenericError;
}
__declspec(dllexport) void WINAPI GdiplusShutdown(ULONG_PTR token) { (void)token; }
__declspec(dllexport) int WINAPI GdipCreateBitmapFromFile(const wchar_t* file, void** bitmap) {
    (void)file;
    if (bitmap) *bitmap = NULL;
    return kGenericError;
}
__declspec(dllexport) int WINAPI GdipGetImageWidth(void* image, UINT* width) {
    (void)image;
    if (width) *width = 0;
    return kGenericError;
}
__declspec(dllexport) int WINAPI GdipGetImageHeight(void* image, UINT* height) {
    (void)image;
    if (height) *height = 0;
    return kGenericError;
}
__declspec(dllexport) int WINAPI GdipBitmapLockBits(void* bitmap, const void* rect, UINT flags, int format, void* data) {
    (void)bitmap, (void)rect, (void)flags, (void)format, (void)data;
    return kGenericError;
}
__declspec(dllexport) int WINAPI GdipBitmapUnlockBits(void* bitmap, void* data) {
    (void)bitmap, (void)data;
    return kGenericError;
}
__declspec(dllexport) int WINAPI GdipDisposeImage(void* image) {
    (void)image;
    return kGenericError;
}
