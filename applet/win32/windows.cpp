// Windows and Shell ports: timers, window look-up, messages, the notification icon and its menu.
#include "adapters.h"

#include <shellapi.h>

#include <cstddef>

namespace applet::win32 {

static_assert(WM_CLOSE == win::kWmClose && WM_KEYDOWN == win::kWmKeyDown, "message numbers");
static_assert(WM_LBUTTONDOWN == win::kWmLButtonDown && WM_RBUTTONDOWN == win::kWmRButtonDown, "mouse");
static_assert(SMTO_ABORTIFHUNG == win::kSmtoAbortIfHung && WAIT_TIMEOUT == win::kWaitTimeout, "flags");

// The record is filled whole, but the shell is told the 936-byte layout of 32-bit Windows: up to
// the GUID, with the 128-unit tooltip and no balloon icon. A 64-bit build (the tests on machines
// without 32-bit support) passes the same layout at its own size.
namespace {
#ifndef _WIN64
static_assert(NOTIFYICONDATAW_V2_SIZE == kTrayRecordSize, "the 936-byte tray record");
// The XP headers' record: the layout plus the item GUID (no balloon icon, which came with Vista).
static_assert(sizeof(NOTIFYICONDATAW) == kTrayRecordSize + sizeof(GUID), "the full 32-bit tray record");
#endif
DWORD RecordSize(std::uint32_t size) { return size == kTrayRecordSize ? NOTIFYICONDATAW_V2_SIZE : size; }
}  // namespace
static_assert((NIF_MESSAGE | NIF_ICON | NIF_TIP) == 7, "tray flags");
static_assert((MF_GRAYED | MF_DISABLED) == 3 && MF_ENABLED == 0, "menu item states");
static_assert((TPM_LEFTALIGN | TPM_RIGHTBUTTON) == 2, "menu tracking flags");

void WindowsAdapter::SetTimer(std::uint32_t id, std::uint32_t periodMs) {
    ::SetTimer(main_, id, periodMs, nullptr);
}

void WindowsAdapter::KillTimer(std::uint32_t id) { ::KillTimer(main_, id); }

Handle WindowsAdapter::FindWindow(const char16_t* className, const char16_t* title) {
    return ToHandle(FindWindowW(reinterpret_cast<const wchar_t*>(className), reinterpret_cast<const wchar_t*>(title)));
}

bool WindowsAdapter::Post(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return PostMessageW(FromHandle<HWND>(window), msg, wParam, lParam) != FALSE;
}

std::intptr_t WindowsAdapter::Send(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
    return SendMessageW(FromHandle<HWND>(window), msg, wParam, lParam);
}

bool WindowsAdapter::SendTimeout(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                               std::uint32_t flags, std::uint32_t timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(FromHandle<HWND>(window), msg, wParam, lParam, flags, timeoutMs, &result) != 0;
}

bool ShellAdapter::AddIcon(const TrayIcon& icon) {
    NOTIFYICONDATAW data{};
    data.cbSize = RecordSize(icon.cbSize);
    data.hWnd = windows_.main();
    data.uID = icon.id;
    data.uFlags = icon.flags;
    data.uCallbackMessage = icon.callbackMessage;
    // The frame drawn for the size the notification area shows (16 pixels at 96 DPI, 24 at 144...),
    // not the 32-pixel one scaled down.
    UniqueIcon image(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(icon.iconResource),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
    data.hIcon = image.get();
    lstrcpynW(data.szTip, Wide(icon.tip), 80);
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

bool ShellAdapter::DeleteIcon(std::uint32_t id) {
    NOTIFYICONDATAW data{};
    data.cbSize = RecordSize(kTrayRecordSize);
    data.hWnd = windows_.main();
    data.uID = id;
    return Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
}

void ShellAdapter::TrackTrayMenu(std::uint32_t menuResource, const MenuItemState* items, std::uint32_t count) {
    UniqueMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuResource)));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu.get(), 0);
    if (!popup) return;
    for (std::uint32_t i = 0; i < count; ++i)
        EnableMenuItem(popup, items[i].command,
                       MF_BYCOMMAND | (items[i].enabled ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
    HWND owner = windows_.main();
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    POINT cursor{};
    GetCursorPos(&cursor);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner, nullptr);
    // Makes the shell notice the menu has gone, so the next click opens it again at once.
    PostMessageW(owner, WM_NULL, 0, 0);
}

}  // namespace applet::win32
