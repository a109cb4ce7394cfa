#include "system_dll.h"

namespace setup::win32 {

namespace {
// From the Windows 8 headers; the launcher is built with the XP ones.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
}  // namespace

void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDllDirectoryW")));
    auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDllDirectory) setDllDirectory(L"");
    if (setDefaultDllDirectories) setDefaultDllDirectories(kLoadLibrarySearchSystem32);
}

SystemLibrary::SystemLibrary(const wchar_t* fileName) : module_(nullptr) {
    wchar_t path[2 * MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || lstrlenW(fileName) >= MAX_PATH - 1) return;
    path[n] = L'\\';
    lstrcpyW(path + n + 1, fileName);
    // The DLL's own imports are then looked for in its folder, not in the program's.
    module_ = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace setup::win32
