// Accounts port: the per-account files, the desktop shell's session and token, and the start of
// a program with that token.
#include "adapters.h"
#include "system_dll.h"

namespace setup::win32 {

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

}  // namespace

bool AccountsAdapter::ReadAll(const std::string& path, std::string* bytes) {
    const UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > kMaxRead) return false;
    std::string data(size, '\0');
    DWORD done = 0;
    if (size != 0 && (!::ReadFile(file.get(), &data[0], size, &done, nullptr) || done != size)) return false;
    *bytes = std::move(data);
    return true;
}

bool AccountsAdapter::WriteAll(const std::string& path, const std::string& bytes) {
    const UniqueFile file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD done = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
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
    return OpenProcessToken(processes_.Get(process), access, &token) ? tokens_.Adopt(token) : 0;
}

Handle AccountsAdapter::DuplicatePrimary(Handle token, std::uint32_t access) {
    HANDLE primary = nullptr;
    return DuplicateTokenEx(tokens_.Get(token), access, nullptr, SecurityImpersonation, TokenPrimary, &primary)
               ? tokens_.Adopt(primary) : 0;
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
    if (!create(tokens_.Get(token), logonFlags, nullptr, &cmd[0], creationFlags, nullptr,
                dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        return false;
    *process = ProcessRecord{processes_.Adopt(pi.hProcess), processes_.Adopt(pi.hThread), pi.dwProcessId,
                             pi.dwThreadId};
    return true;
}

void AccountsAdapter::CloseToken(Handle token) { tokens_.Close(token); }

}  // namespace setup::win32
