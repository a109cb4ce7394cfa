// The Win32 side of the applet's ports: each class moves bytes and maps constants, nothing more.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>

// The ports use these plain names; keep the A/W macros of <windows.h> off them.
#undef LoadString
#undef CreateMutex
#undef OpenMutex
#undef LoadKeyboardLayout
#undef FindWindow

#include "ports.h"
#include "unique.h"

namespace applet::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 on both sides");

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string Utf16(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
template <class T>
inline T FromHandle(Handle handle) { return reinterpret_cast<T>(handle); }
template <class T>
inline Handle ToHandle(T handle) { return reinterpret_cast<Handle>(handle); }

class RegistryAdapter : public Registry {
public:
    Handle OpenKey(RegRoot root, const std::u16string& path, std::uint32_t access) override;
    bool QueryValue(Handle key, const std::u16string& name, std::uint32_t* type, void* data,
                    std::uint32_t* size) override;
    bool SetValue(Handle key, const std::u16string& name, std::uint32_t type, const void* data,
                  std::uint32_t size) override;
    bool DeleteValue(Handle key, const std::u16string& name) override;
    void CloseKey(Handle key) override;

private:
    OwnedHandles<KeyTraits> keys_;
};

// The interface data of the last enumeration, kept with its set for the detail query.
struct EnumeratedInterface {
    bool valid = false;
    DWORD index = 0;
    SP_DEVICE_INTERFACE_DATA data{};
};

class CaptureDevicesAdapter : public CaptureDevices {
public:
    Handle OpenInterfaceSet() override;
    bool EnumInterface(Handle set, std::uint32_t index) override;
    bool InterfacePath(Handle set, std::uint32_t index, std::u16string* path) override;
    void CloseInterfaceSet(Handle set) override;
    Handle OpenDevice(const std::u16string& path) override;
    bool Control(Handle device, std::uint32_t code, GPIO_REQUEST* record,
                 std::uint32_t* returned) override;
    void CloseDevice(Handle device) override;

private:
    bool Enumerate(HDEVINFO set, DWORD index, SP_DEVICE_INTERFACE_DATA* data);

    OwnedHandles<DevInfoTraits, EnumeratedInterface> sets_;
    OwnedHandles<FileTraits> devices_;
};

class WindowsAdapter : public Windows {
public:
    // Set by the main window's procedure as soon as the window exists (WM_NCCREATE).
    void SetMainWindow(HWND window) { main_ = window; }
    HWND main() const { return main_; }

    Handle MainWindow() override { return ToHandle(main_); }
    void SetTimer(std::uint32_t id, std::uint32_t periodMs) override;
    void KillTimer(std::uint32_t id) override;
    Handle FindWindow(const char16_t* className, const char16_t* title) override;
    bool Post(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::intptr_t Send(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                       std::intptr_t lParam) override;
    bool SendTimeout(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                     std::uint32_t flags, std::uint32_t timeoutMs) override;

private:
    HWND main_ = nullptr;
};

class ShellAdapter : public Shell {
public:
    explicit ShellAdapter(WindowsAdapter& windows) : windows_(windows) {}
    bool AddIcon(const TrayIcon& icon) override;
    bool DeleteIcon(std::uint32_t id) override;
    void TrackTrayMenu(std::uint32_t menuResource, const MenuItemState* items,
                       std::uint32_t count) override;

private:
    WindowsAdapter& windows_;
};

class ProcessesAdapter : public Processes {
public:
    Handle Start(const std::u16string& path) override;
    std::uint32_t WaitFor(Handle process, std::uint32_t timeoutMs) override;
    void CloseHandle(Handle process) override;
    void Sleep(std::uint32_t ms) override;
    std::u16string ModuleFileName(std::uint32_t capacity) override;

private:
    // A started process with its thread handle.
    OwnedHandles<HandleTraits, UniqueHandle> processes_;
};

class SessionAdapter : public Session {
public:
    std::u16string LoadString(std::uint32_t id) override;
    Handle OpenMutex(const std::u16string& name) override;
    Handle CreateMutex(const std::u16string& name) override;
    void CloseHandle(Handle handle) override;
    void CoInitialize() override;
    void CoUninitialize() override;
    void LoadKeyboardLayout(const std::u16string& id, std::uint32_t flags) override;

private:
    OwnedHandles<HandleTraits> handles_;
};

class DialogsAdapter : public Dialogs {
public:
    std::int32_t RunRemote(CRemote& dialog) override;
    std::int32_t RunUnload(CUnload& dialog) override;
};

// Session notifications and the console, through functions looked up at run time: wtsapi32 is
// loaded from the system folder on first use and kept for the rest of the process.
class ConsoleAdapter : public Console {
public:
    explicit ConsoleAdapter(WindowsAdapter& windows) : windows_(windows) {}
    Registration RegisterNotification() override;
    void UnregisterNotification() override;
    bool OwnSession(std::uint32_t* id) override;
    bool ConsoleSession(std::uint32_t* id) override;
    bool RemoteSession() override;

private:
    bool LoadWtsApi();

    WindowsAdapter& windows_;
    bool loaded_ = false;
    HMODULE wtsapi_ = nullptr;
    BOOL(WINAPI* register_)(HWND, DWORD) = nullptr;
    BOOL(WINAPI* unregister_)(HWND) = nullptr;
    HWND registeredWindow_ = nullptr;
};

// All adapters of one process, wired into the ports.
struct PortAdapters {
    RegistryAdapter registry;
    CaptureDevicesAdapter devices;
    WindowsAdapter windows;
    ShellAdapter shell{windows};
    ProcessesAdapter processes;
    SessionAdapter session;
    DialogsAdapter dialogs;
    ConsoleAdapter console{windows};

    Ports ports() { return Ports{registry, devices, windows, shell, processes, session, dialogs, console}; }
};

}  // namespace applet::win32
