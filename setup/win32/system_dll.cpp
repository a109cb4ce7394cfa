#include "system_dll.h"

#include <vector>

#include "unique.h"

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

HMODULE LoadFromAssembly(const wchar_t* fileName, HMODULE program, WORD manifestId) {
    constexpr DWORD kLongPath = 32768;
    std::vector<wchar_t> source(kLongPath);
    const DWORD n = GetModuleFileNameW(program, source.data(), kLongPath);
    wchar_t system[MAX_PATH] = {};
    const UINT s = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= kLongPath || s == 0 || s >= MAX_PATH) return nullptr;

    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    request.lpSource = source.data();
    request.lpResourceName = MAKEINTRESOURCEW(manifestId);
    // Where a private copy of the assembly would be looked for: the system folder, which only
    // administrators can write to, instead of the program's own folder.
    request.lpAssemblyDirectory = system;
    const UniqueActCtx context(CreateActCtxW(&request));
    if (!context) return nullptr;  // the assembly is not installed

    HMODULE module = nullptr;
    ULONG_PTR cookie = 0;
    if (ActivateActCtx(context.get(), &cookie)) {
        // Loaded by name only when the context sends that name into the assembly: for a name it
        // does not redirect, LoadLibrary would search the program's folder first. The size is
        // Windows XP's, which later versions accept too.
        ACTCTX_SECTION_KEYED_DATA found = {};
        found.cbSize = sizeof(ACTCTX_SECTION_KEYED_DATA_2600);
        if (FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, fileName, &found))
            module = LoadLibraryW(fileName);
        DeactivateActCtx(0, cookie);
    }
    return module;
}

SystemLibrary::SystemLibrary(const wchar_t* fileName, HMODULE program, WORD manifestId) : SystemLibrary(fileName) {
    if (!module_) module_ = LoadFromAssembly(fileName, program, manifestId);
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
