#include "adapters.h"

#include <vector>

#include "restartdlg.h"
#include "system_dll.h"

namespace setup::win32 {

#if !defined(_WIN64)
// The logic's start-up records carry the 32-bit record's size.
static_assert(sizeof(STARTUPINFOA) == 68);
#endif
static_assert(SYNCHRONIZE == win::kSynchronize && WAIT_TIMEOUT == win::kWaitTimeout);
static_assert(SMTO_ABORTIFHUNG == win::kSmtoAbortIfHung && MOVEFILE_REPLACE_EXISTING == win::kMovefileReplaceExisting &&
              MOVEFILE_DELAY_UNTIL_REBOOT == win::kMovefileDelayUntilReboot);
static_assert(ERROR_ACCESS_DENIED == win::kErrorAccessDenied && ERROR_SHARING_VIOLATION == win::kErrorSharingViolation);

namespace {

HKEY Root(RegRoot root) { return root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::string Directory(UINT (WINAPI* get)(LPSTR, UINT)) {
    char buf[MAX_PATH] = {};
    UINT n = get(buf, MAX_PATH);
    return n < MAX_PATH ? std::string(buf, n) : std::string();
}

DWORD WINAPI WorkerThunk(LPVOID frame) { return WorkerEntry(frame); }

}  // namespace

// ---- registry ----------------------------------------------------------------------------------

Handle RegistryAdapter::OpenKey(RegRoot root, const std::string& path, std::uint32_t access) {
    HKEY key = nullptr;
    return RegOpenKeyExA(Root(root), path.c_str(), 0, access, &key) == ERROR_SUCCESS ? Of(key) : 0;
}

Handle RegistryAdapter::CreateKey(RegRoot root, const std::string& path, std::uint32_t options,
                                  std::uint32_t access) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(Root(root), path.c_str(), 0, nullptr, options, access, nullptr, &key, nullptr);
    return rc == ERROR_SUCCESS ? Of(key) : 0;
}

bool RegistryAdapter::QueryValue(Handle key, const std::string& name, std::uint32_t* type, void* data,
                                 std::uint32_t* size) {
    DWORD t = *type;
    DWORD n = *size;
    LONG rc = RegQueryValueExA(As<HKEY>(key), name.c_str(), nullptr, &t, static_cast<BYTE*>(data), &n);
    *type = t;
    *size = n;
    return rc == ERROR_SUCCESS;
}

bool RegistryAdapter::SetValue(Handle key, const std::string& name, std::uint32_t type, const void* data,
                               std::uint32_t size) {
    return RegSetValueExA(As<HKEY>(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool RegistryAdapter::DeleteValue(Handle key, const std::string& name) {
    return RegDeleteValueA(As<HKEY>(key), name.c_str()) == ERROR_SUCCESS;
}

void RegistryAdapter::CloseKey(Handle key) { RegCloseKey(As<HKEY>(key)); }

// ---- processes ---------------------------------------------------------------------------------

bool ProcessesAdapter::Start(const std::string& commandLine, bool inheritHandles, std::uint32_t creationFlags,
                             const std::string& workingDir, const StartupRecord& startup,
                             ProcessRecord* process) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;  // the logic's 68 is this record's size on i686 (checked above)
    si.dwFlags = startup.flags;
    si.dwX = static_cast<DWORD>(startup.x);
    si.dwY = static_cast<DWORD>(startup.y);
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());  // CreateProcessA may write to it
    cmd.push_back('\0');
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, inheritHandles, creationFlags, nullptr,
                        workingDir.c_str(), &si, &pi))
        return false;
    *process = ProcessRecord{Of(pi.hProcess), Of(pi.hThread), pi.dwProcessId, pi.dwThreadId};
    return true;
}

std::uint32_t ProcessesAdapter::WaitFor(Handle handle, std::uint32_t timeoutMs) {
    return WaitForSingleObject(As<HANDLE>(handle), timeoutMs);
}

Handle ProcessesAdapter::Open(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
    return Of(OpenProcess(access, inheritHandle, processId));
}

std::uint32_t ProcessesAdapter::WaitIdle(Handle process, std::uint32_t timeoutMs) {
    return WaitForInputIdle(As<HANDLE>(process), timeoutMs);
}

void ProcessesAdapter::Close(Handle handle) { CloseHandle(As<HANDLE>(handle)); }

void ProcessesAdapter::Exec(const std::string& commandLine, std::int32_t show) {
    WinExec(commandLine.c_str(), static_cast<UINT>(show));
}

// ---- files -------------------------------------------------------------------------------------

std::string FilesAdapter::WindowsDirectory() { return Directory(GetWindowsDirectoryA); }

