// The launcher's view of the world: every Win32 call it makes goes through one of these interfaces.
// The adapters in win32/ implement them with the real ANSI calls and pass every parameter through
// unchanged; the unit tests use fakes. Whatever is fixed about a call (access rights, value types,
// sizes, flags, ids) is a parameter here, so that a test can see it.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

// Opaque handle of a key, process, thread, event, mutex, token or window; 0 means "none".
using Handle = std::uintptr_t;
using Hwnd = std::uintptr_t;

namespace win {
// Registry
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegDword = 4;
// Messages and message boxes
constexpr std::uint32_t kWmClose = 0x0010;
constexpr std::uint32_t kWmApp = 0x8000;
constexpr std::uint32_t kSmtoAbortIfHung = 0x0002;
constexpr std::uint32_t kMbIconHand = 0x10;
// Dialog results
constexpr std::int32_t kIdOk = 1;
constexpr std::int32_t kIdCancel = 2;
// GetSystemMetrics
constexpr std::int32_t kSmCxScreen = 0;
constexpr std::int32_t kSmCyScreen = 1;
constexpr std::int32_t kSmCxBorder = 5;
// STARTUPINFOA's size on i686
constexpr std::uint32_t kStartupInfoSize = 68;
// ShowWindow / WinExec
constexpr std::int32_t kSwHide = 0;
constexpr std::int32_t kSwShow = 5;
// Processes, files, waiting
constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
constexpr std::uint32_t kSynchronize = 0x00100000;
constexpr std::uint32_t kWaitTimeout = 0x102;
constexpr std::uint32_t kStartfUsePosition = 4;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kMovefileReplaceExisting = 0x1;
constexpr std::uint32_t kMovefileDelayUntilReboot = 0x4;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
// Start-up and restart
constexpr std::uint32_t kMutexAllAccess = 0x1F0001;
constexpr std::uint32_t kCoinitMultithreaded = 0;
constexpr std::uint32_t kEwxReboot = 2;
constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;
constexpr std::uint32_t kTokenQuery = 0x08;
constexpr std::uint32_t kSePrivilegeEnabled = 2;
// Per-account set-up and the desktop user's token
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kProcessQueryInformation = 0x0400;
constexpr std::uint32_t kTokenAssignPrimary = 0x01;
constexpr std::uint32_t kTokenDuplicate = 0x02;
constexpr std::uint32_t kTokenAdjustDefault = 0x80;
constexpr std::uint32_t kTokenAdjustSessionId = 0x100;
}  // namespace win

enum class RegRoot : std::uint32_t { CurrentUser, LocalMachine };

// Registry keys are opened for one operation and closed right after.
struct Registry {
    virtual ~Registry() = default;
    // RegOpenKeyExA(root, path, 0, access); returns 0 when the key does not open.
    virtual Handle OpenKey(RegRoot root, const std::string& path, std::uint32_t access) = 0;
    // RegCreateKeyExA(root, path, 0, no class, options, access, no security); 0 on failure.
    virtual Handle CreateKey(RegRoot root, const std::string& path, std::uint32_t options,
                             std::uint32_t access) = 0;
    // RegQueryValueExA into `data` of *size bytes; *type and *size are in/out exactly as there:
    // on success the stored type and size; when the data is larger than the buffer the call fails,
    // nothing is read and *size becomes the size needed.
    virtual bool QueryValue(Handle key, const std::string& name, std::uint32_t* type, void* data,
                            std::uint32_t* size) = 0;
    // RegSetValueExA
    virtual bool SetValue(Handle key, const std::string& name, std::uint32_t type, const void* data,
                          std::uint32_t size) = 0;
    // RegDeleteValueA
    virtual bool DeleteValue(Handle key, const std::string& name) = 0;
    // RegCloseKey
    virtual void CloseKey(Handle key) = 0;
};

