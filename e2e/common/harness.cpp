#include "harness.h"

namespace e2e {

Process::Process(const PROCESS_INFORMATION& pi) : process_(pi.hProcess), id_(pi.dwProcessId) {
    if (pi.hThread) CloseHandle(pi.hThread);
}

Process::Process(Process&& other) noexcept : process_(other.process_), id_(other.id_) {
    other.process_ = nullptr;
    other.id_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        if (process_) CloseHandle(process_);
        process_ = other.process_;
        id_ = other.id_;
        other.process_ = nullptr;
        other.id_ = 0;
    }
    return *this;
}

Process::~Process() {
    if (process_) CloseHandle(process_);
}

bool Process::WaitExit(DWORD limitMs, DWORD* exitCode) const {
    if (!process_) return false;
    if (WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_, exitCode);
    return true;
}

bool Process::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
}

Process Start(const std::wstring& commandLine, const std::wstring& dir) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;  // CreateProcessW may write into the command line
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi)) {
        return Process();
    }
    return Process(pi);
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

bool WaitFor(const std::function<bool()>& condition, DWORD limitMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= limitMs) return condition();
        Pump(25);
    }
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return L"";
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += static_cast<char>(c);
    return narrow;
}

std::wstring FromUnix(const std::string& path) {
    if (path.empty() || path[0] != '/') return Widen(path);
    std::wstring result = L"Z:" + Widen(path);
    for (auto& c : result)
        if (c == L'/') c = L'\\';
    return result;
}

bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_DWORD, &value, sizeof(value)) ==
           ERROR_SUCCESS;
}

bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool GetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value) {
    DWORD size = sizeof(*value);
    return RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, value, &size) ==
           ERROR_SUCCESS;
}

bool GetString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring* value) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return false;
    *value = buffer;
    return true;
}

bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name) {
    return RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    RegDeleteKeyValueW(root, path.c_str(), name.c_str());
}

void DeleteTree(HKEY root, const std::wstring& path) { RegDeleteTreeW(root, path.c_str()); }

bool SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const std::string& data) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), type, data.data(), static_cast<DWORD>(data.size())) ==
           ERROR_SUCCESS;
}

std::string DwordBytes(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return bytes + std::string(2, '\0');
}

std::string ReadFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

bool CopyTo(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

std::wstring TempDir(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + name;
    SHFILEOPSTRUCTW op = {};
    std::wstring from = dir + L'\0';  // double-terminated list
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

// ---- logon ---------------------------------------------------------------------------------

namespace {

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
    return s;
}

std::vector<std::wstring> Subkeys(HKEY root, const std::wstring& path, REGSAM view) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = 256;
        if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

// A REG_SZ value of a key in one registry view.
bool Text(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view, std::wstring* out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    const LONG rc = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    *out = buffer;
    return true;
}

std::vector<std::wstring> TextValues(HKEY root, const std::wstring& path, REGSAM view) {
    std::vector<std::wstring> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return values;
    wchar_t name[512];
    BYTE data[4096];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = 512, dataSize = sizeof data - 2, type = 0;
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        data[dataSize] = data[dataSize + 1] = 0;
        values.emplace_back(reinterpret_cast<const wchar_t*>(data));
    }
    RegCloseKey(key);
    return values;
}

// Both views on a 64-bit Windows; the one view elsewhere.
std::vector<REGSAM> Views() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (sizeof(void*) == 8 || wow64) return {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    return {0};
}

}  // namespace

int CompareVersions(const std::wstring& a, const std::wstring& b) {
    auto parts = [](const std::wstring& v) {
        std::vector<unsigned long> out;
        unsigned long n = 0;
        bool any = false;
        for (wchar_t c : v + L",") {
            if (c >= L'0' && c <= L'9') {
                n = n * 10 + (c - L'0');
                any = true;
            } else if (c == L',' || c == L'.') {
                out.push_back(any ? n : 0);
                n = 0;
                any = false;
            }
        }
        while (out.size() < 4) out.push_back(0);
        return out;
    };
    const auto x = parts(a), y = parts(b);
    for (std::size_t i = 0; i < x.size() || i < y.size(); ++i) {
        const unsigned long p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
        if (p != q) return p < q ? -1 : 1;
    }
    return 0;
}

Logon RunLogonPrograms(const std::vector<std::wstring>& only, DWORD limitMs) {
    Logon logon;
    auto chosen = [&only](const std::wstring& command) {
        for (const std::wstring& part : only)
            if (Lower(command).find(Lower(part)) != std::wstring::npos) return true;
        return false;
    };
    const std::wstring components = L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
    for (REGSAM view : Views()) {
        for (const std::wstring& name : Subkeys(HKEY_LOCAL_MACHINE, components, view)) {
            const std::wstring key = components + L"\\" + name;
            std::wstring stub, version, record;
            if (!Text(HKEY_LOCAL_MACHINE, key, L"StubPath", view, &stub) || stub.empty()) continue;
            if (!chosen(stub)) continue;
            DWORD installed = 1;
            if (GetDword(HKEY_LOCAL_MACHINE, key, L"IsInstalled", &installed) && installed == 0) continue;
            Text(HKEY_LOCAL_MACHINE, key, L"Version", view, &version);
            const bool has = Text(HKEY_CURRENT_USER, L"Software\\Microsoft\\Active Setup\\Installed Components\\" + name,
                                  L"Version", 0, &record);
            if (has && CompareVersions(record, version) >= 0) continue;
            logon.stubs.push_back(stub);
            Process p = Start(stub);
            logon.stubsEnded = p.started() && p.WaitExit(limitMs) && logon.stubsEnded;
            SetString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Active Setup\\Installed Components\\" + name,
                      L"Version", version);
        }
    }
    const std::wstring run = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::vector<std::wstring> commands;
    for (REGSAM view : Views())
        for (const std::wstring& c : TextValues(HKEY_LOCAL_MACHINE, run, view)) commands.push_back(c);
    for (const std::wstring& c : TextValues(HKEY_CURRENT_USER, run, 0)) commands.push_back(c);
    for (const std::wstring& c : commands)
        if (chosen(c)) logon.started.push_back(Start(c));
    return logon;
}

}  // namespace e2e