std::string FilesAdapter::SystemDirectory() { return Directory(GetSystemDirectoryA); }

namespace {

// The version functions of the system's VERSION.dll; a missing DLL or function counts as a
// failing call.
struct VersionApi {
    SystemLibrary dll{L"version.dll"};
    decltype(&GetFileVersionInfoSizeA) infoSize = dll.Get<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA");
    decltype(&GetFileVersionInfoA) info = dll.Get<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA");
    decltype(&VerQueryValueA) query = dll.Get<decltype(&VerQueryValueA)>("VerQueryValueA");
};

}  // namespace

std::uint32_t FilesAdapter::ProductVersionMS(const std::string& path) {
    static const VersionApi api;
    if (!api.infoSize || !api.info || !api.query) return 0;
    DWORD ignored = 0;
    DWORD size = api.infoSize(path.c_str(), &ignored);
    if (size == 0) return 0;
    UniqueGlobal memory(GlobalAlloc(GMEM_ZEROINIT, size + 100));
    if (!memory) return 0;
    void* block = GlobalLock(memory.get());
    std::uint32_t version = 0;
    if (block && api.info(path.c_str(), 0, size, block)) {
        void* fixed = nullptr;
        UINT length = 0;
        if (api.query(block, "\\", &fixed, &length) && length != 0)
            version = static_cast<VS_FIXEDFILEINFO*>(fixed)->dwProductVersionMS;
    }
    if (block) GlobalUnlock(memory.get());
    return version;
}

bool FilesAdapter::MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr); }

bool FilesAdapter::Copy(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists);
}

bool FilesAdapter::SetAttributes(const std::string& path, std::uint32_t attributes) {
    return SetFileAttributesA(path.c_str(), attributes);
}

bool FilesAdapter::Remove(const std::string& path) { return DeleteFileA(path.c_str()); }

bool FilesAdapter::Move(const std::string& from, const std::string& to, std::uint32_t flags) {
    return MoveFileExA(from.c_str(), to.c_str(), flags);
}

std::uint32_t FilesAdapter::LastError() { return GetLastError(); }

// ---- windows -----------------------------------------------------------------------------------

Hwnd WindowsAdapter::FindTop(const char* className, const char* title) {
    return Of(FindWindowA(className, title));
}