// STARTUPINFOA as the launcher fills it: `cb` and, for a placed window, the flags and position;
// every other field of the real record is zero.
struct StartupRecord {
    std::uint32_t cb = win::kStartupInfoSize;
    std::uint32_t flags = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// PROCESS_INFORMATION
struct ProcessRecord {
    Handle process = 0;
    Handle thread = 0;
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
};

struct Processes {
    virtual ~Processes() = default;
    // CreateProcessA(no application name, commandLine, no security, inheritHandles, creationFlags,
    // the caller's environment, workingDir, startup, process). The record is written only on success.
    virtual bool Start(const std::string& commandLine, bool inheritHandles,
                       std::uint32_t creationFlags, const std::string& workingDir,
                       const StartupRecord& startup, ProcessRecord* process) = 0;
    // WaitForSingleObject; returns its result.
    virtual std::uint32_t WaitFor(Handle handle, std::uint32_t timeoutMs) = 0;
    // OpenProcess(access, inheritHandle, processId); 0 on failure.
    virtual Handle Open(std::uint32_t access, bool inheritHandle, std::uint32_t processId) = 0;
    // WaitForInputIdle; returns its result.
    virtual std::uint32_t WaitIdle(Handle process, std::uint32_t timeoutMs) = 0;
    // CloseHandle
    virtual void CloseHandle(Handle handle) = 0;
    // WinExec(commandLine, show); never waited for.
    virtual void Exec(const std::string& commandLine, std::int32_t show) = 0;
};

struct Files {
    virtual ~Files() = default;
    // GetWindowsDirectoryA / GetSystemDirectoryA into 260 bytes: no trailing backslash.
    virtual std::string WindowsDirectory() = 0;
    virtual std::string SystemDirectory() = 0;
    // GetFileVersionInfoSizeA, GlobalAlloc(GMEM_ZEROINIT, size + 100), GetFileVersionInfoA,
    // VerQueryValueA("\\"): dwProductVersionMS of the fixed record, 0 when any of them fails.
    virtual std::uint32_t ProductVersionMS(const std::string& path) = 0;
    // CreateDirectoryA(path, no security)
    virtual bool MakeDirectory(const std::string& path) = 0;
    // CopyFileA
    virtual bool Copy(const std::string& from, const std::string& to, bool failIfExists) = 0;
    // SetFileAttributesA
    virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
    // DeleteFileA
    virtual bool Remove(const std::string& path) = 0;
    // MoveFileExA(from, to, flags)
    virtual bool Move(const std::string& from, const std::string& to, std::uint32_t flags) = 0;
    // GetLastError, right after a call of this port that failed.
    virtual std::uint32_t LastError() = 0;
};

// Windows and messages. Timers belong to the setup window and are set and killed on its thread.
struct Windows {
    virtual ~Windows() = default;
    // FindWindowA; a null pointer stands for "no class" / "no title".
    virtual Hwnd FindWindow(const char* className, const char* title) = 0;
    // SendMessageTimeoutA(window, msg, wParam, lParam, flags, timeoutMs, result): true when the
    // window's thread handled the message in time, false when it did not (or the call failed).
    virtual bool SendTimeout(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                            std::uint32_t flags, std::uint32_t timeoutMs) = 0;
    // GetWindowThreadProcessId: the id of the process that created the window, 0 when there is
    // no such window.
    virtual std::uint32_t OwnerProcess(Hwnd window) = 0;
    // PostMessageA
    virtual bool Post(Hwnd window, std::uint32_t msg, std::uintptr_t wParam,
                      std::intptr_t lParam) = 0;
    // BringWindowToTop
    virtual void BringToTop(Hwnd window) = 0;
    // MessageBoxA; returns the button pressed.
    virtual std::int32_t Alert(Hwnd owner, const std::string& text, const std::string& caption,
                               std::uint32_t style) = 0;
    // SetTimer(window, id, periodMs, no callback) / KillTimer(window, id)
    virtual bool SetTimer(Hwnd window, std::uint32_t id, std::uint32_t periodMs) = 0;
    virtual void KillTimer(Hwnd window, std::uint32_t id) = 0;
    // GetSystemMetrics
    virtual std::int32_t Metric(std::int32_t index) = 0;
};

class CMainFrame;

// Events, sleeping and the one worker thread.
struct Sync {
    virtual ~Sync() = default;
    // CreateEventA(no security, manualReset, initialState, no name); 0 on failure.
    virtual Handle NewEvent(bool manualReset, bool initialState) = 0;
    // SetEvent
    virtual void SetEvent(Handle event) = 0;
    // WaitForSingleObject; returns its result.
    virtual std::uint32_t WaitFor(Handle handle, std::uint32_t timeoutMs) = 0;
    // CloseHandle
    virtual void CloseHandle(Handle handle) = 0;
    // Sleep
    virtual void Sleep(std::uint32_t ms) = 0;
    // CreateThread(no security, default stack, WorkerEntry, &frame, run at once); false on failure.
    virtual bool StartWorker(CMainFrame& frame) = 0;
};

// Ending the Windows session.
struct Restart {
    virtual ~Restart() = default;
    // ExitWindowsEx(flags, reason)
    virtual bool ExitSession(std::uint32_t flags, std::uint32_t reason) = 0;
    // OpenProcessToken(GetCurrentProcess(), access); 0 on failure.
    virtual Handle OpenToken(std::uint32_t access) = 0;
    // LookupPrivilegeValueA(local system, privilege), then AdjustTokenPrivileges(token, FALSE,
    // one entry with `attributes`, no previous state).
    virtual void EnablePrivilege(Handle token, const std::string& privilege,
                                 std::uint32_t attributes) = 0;
    // CloseHandle
    virtual void CloseToken(Handle token) = 0;
};

// Controls of a dialog that is being initialised.
struct DialogControls {
    virtual ~DialogControls() = default;
    // BM_SETCHECK(state) to control `id`
    virtual void SetCheck(std::int32_t id, std::uint32_t state) = 0;
};

class CRestartDlg;

struct Dialogs {
    virtual ~Dialogs() = default;
    // DialogBoxParamA on template `templateId` with `parent`: WM_INITDIALOG goes to
    // dialog.OnInitDialog, a click on a radio button (BN_CLICKED) to dialog.OnRadio(id); OK and
    // Cancel (and the close box, as Cancel) end the dialog with kIdOk / kIdCancel, which it returns.
    virtual std::int32_t RunModal(std::int32_t templateId, Hwnd parent, CRestartDlg& dialog) = 0;
};

// What the application object needs at start-up and exit.
struct AppHost {
    virtual ~AppHost() = default;
    // LoadStringA of the program's string `id`; empty when missing.
    virtual std::string LoadString(std::uint32_t id) = 0;
    // OpenMutexA(access, inherit, name) / CreateMutexA(no security, initialOwner, name); 0 on failure.
    virtual Handle OpenMutex(std::uint32_t access, bool inherit, const std::string& name) = 0;
    virtual Handle CreateMutex(bool initialOwner, const std::string& name) = 0;
    // CloseHandle
    virtual void CloseHandle(Handle handle) = 0;
    // CoInitializeEx(no reserved pointer, model) / CoUninitialize; results not examined.
    virtual void CoInitializeEx(std::uint32_t model) = 0;
    virtual void CoUninitialize() = 0;
    // GetModuleFileNameA(own module) into 260 bytes; empty when the path does not fit.
    virtual std::string ModuleFileName() = 0;
    // GetModuleFileNameW(own module), whole however long; empty on failure.
    virtual std::u16string ModuleFileNameWide() = 0;
    // GetShortPathNameW(path); empty on failure.
    virtual std::u16string ShortPath(const std::u16string& path) = 0;
    // WideCharToMultiByte(CP_ACP) of `wide` into *ansi; false when the text has no exact form in
    // the ANSI code page (a character substituted or best-fitted: converting back differs).
    virtual bool ToAnsi(const std::u16string& wide, std::string* ansi) = 0;
    // Registers the window class and creates the setup window with CMainFrame's class and window
    // properties at `frame.InitialRect()`; WM_CREATE reaches frame.OnCreate(window) and every later
    // message its handler. Returns the window, 0 when creation failed.
    virtual Hwnd CreateMainWindow(CMainFrame& frame) = 0;
    // ShowWindow / UpdateWindow
    virtual void ShowWindow(Hwnd window, std::int32_t command) = 0;
    virtual void UpdateWindow(Hwnd window) = 0;
};

// A picture in memory: a device-independent bitmap and its size in pixels; bitmap 0 means none.
struct Picture {
    Handle bitmap = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Pictures for the setup window.
struct Pictures {
    virtual ~Pictures() = default;
    // The file `name`, relative to the current directory, decoded by GDI+ (GdipCreateBitmapFromFile)
    // whatever its format, copied into a 32-bit DIB section; none when it does not decode (also
    // when GDI+ is missing).
    virtual Picture DecodeFile(const std::string& name) = 0;
    // LoadImageA(own module, bitmap resource `id`, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), with the
    // bitmap's own size; none when it does not load.
    virtual Picture LoadBitmapResource(std::uint32_t id) = 0;
    // DeleteObject
    virtual void DeleteObject(Handle bitmap) = 0;
};

// What the launcher needs to set up accounts other than its own and to start programs with the
// rights of the user at the desktop rather than its own elevated ones.
struct Accounts {
    virtual ~Accounts() = default;
    // The whole file (CreateFileA, ReadFile), at most kMaxRead bytes; false when it cannot be read.
    static constexpr std::uint32_t kMaxRead = 1u << 20;
    virtual bool ReadAll(const std::string& path, std::string* bytes) = 0;
    // CreateFileA(CREATE_ALWAYS), WriteFile of all the bytes; false when any of it fails.
    virtual bool WriteAll(const std::string& path, const std::string& bytes) = 0;
    // MultiByteToWideChar(CP_ACP)
    virtual std::u16string Widen(const std::string& text) = 0;
    // GetShellWindow: the desktop shell's window, 0 when there is none.
    virtual Hwnd ShellWindow() = 0;
    // GetCurrentProcessId / ProcessIdToSessionId
    virtual std::uint32_t OwnProcessId() = 0;
    virtual bool SessionOf(std::uint32_t processId, std::uint32_t* session) = 0;
    // OpenProcessToken(process, access); 0 on failure.
    virtual Handle OpenToken(Handle process, std::uint32_t access) = 0;
    // DuplicateTokenEx(token, access, no security, SecurityImpersonation, TokenPrimary); 0 on failure.
    virtual Handle DuplicatePrimary(Handle token, std::uint32_t access) = 0;
    // Whether advapi32 has CreateProcessWithTokenW (Vista and later), looked up at run time.
    virtual bool CanStartWithToken() = 0;
    // CreateProcessWithTokenW(token, logonFlags, no application name, commandLine, creationFlags,
    // the user's environment, workingDir, startup, process). The record is written only on success.
    virtual bool StartWithToken(Handle token, std::uint32_t logonFlags, const std::string& commandLine,
                                std::uint32_t creationFlags, const std::string& workingDir,
                                const StartupRecord& startup, ProcessRecord* process) = 0;
    // CloseHandle of a token
    virtual void CloseToken(Handle token) = 0;
};

// Everything the launcher's logic reaches the world through.
struct Ports {
    Registry& registry;
    Processes& processes;
    Files& files;
    Windows& windows;
    Sync& sync;
    Restart& restart;
    Dialogs& dialogs;
    AppHost& host;
    Accounts& accounts;
    Pictures& pictures;
};

}  // namespace setup
