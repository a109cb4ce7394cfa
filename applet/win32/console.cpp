// Console port: session notifications (wtsapi32) and which session has the console (kernel32).
// Everything is looked up at run time, so that the applet imports nothing that a system without
// the session service lacks.
#include "adapters.h"

#include <wtsapi32.h>

namespace applet::win32 {

static_assert(WM_WTSSESSION_CHANGE == win::kWmWtsSessionChange, "session change message");
static_assert(WTS_CONSOLE_CONNECT == win::kWtsConsoleConnect && WTS_CONSOLE_DISCONNECT == win::kWtsConsoleDisconnect &&
                  WTS_REMOTE_CONNECT == win::kWtsRemoteConnect &&
                  WTS_REMOTE_DISCONNECT == win::kWtsRemoteDisconnect && WTS_SESSION_LOCK == win::kWtsSessionLock,
              "session change codes");

namespace {

template <class Fn>
Fn Lookup(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

// wtsapi32.dll is not a KnownDLL: by its full path in the system folder, never by name.
HMODULE LoadSystemDll(const wchar_t* fileName) {
    wchar_t path[2 * MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    path[n] = L'\\';
    lstrcpynW(path + n + 1, fileName, MAX_PATH);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

bool ConsoleAdapter::LoadWtsApi() {
    if (!loaded_) {
        loaded_ = true;
        wtsapi_ = LoadSystemDll(L"wtsapi32.dll");
        register_ = Lookup<decltype(register_)>(wtsapi_, "WTSRegisterSessionNotification");
        unregister_ = Lookup<decltype(unregister_)>(wtsapi_, "WTSUnRegisterSessionNotification");
    }
    return register_ && unregister_;
}

Console::Registration ConsoleAdapter::RegisterNotification() {
    if (!LoadWtsApi()) return Registration::Unavailable;
    HWND window = windows_.main();
    // Fails (RPC_S_INVALID_BINDING) while the session service has not started yet.
    if (!window || !register_(window, NOTIFY_FOR_THIS_SESSION)) return Registration::Failed;
    registeredWindow_ = window;
    return Registration::Done;
}

void ConsoleAdapter::UnregisterNotification() {
    if (registeredWindow_ && unregister_) unregister_(registeredWindow_);
    registeredWindow_ = nullptr;
}

bool ConsoleAdapter::OwnSession(std::uint32_t* id) {
    const auto processIdToSessionId =
        Lookup<BOOL(WINAPI*)(DWORD, DWORD*)>(GetModuleHandleW(L"kernel32.dll"), "ProcessIdToSessionId");
    DWORD session = 0;
    if (!processIdToSessionId || !processIdToSessionId(GetCurrentProcessId(), &session)) return false;
    *id = session;
    return true;
}

bool ConsoleAdapter::ConsoleSession(std::uint32_t* id) {
    const auto activeConsoleSessionId =
        Lookup<DWORD(WINAPI*)()>(GetModuleHandleW(L"kernel32.dll"), "WTSGetActiveConsoleSessionId");
    if (!activeConsoleSessionId) return false;
    *id = activeConsoleSessionId();
    return true;
}

bool ConsoleAdapter::RemoteSession() { return GetSystemMetrics(SM_REMOTESESSION) != 0; }

}  // namespace applet::win32
