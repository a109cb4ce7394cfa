/* The yardstick of the polling benchmark: the least a Windows program can do to poll the card as
 * the applet must, with a hidden window's 100 ms timer and five GPIO requests at each tick, and
 * nothing else: no presence check, no tray icon, no key profile, no COM.
 *
 *   bare_poll DEVICE_PATH SECONDS */
#include <windows.h>

#include <stdlib.h>

#define IOCTL_GPIO_WRITE 0x232D04
#define IOCTL_GPIO_READ 0x232D08

static HANDLE g_device;

static DWORD Request(DWORD code, DWORD offset, DWORD value) {
    DWORD record[5] = {0, offset, value, 0, 0};
    DWORD returned = 0;
    DeviceIoControl(g_device, code, record, sizeof record, record, sizeof record, &returned, NULL);
    return record[2];
}

static void CALLBACK Poll(HWND window, UINT message, UINT_PTR id, DWORD time) {
    DWORD status;
    (void)window, (void)message, (void)id, (void)time;
    Request(IOCTL_GPIO_WRITE, 0x1B0, 0xE08000);
    Request(IOCTL_GPIO_WRITE, 0x1B0, 0x80E08000);
    status = Request(IOCTL_GPIO_READ, 0x1B4, 0);
    Request(IOCTL_GPIO_WRITE, 0x1B4, status & 0xE00000);
    Request(IOCTL_GPIO_WRITE, 0x1B4, status & 0xE08000);
}

int wmain(int argc, wchar_t** argv) {
    HWND window;
    MSG msg;
    DWORD end;
    if (argc != 3) return 2;
    g_device = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (g_device == INVALID_HANDLE_VALUE) return 1;
    window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"bare poll", WS_CAPTION, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    SetTimer(window, 1, 100, Poll);
    end = GetTickCount() + (DWORD)_wtoi(argv[2]) * 1000;
    while ((int)(end - GetTickCount()) > 0 && GetMessageW(&msg, NULL, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(window);
    CloseHandle(g_device);
    return 0;
}