bool WindowsAdapter::SendWithin(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
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

bool WindowsAdapter::StartTimer(Hwnd window, std::uint32_t id, std::uint32_t periodMs) {
    return SetTimer(As<HWND>(window), id, periodMs, nullptr) != 0;
}

void WindowsAdapter::StopTimer(Hwnd window, std::uint32_t id) { KillTimer(As<HWND>(window), id); }

std::int32_t WindowsAdapter::Metric(std::int32_t index) { return GetSystemMetrics(index); }

// ---- sync --------------------------------------------------------------------------------------

Handle SyncAdapter::NewEvent(bool manualReset, bool initialState) {
    return Of(CreateEventA(nullptr, manualReset, initialState, nullptr));
}

void SyncAdapter::SetEvent(Handle event) { ::SetEvent(As<HANDLE>(event)); }

std::uint32_t SyncAdapter::WaitFor(Handle handle, std::uint32_t timeoutMs) {
    return WaitForSingleObject(As<HANDLE>(handle), timeoutMs);
}

void SyncAdapter::Close(Handle handle) { CloseHandle(As<HANDLE>(handle)); }

void SyncAdapter::Pause(std::uint32_t ms) { Sleep(ms); }

bool SyncAdapter::StartWorker(CMainFrame& frame) {
    DWORD id = 0;
    // Nobody joins the worker: it ends itself after posting WM_CLOSE.
    UniqueHandle thread(CreateThread(nullptr, 0, WorkerThunk, &frame, 0, &id));
    return static_cast<bool>(thread);
}

// ---- restart -----------------------------------------------------------------------------------

bool RestartAdapter::ExitSession(std::uint32_t flags, std::uint32_t reason) {
    return ExitWindowsEx(flags, reason);
}

Handle RestartAdapter::OpenToken(std::uint32_t access) {
    HANDLE token = nullptr;
    return OpenProcessToken(GetCurrentProcess(), access, &token) ? Of(token) : 0;
}

void RestartAdapter::EnablePrivilege(Handle token, const std::string& privilege, std::uint32_t attributes) {
    TOKEN_PRIVILEGES tp = {};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = attributes;
    LookupPrivilegeValueA(nullptr, privilege.c_str(), &tp.Privileges[0].Luid);
    AdjustTokenPrivileges(As<HANDLE>(token), FALSE, &tp, 0, nullptr, nullptr);
}

void RestartAdapter::CloseToken(Handle token) { CloseHandle(As<HANDLE>(token)); }

// ---- accounts ----------------------------------------------------------------------------------

namespace {

// Vista and later; declared here because the XP headers do not.
using CreateProcessWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                               LPSTARTUPINFOW, LPPROCESS_INFORMATION);

CreateProcessWithTokenFn CreateWithToken() {
    static const SystemLibrary advapi{L"advapi32.dll"};
    static const auto fn = advapi.Get<CreateProcessWithTokenFn>("CreateProcessWithTokenW");
    return fn;
}

std::wstring WideOf(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

struct File {
    HANDLE h;
    explicit File(HANDLE handle) : h(handle) {}
    ~File() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

}  // namespace

bool AccountsAdapter::ReadAll(const std::string& path, std::string* bytes) {
    File file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file.h, &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > kMaxRead) return false;
    std::string data(size, '\0');
    DWORD done = 0;
    if (size != 0 && (!::ReadFile(file.h, &data[0], size, &done, nullptr) || done != size)) return false;
    *bytes = std::move(data);
    return true;
}

bool AccountsAdapter::WriteAll(const std::string& path, const std::string& bytes) {
    File file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    return ::WriteFile(file.h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
}

std::u16string AccountsAdapter::Widen(const std::string& text) {
    const std::wstring wide = WideOf(text);
    return std::u16string(wide.begin(), wide.end());
}

Hwnd AccountsAdapter::ShellWindow() { return Of(GetShellWindow()); }

std::uint32_t AccountsAdapter::OwnProcessId() { return GetCurrentProcessId(); }

bool AccountsAdapter::SessionOf(std::uint32_t processId, std::uint32_t* session) {
    DWORD s = 0;
    if (!ProcessIdToSessionId(processId, &s)) return false;
    *session = s;
    return true;
}

Handle AccountsAdapter::OpenToken(Handle process, std::uint32_t access) {
    HANDLE token = nullptr;
    return OpenProcessToken(As<HANDLE>(process), access, &token) ? Of(token) : 0;
}

Handle AccountsAdapter::DuplicatePrimary(Handle token, std::uint32_t access) {
    HANDLE primary = nullptr;
    return DuplicateTokenEx(As<HANDLE>(token), access, nullptr, SecurityImpersonation, TokenPrimary, &primary)
               ? Of(primary) : 0;
}

bool AccountsAdapter::CanStartWithToken() { return CreateWithToken() != nullptr; }

bool AccountsAdapter::StartWithToken(Handle token, std::uint32_t logonFlags, const std::string& commandLine,
                                     std::uint32_t creationFlags, const std::string& workingDir,
                                     const StartupRecord& startup, ProcessRecord* process) {
    const CreateProcessWithTokenFn create = CreateWithToken();
    if (!create) return false;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = startup.flags;
    si.dwX = static_cast<DWORD>(startup.x);
    si.dwY = static_cast<DWORD>(startup.y);
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = WideOf(commandLine);  // the function may write to it
    const std::wstring dir = WideOf(workingDir);
    if (!create(As<HANDLE>(token), logonFlags, nullptr, &cmd[0], creationFlags, nullptr,
                dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        return false;
    *process = ProcessRecord{Of(pi.hProcess), Of(pi.hThread), pi.dwProcessId, pi.dwThreadId};
    return true;
}

void AccountsAdapter::CloseToken(Handle token) { CloseHandle(As<HANDLE>(token)); }

// ---- the restart dialog ------------------------------------------------------------------------

namespace {

class Controls : public DialogControls {
public:
    explicit Controls(HWND dialog) : dialog_(dialog) {}
    void SetCheck(std::int32_t id, std::uint32_t state) override {
        SendDlgItemMessageA(dialog_, id, BM_SETCHECK, state, 0);
    }

private:
    HWND dialog_;
};

INT_PTR CALLBACK RestartDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* dialog = reinterpret_cast<CRestartDlg*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(hwnd, DWLP_USER, lp);
        Controls controls(hwnd);
        reinterpret_cast<CRestartDlg*>(lp)->OnInitDialog(controls);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
        case IDCANCEL:  // also the close box
            EndDialog(hwnd, LOWORD(wp));
            return TRUE;
        default:
            if (HIWORD(wp) == BN_CLICKED && dialog) {
                dialog->OnRadio(LOWORD(wp));
                return TRUE;
            }
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::int32_t DialogsAdapter::RunModal(std::int32_t templateId, Hwnd parent, CRestartDlg& dialog) {
    return static_cast<std::int32_t>(DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId), As<HWND>(parent),
                                                     RestartDlgProc, reinterpret_cast<LPARAM>(&dialog)));
}

}  // namespace setup::win32
