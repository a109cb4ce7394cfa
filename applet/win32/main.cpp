// Ravlet.exe: the remote-control applet of the TV card.
#include "frame_window.h"

namespace {

// Installed, the applet runs from the Windows directory, which only administrators can write to,
// and everything it imports lies in the system folder; the DLLs that the shell and COM load by
// name while it runs must not come from whatever folder it was started in either. Both functions
// are looked up at run time: Windows XP SP3 has only SetDllDirectoryW, Windows 8 (and 7 with
// KB2533623) has SetDefaultDllDirectories as well.
void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;  // Windows 8 headers
    auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDllDirectoryW")));
    auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDllDirectory) setDllDirectory(L"");
    if (setDefaultDllDirectories) setDefaultDllDirectories(kLoadLibrarySearchSystem32);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictDllSearch();
    // The command line is ignored: the applet takes none.
    applet::win32::PortAdapters adapters;
    applet::CAppletApp app(adapters.ports());
    applet::win32::FrameWindowFactory factory(adapters.windows, &app);
    if (app.InitInstance(factory)) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    app.ExitInstance();
    return 0;
}
