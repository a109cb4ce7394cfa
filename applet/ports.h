// The applet's view of the world: every Win32 call it makes goes through one of these interfaces.
// The Win32 adapters in win32/ implement them with the real calls; the unit tests use fakes.
// Whatever is fixed about a call (access rights, value types, sizes, ids) is a parameter here,
// so that a test can see it.
#pragma once

#include <cstdint>
#include <string>

namespace applet {

// Opaque handle of a key, device, set, process, window or mutex; 0 means "none".
using Handle = std::uintptr_t;

namespace win {
// Registry
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegDword = 4;
// Messages
constexpr std::uint32_t kWmClose = 0x0010;
constexpr std::uint32_t kWmKeyDown = 0x0100;
constexpr std::uint32_t kWmLButtonDown = 0x0201;
constexpr std::uint32_t kWmRButtonDown = 0x0204;
// Dialog results
constexpr std::int32_t kIdOk = 1;
constexpr std::int32_t kIdCancel = 2;
// SendMessageTimeout flags
constexpr std::uint32_t kSmtoAbortIfHung = 0x0002;
// WaitForSingleObject
constexpr std::uint32_t kWaitTimeout = 0x102;
// WM_WTSSESSION_CHANGE: the code in wParam, the session id in lParam
constexpr std::uint32_t kWmWtsSessionChange = 0x02B1;
constexpr std::uint32_t kWtsConsoleConnect = 1;
constexpr std::uint32_t kWtsConsoleDisconnect = 2;
constexpr std::uint32_t kWtsRemoteConnect = 3;
constexpr std::uint32_t kWtsRemoteDisconnect = 4;
constexpr std::uint32_t kWtsSessionLock = 7;
}  // namespace win

enum class RegRoot : std::uint32_t { CurrentUser, LocalMachine };

// Registry with the Win32 rules the applet relies on: an empty sub-path opens the root itself;
// a value whose data is larger than the buffer is not read (the query fails).
struct Registry {
    virtual ~Registry() = default;
    // RegOpenKeyExW; returns 0 when the key does not open with that access.
    virtual Handle OpenKey(RegRoot root, const std::u16string& path, std::uint32_t access) = 0;
    // RegQueryValueExW into `data` of *size bytes. On success *type is the stored type and *size
    // the stored size; on failure (missing value, too large) the buffer must count as untouched.
    virtual bool QueryValue(Handle key, const std::u16string& name, std::uint32_t* type, void* data,
                            std::uint32_t* size) = 0;
    virtual bool SetValue(Handle key, const std::u16string& name, std::uint32_t type,
                          const void* data, std::uint32_t size) = 0;
    virtual bool DeleteValue(Handle key, const std::u16string& name) = 0;
    virtual void CloseKey(Handle key) = 0;
};

// The capture driver's request record: five little-endian 32-bit words.
struct GPIO_REQUEST {
    std::uint32_t reserved0;
    std::uint32_t offset;
    std::uint32_t value;
    std::uint32_t reserved3;
    std::uint32_t reserved4;
};
static_assert(sizeof(GPIO_REQUEST) == 20, "the capture driver expects a 20-byte record");

// Device-interface enumeration of KSCATEGORY_CAPTURE and the device handle of the card.
struct CaptureDevices {
    virtual ~CaptureDevices() = default;
    // SetupDiGetClassDevsW(KSCATEGORY_CAPTURE, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE); 0 on failure.
    virtual Handle OpenInterfaceSet() = 0;
    // SetupDiEnumDeviceInterfaces; false when there is no interface at this index.
    virtual bool EnumInterface(Handle set, std::uint32_t index) = 0;
    // SetupDiGetDeviceInterfaceDetailW (size query, heap record, fetch); false on any failure.
    virtual bool InterfacePath(Handle set, std::uint32_t index, std::u16string* path) = 0;
    virtual void CloseInterfaceSet(Handle set) = 0;
    // CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING); 0 on failure.
    virtual Handle OpenDevice(const std::u16string& path) = 0;
    // DeviceIoControl with the record as input and output buffer (20 bytes each), synchronous.
    // Returns the call's result; *returned is the count of bytes the driver returned.
    virtual bool Control(Handle device, std::uint32_t code, GPIO_REQUEST* record,
                         std::uint32_t* returned) = 0;
    virtual void CloseDevice(Handle device) = 0;
};

// Windows, messages and the main window's timers.
struct Windows {
    virtual ~Windows() = default;
    virtual Handle MainWindow() = 0;
    virtual void SetTimer(std::uint32_t id, std::uint32_t periodMs) = 0;
    virtual void KillTimer(std::uint32_t id) = 0;
    // FindWindowW; a null pointer stands for "no class" / "no title".
    virtual Handle FindWindow(const char16_t* className, const char16_t* title) = 0;
    virtual bool Post(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual std::intptr_t Send(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) = 0;
    // SendMessageTimeoutW; false when the target did not handle the message in time (or is hung).
    virtual bool SendTimeout(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                             std::intptr_t lParam, std::uint32_t flags, std::uint32_t timeoutMs) = 0;
};

// The size the applet gives the shell's icon record: NOTIFYICONDATAW of 32-bit Windows up to the
// GUID, with the 128-unit tooltip and no balloon icon.
constexpr std::uint32_t kTrayRecordSize = 936;

// The notification-area icon record as the applet fills it.
struct TrayIcon {
    std::uint32_t cbSize = kTrayRecordSize;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;             // NIF_MESSAGE | NIF_ICON | NIF_TIP = 7 when adding
    std::uint32_t callbackMessage = 0;   // 0x464
    std::uint32_t iconResource = 0;      // icon resource loaded for the add and released after it
    std::u16string tip;                  // at most 79 units; the adapter adds the terminator
};

// One item of the tray menu and whether it is enabled (MF_ENABLED) or greyed (MF_GRAYED|MF_DISABLED).
struct MenuItemState {
    std::uint32_t command;
    bool enabled;
};

struct Shell {
    virtual ~Shell() = default;
    virtual bool AddIcon(const TrayIcon& icon) = 0;      // NIM_ADD
    virtual bool DeleteIcon(std::uint32_t id) = 0;        // NIM_DELETE, kTrayRecordSize, main window
    // Loads menu resource `menuResource`, takes popup 0, applies the states by command id, brings
    // the main window to the foreground, tracks the popup at the cursor (TPM_LEFTALIGN |
    // TPM_RIGHTBUTTON, owner the main window), posts WM_NULL, destroys the menu. The chosen item
    // reaches the main window as WM_COMMAND.
    virtual void TrackTrayMenu(std::uint32_t menuResource, const MenuItemState* items,
                               std::uint32_t count) = 0;
};

// Processes, the program's own module, waiting.
struct Processes {
    virtual ~Processes() = default;
    // CreateProcessW(module = path, no command line, STARTUPINFOW of 68 bytes otherwise zero).
    // Returns the process handle (the adapter keeps the thread handle with it) or 0.
    virtual Handle Start(const std::u16string& path) = 0;
    // WaitForSingleObject; returns 0 when the process ended, win::kWaitTimeout otherwise.
    virtual std::uint32_t WaitFor(Handle process, std::uint32_t timeoutMs) = 0;
    virtual void CloseHandle(Handle process) = 0;  // closes the process and the thread handle
    virtual void Sleep(std::uint32_t ms) = 0;
    // GetModuleFileNameW(no module) into a buffer of `capacity` units; empty on failure and when
    // the path does not fit with its terminator (the call would have cut it short).
    virtual std::u16string ModuleFileName(std::uint32_t capacity) = 0;
};

// Process-wide services of start-up and exit.
struct Session {
    virtual ~Session() = default;
    virtual std::u16string LoadString(std::uint32_t id) = 0;
    virtual Handle OpenMutex(const std::u16string& name) = 0;     // MUTEX_ALL_ACCESS, inherit TRUE
    virtual Handle CreateMutex(const std::u16string& name) = 0;   // initial owner TRUE
    virtual void CloseHandle(Handle handle) = 0;
    virtual void CoInitialize() = 0;
    virtual void CoUninitialize() = 0;
    virtual void LoadKeyboardLayout(const std::u16string& id, std::uint32_t flags) = 0;
};

// Logon sessions and the machine's physical console. Every session runs an applet of its own, and
// the card has one receiver. The functions are looked up at run time (wtsapi32 from the system
// folder); where one is missing the adapter says so and the applet behaves as if it had the console.
//   RegisterNotification once the main window exists; if it answers Failed (the session service is
//   not up yet, at an early logon), again later until it answers Done or Unavailable. After Done the
//   main window receives WM_WTSSESSION_CHANGE for its own session, until UnregisterNotification,
//   which the shutdown calls before the window is destroyed.
struct Console {
    enum class Registration { Done, Failed, Unavailable };
    virtual ~Console() = default;
    // WTSRegisterSessionNotification(main window, NOTIFY_FOR_THIS_SESSION).
    virtual Registration RegisterNotification() = 0;
    virtual void UnregisterNotification() = 0;  // WTSUnRegisterSessionNotification
    // ProcessIdToSessionId(GetCurrentProcessId()); false when missing or failed.
    virtual bool OwnSession(std::uint32_t* id) = 0;
    // WTSGetActiveConsoleSessionId (0xFFFFFFFF while none is attached, during a switch); false when
    // missing.
    virtual bool ConsoleSession(std::uint32_t* id) = 0;
    // GetSystemMetrics(SM_REMOTESESSION): this session is shown through a remote desktop.
    virtual bool RemoteSession() = 0;
};

// Controls of a dialog that is being initialised.
struct DialogControls {
    virtual ~DialogControls() = default;
    virtual void SetCheck(std::uint32_t id, bool checked) = 0;   // BM_SETCHECK
    virtual void Enable(std::uint32_t id, bool enabled) = 0;     // EnableWindow
};

class CRemote;
class CUnload;

// Modal dialogs on their templates (136 and 137); each returns IDOK or IDCANCEL.
struct Dialogs {
    virtual ~Dialogs() = default;
    virtual std::int32_t RunRemote(CRemote& dialog) = 0;
    virtual std::int32_t RunUnload(CUnload& dialog) = 0;
};

// Everything the applet's logic reaches the world through.
struct Ports {
    Registry& registry;
    CaptureDevices& devices;
    Windows& windows;
    Shell& shell;
    Processes& processes;
    Session& session;
    Dialogs& dialogs;
    Console& console;
};

}  // namespace applet
