// Shared by the stand-in programs: finds the media's "standin.ini" in the program's own folder or
// one of its parents (else in the current folder, for a stand-in that runs from outside the
// media), and appends one tab-separated line per event to the log the ini names:
//   <unix ms> TAB <event> TAB <pid> TAB <name> TAB <cwd> TAB <command line> TAB <extra>
// <name> is the program's path relative to the folder of the ini (e.g. "Lumora\setup.exe").
#pragma once
#include <windows.h>
#include <cstring>
#include <string>

namespace standin {

inline std::string Lower(std::string s) {
    if (!s.empty()) CharLowerBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

struct Config {
    std::string ini;   // full path of standin.ini, empty when none was found
    std::string root;  // its folder, with a trailing backslash
    std::string name;  // this program relative to root, or its full path
    std::string log;   // log file path, empty when there is no ini

    std::string Get(const std::string& section, const char* key, const char* def = "") const {
        char buf[1024] = {};
        GetPrivateProfileStringA(section.c_str(), key, def, buf, sizeof buf, ini.c_str());
        return buf;
    }
    int GetInt(const std::string& section, const char* key, int def) const {
        return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key, def, ini.c_str()));
    }
};

// The program's own path in ANSI. Wine hands a program its long path even when it was started
// under the short one, and in a folder named beyond the ANSI code page that reads as "?": the
// folder's short form then stands in for it (the media's own folders and files have plain names).
inline std::string SelfPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    wchar_t wide[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, wide, MAX_PATH);
    if (!std::strchr(self, '?') || n == 0 || n >= MAX_PATH) return self;
    const std::wstring path(wide, n);
    const size_t cut = path.rfind(L'\\');
    wchar_t folder[MAX_PATH] = {};
    const DWORD m = cut == std::wstring::npos ? 0 : GetShortPathNameW(path.substr(0, cut).c_str(), folder, MAX_PATH);
    if (m == 0 || m >= MAX_PATH) return self;
    char ansi[2 * MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, (std::wstring(folder, m) + path.substr(cut)).c_str(), -1, ansi, sizeof ansi,
                        nullptr, nullptr);
    return ansi;
}

inline Config Load() {
    Config c;
    const std::string self = SelfPath();
    std::string dir = self;
    for (;;) {
        size_t cut = dir.find_last_of('\\');
        if (cut == std::string::npos) break;
        dir.resize(cut);
        std::string candidate = dir + "\\standin.ini";
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) {
            c.ini = candidate;
            c.root = dir + "\\";
            break;
        }
    }
    if (c.ini.empty()) {
        char cwd[MAX_PATH] = {};
        const DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
        std::string candidate = std::string(cwd, n < MAX_PATH ? n : 0) + "\\standin.ini";
        if (n > 0 && n < MAX_PATH && GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) {
            c.ini = candidate;
            c.root = candidate.substr(0, candidate.size() - 11);
        }
    }
    c.name = self;
    if (c.ini.empty()) return c;
    if (Lower(c.name).rfind(Lower(c.root), 0) == 0) c.name = c.name.substr(c.root.size());
    std::string log = c.Get("standin", "Log", "standin.log");
    bool absolute = log.size() > 1 && (log[1] == ':' || log[0] == '\\');
    c.log = absolute ? log : c.root + log;
    return c;
}

inline long long UnixMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000ULL);
}

inline void Log(const Config& c, const char* event, const std::string& extra = "") {
    if (c.log.empty()) return;
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string line = std::to_string(UnixMs()) + "\t" + event + "\t" + std::to_string(GetCurrentProcessId()) +
                       "\t" + c.name + "\t" + cwd + "\t" + GetCommandLineA() + "\t" + extra + "\r\n";
    // Several stand-ins may write at once (a detached wizard and the next installer).
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "standin-log");
    if (mutex) WaitForSingleObject(mutex, 5000);
    HANDLE f = CreateFileA(c.log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(f);
    }
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

}  // namespace standin
