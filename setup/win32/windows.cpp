// Windows port: finding, messaging and raising top-level windows, message boxes, timers and
// screen metrics.
#include "adapters.h"

namespace setup::win32 {

static_assert(SMTO_ABORTIFHUNG == win::kSmtoAbortIfHung);

Hwnd WindowsAdapter::FindWindow(const char* className, const char* title) {
    return Of(FindWindowA(className, title));
}

bool WindowsAdapter::SendTimeout(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                std::uint32_t flags, std::uint32_t timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(As<HWND>(window), msg, wParam, lParam, flags, timeoutMs, &result) != 0;
}

std::uint32_t WindowsAdapter::OwnerProcess(Hwnd window) {
    DWORD id = 0;
    return GetWindowThreadProcessId(As<HWND>(window), &id) != 0 ? id : 0;
}

bool WindowsAdapter::Post(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return PostMessageA(As<HWND>(window), msg, wParam, lParam);
}

void WindowsAdapter::BringToTop(Hwnd window) { BringWindowToTop(As<HWND>(window)); }

std::int32_t WindowsAdapter::Alert(Hwnd owner, const std::string& text, const std::string& caption,
                                   std::uint32_t style) {
    return MessageBoxA(As<HWND>(owner), text.c_str(), caption.c_str(), style);
}

bool WindowsAdapter::SetTimer(Hwnd window, std::uint32_t id, std::uint32_t periodMs) {
    return ::SetTimer(As<HWND>(window), id, periodMs, nullptr) != 0;
}

void WindowsAdapter::KillTimer(Hwnd window, std::uint32_t id) { ::KillTimer(As<HWND>(window), id); }

std::int32_t WindowsAdapter::Metric(std::int32_t index) { return GetSystemMetrics(index); }

}  // namespace setup::win32
