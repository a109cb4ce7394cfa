// What the launcher's end-to-end test and the demo driver share: the stand-in log, the registry
// and file checks, and the handling of the launcher's windows.
#pragma once
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace launcher_run {

constexpr char kFrameTitle[] = "SAA713x TV Card Setup";
constexpr char kRestartTitle[] = "Restart Windows";
constexpr char kWizardTitle[] = "Lumora - InstallShield Wizard";
constexpr char kAppletTitle[] = "TV Card Remote Control Applet";
constexpr char kMonitorTitle[] = "TV Card Remote Control Device Monitor";
constexpr char kAppletKey[] = "SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
constexpr char kTunerKey[] = "SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
constexpr char kTssKey[] = "SOFTWARE\\Orvane\\TV Card Setup\\TSS";  // written by the media's TSS.dat

// "Z:/a/b" (as CMake hands paths over) -> "Z:\a\b"
inline std::string WinPath(std::string p) {
    for (char& c : p)
        if (c == '/') c = '\\';
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    return p;
}

// ---- waiting -----------------------------------------------------------------------------------

// Polls `done` until it holds or `limitMs` passed, handling this thread's messages meanwhile (a
// window of ours must answer what other programs send it).
inline bool WaitUntil(const std::function<bool()>& done, DWORD limitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done()) return true;
        if (GetTickCount() - start >= limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
}

// ---- the stand-in log --------------------------------------------------------------------------

struct LogEntry {
    long long ms = 0;
    std::string event, pid, name, cwd, cmd, extra;
};

inline std::vector<LogEntry> ReadLog(const std::string& path) {
    std::vector<LogEntry> out;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string part;
        while (std::getline(ss, part, '\t')) f.push_back(part);
        if (f.size() < 6) continue;
        f.resize(7);
        LogEntry e;
        e.ms = std::stoll(f[0]);
        e.event = f[1];
        e.pid = f[2];
        e.name = f[3];
        e.cwd = f[4];
        e.cmd = f[5];
        e.extra = f[6];
        out.push_back(e);
    }
    return out;
}

inline std::vector<LogEntry> Events(const std::vector<LogEntry>& log, const std::string& event,
                                    const std::string& name = "") {
    std::vector<LogEntry> out;
    for (const auto& e : log)
        if (e.event == event && (name.empty() || e.name == name)) out.push_back(e);
    return out;
}

// ---- registry ----------------------------------------------------------------------------------

inline bool ReadDword(HKEY root, const char* path, const char* name, DWORD* value) {
    DWORD size = sizeof *value, type = 0;
    return RegGetValueA(root, path, name, RRF_RT_ANY, &type, value, &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

inline bool ReadString(HKEY root, const char* path, const char* name, std::string* value) {
    char buf[1024] = {};
    DWORD size = sizeof buf - 1, type = 0;
    if (RegGetValueA(root, path, name, RRF_RT_ANY, &type, buf, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    *value = buf;
    return true;
}

inline bool ValueExists(HKEY root, const char* path, const char* name) {
    return RegGetValueA(root, path, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

inline bool KeyExists(HKEY root, const char* path) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

inline void SetDword(HKEY root, const char* path, const char* name, DWORD value) {
    RegSetKeyValueA(root, path, name, REG_DWORD, &value, sizeof value);
}

inline void RemoveValue(HKEY root, const char* path, const char* name) { RegDeleteKeyValueA(root, path, name); }

inline void RemoveTree(HKEY root, const char* path) { RegDeleteTreeA(root, path); RegDeleteKeyA(root, path); }

// The first key a registry script names, e.g. "HKEY_CURRENT_USER\SOFTWARE\..." -> (HKCU, "SOFTWARE\...").
inline bool FirstKeyOfScript(const std::string& file, HKEY* root, std::string* path) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 3 || line.front() != '[' || line.back() != ']' || line[1] == '-') continue;
        std::string key = line.substr(1, line.size() - 2);
        const auto cut = key.find('\\');
        const std::string hive = key.substr(0, cut);
        *path = cut == std::string::npos ? "" : key.substr(cut + 1);
        if (hive == "HKEY_CURRENT_USER") *root = HKEY_CURRENT_USER;
        else if (hive == "HKEY_LOCAL_MACHINE") *root = HKEY_LOCAL_MACHINE;
        else continue;
        return true;
    }
    return false;
}

// ---- files -------------------------------------------------------------------------------------

inline std::string WindowsDir() {
    char buf[MAX_PATH] = {};
    GetWindowsDirectoryA(buf, MAX_PATH);
    return buf;
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

// ---- processes and windows ---------------------------------------------------------------------

struct Process {
    PROCESS_INFORMATION pi{};
    ~Process() { Release(); }
    void Release() {
        if (pi.hThread) CloseHandle(pi.hThread);
        if (pi.hProcess) CloseHandle(pi.hProcess);
        pi = PROCESS_INFORMATION{};
    }
    bool Ended(DWORD limitMs) const { return WaitForSingleObject(pi.hProcess, limitMs) == WAIT_OBJECT_0; }
};

inline bool Start(const std::string& exe, const std::string& args, const std::string& dir, Process* p) {
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    p->Release();
    return CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.empty() ? nullptr : dir.c_str(),
                          &si, &p->pi);
}

inline HWND Titled(const char* title) { return FindWindowA(nullptr, title); }

// Closes every top-level window with that title, as the launcher does, and waits until none is left.
inline bool CloseAll(const char* title, DWORD limitMs) {
    return WaitUntil([&] {
        HWND w = Titled(title);
        if (!w) return true;
        PostMessageA(w, WM_CLOSE, 0, 0);
        return false;
    }, limitMs);
}

// The texts of a window's children, in order.
inline std::vector<std::string> ChildTexts(HWND parent) {
    std::vector<std::string> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char buf[512] = {};
        GetWindowTextA(c, buf, sizeof buf);
        out.push_back(buf);
    }
    return out;
}

// "No, I will restart Windows latter." then OK, as a user would click them.
inline bool AnswerRestartNo(HWND dialog) {
    HWND later = GetDlgItem(dialog, 1002);
    if (!later) return false;
    SendMessageA(later, BM_CLICK, 0, 0);
    if (SendMessageA(later, BM_GETCHECK, 0, 0) != BST_CHECKED) return false;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return true;
}

// The platform version the launcher reads: product version of the system's VERSION.DLL.
inline DWORD PlatformVersion() {
    char sys[MAX_PATH] = {};
    GetSystemDirectoryA(sys, MAX_PATH);
    std::string path = std::string(sys) + "\\VERSION.DLL";
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!size) return 0;
    std::vector<char> block(size);
    void* fixed = nullptr;
    UINT len = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", &fixed, &len) || !len)
        return 0;
    return static_cast<VS_FIXEDFILEINFO*>(fixed)->dwProductVersionMS;
}

}  // namespace launcher_run
