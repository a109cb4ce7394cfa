// Processes and Session ports: child processes, waiting, the module path, start-up services.
#include "adapters.h"

#include <objbase.h>

#include <vector>

namespace applet::win32 {

#ifndef _WIN64
static_assert(sizeof(STARTUPINFOW) == 68, "the 32-bit start-up record");
#endif
static_assert(MUTEX_ALL_ACCESS == 0x1F0001, "mutex access");

Handle ProcessesAdapter::Start(const std::u16string& path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(Wide(path), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 0;
    return processes_.Adopt(info.hProcess, UniqueHandle(info.hThread));
}

std::uint32_t ProcessesAdapter::WaitFor(Handle process, std::uint32_t timeoutMs) {
    HANDLE handle = processes_.Get(process);
    if (!handle) return WAIT_FAILED;
    return WaitForSingleObject(handle, timeoutMs);
}

void ProcessesAdapter::CloseHandle(Handle process) { processes_.Close(process); }

void ProcessesAdapter::Sleep(std::uint32_t ms) { ::Sleep(ms); }

std::u16string ProcessesAdapter::ModuleFileName(std::uint32_t capacity) {
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
    // A path that filled the buffer was cut short: report it as no path at all.
    if (length == 0 || length >= capacity) return {};
    return Utf16(buffer.data(), length);
}

std::u16string SessionAdapter::LoadString(std::uint32_t id) {
    wchar_t buffer[256] = {};
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 256);
    return Utf16(buffer, length > 0 ? length : 0);
}

Handle SessionAdapter::OpenMutex(const std::u16string& name) {
    return handles_.Adopt(OpenMutexW(MUTEX_ALL_ACCESS, TRUE, Wide(name)));
}

Handle SessionAdapter::CreateMutex(const std::u16string& name) {
    return handles_.Adopt(CreateMutexW(nullptr, TRUE, Wide(name)));
}

void SessionAdapter::CloseHandle(Handle handle) { handles_.Close(handle); }

void SessionAdapter::CoInitialize() { ::CoInitialize(nullptr); }

void SessionAdapter::CoUninitialize() { ::CoUninitialize(); }

void SessionAdapter::LoadKeyboardLayout(const std::u16string& id, std::uint32_t flags) {
    LoadKeyboardLayoutW(Wide(id), flags);
}

}  // namespace applet::win32
