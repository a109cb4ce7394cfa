// What the launcher's end-to-end test and the demo driver share: the names the launcher uses, the
// stand-in log of the media, and the handling of the launcher's dialogs.
#pragma once
#include <windows.h>

#include <cwctype>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace launcher_run {

using e2e::CloseAll;
using e2e::Narrow;

constexpr wchar_t kFrameTitle[] = L"SAA713x TV Card Setup";
constexpr wchar_t kRestartTitle[] = L"Restart Windows";
constexpr wchar_t kWizardTitle[] = L"Lumora - InstallShield Wizard";
constexpr wchar_t kAppletTitle[] = L"TV Card Remote Control Applet";
constexpr wchar_t kMonitorTitle[] = L"TV Card Remote Control Device Monitor";
constexpr wchar_t kAppletKey[] = L"SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
constexpr wchar_t kTunerKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
constexpr wchar_t kTssKey[] = L"SOFTWARE\\Orvane\\TV Card Setup\\TSS";  // what the media's TSS.dat writes
// The restart prompt's radio buttons: "Yes, ... now." and "No, I will restart Windows latter."
constexpr int kRestartNow = 1001, kRestartLater = 1002;

// A path given with forward slashes (the build's media path) in Windows' own form.
inline std::wstring Backslashed(std::wstring p) {
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    return p;
}

// One line of the stand-ins' log: <unix ms> <event> <pid> <name> <cwd> <command line> <extra>.
struct LogEntry {
    long long ms = 0;
    std::string event, pid, name, cwd, cmd, extra;
};

inline std::vector<LogEntry> ReadLog(const std::wstring& path) {
    std::vector<LogEntry> out;
    std::istringstream in(e2e::ReadFile(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::istringstream fields(line);
        std::string part;
        while (std::getline(fields, part, '\t')) f.push_back(part);
        if (f.size() < 6) continue;
        f.resize(7);
        out.push_back(LogEntry{std::stoll(f[0]), f[1], f[2], f[3], f[4], f[5], f[6]});
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

// The entries of a program that runs from outside the media: logged under its full path, whose
// case may differ from `path`'s.
inline std::vector<LogEntry> EventsOf(const std::vector<LogEntry>& log, const std::string& event,
                                      const std::wstring& path) {
    std::vector<LogEntry> out;
    for (const auto& e : log)
        if (e.event == event && lstrcmpiA(e.name.c_str(), Narrow(path).c_str()) == 0) out.push_back(e);
    return out;
}

inline std::vector<std::string> Names(const std::vector<LogEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.name);
    return out;
}

// The keys a registry script creates: "[HKEY_CURRENT_USER\SOFTWARE\...]" -> (HKCU, L"SOFTWARE\...").
inline std::vector<std::pair<HKEY, std::wstring>> KeysOfScript(const std::wstring& file) {
    std::vector<std::pair<HKEY, std::wstring>> keys;
    std::istringstream in(e2e::ReadFile(file));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 3 || line.front() != '[' || line.back() != ']' || line[1] == '-') continue;
        const std::string key = line.substr(1, line.size() - 2);
        const auto cut = key.find('\\');
        const std::string hive = key.substr(0, cut);
        const std::wstring path = cut == std::string::npos ? L"" : e2e::Widen(key.substr(cut + 1));
        if (hive == "HKEY_CURRENT_USER") keys.emplace_back(HKEY_CURRENT_USER, path);
        else if (hive == "HKEY_LOCAL_MACHINE") keys.emplace_back(HKEY_LOCAL_MACHINE, path);
    }
    return keys;
}

inline bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline std::wstring WindowsDir() {
    wchar_t buf[MAX_PATH] = {};
    GetWindowsDirectoryW(buf, MAX_PATH);
    return buf;
}

inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void RemoveFile(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

// The renames that the next start of Windows carries out (MoveFileEx with
// MOVEFILE_DELAY_UNTIL_REBOOT), as (from, to) pairs of NT paths; `to` begins with "!" when it
// replaces an existing file, and is empty for a deletion.
constexpr wchar_t kSessionManagerKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

inline std::vector<std::pair<std::wstring, std::wstring>> PendingRenames() {
    std::vector<std::pair<std::wstring, std::wstring>> renames;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return renames;
    DWORD type = 0, size = 0;
    std::vector<wchar_t> data;
    const LONG sized = RegQueryValueExW(key, kPendingRenames, nullptr, &type, nullptr, &size);
    if (sized == ERROR_SUCCESS && type == REG_MULTI_SZ) {
        data.resize(size / sizeof(wchar_t) + 2);
        auto* bytes = reinterpret_cast<BYTE*>(data.data());
        if (RegQueryValueExW(key, kPendingRenames, nullptr, &type, bytes, &size) != ERROR_SUCCESS) data.clear();
    }
    RegCloseKey(key);
    // Pairs of zero-terminated strings; an empty `to` is a string of its own.
    std::vector<std::wstring> parts;
    for (size_t i = 0; i < size / sizeof(wchar_t) && i < data.size();) {
        std::wstring part(&data[i]);
        i += part.size() + 1;
        parts.push_back(part);
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].empty()) renames.emplace_back(parts[i], parts[i + 1]);
    return renames;
}

// The NT form of a path, as the pending renames name it, in lower case for comparisons.
inline std::wstring NtPath(const std::wstring& path) {
    std::wstring nt = L"\\??\\" + path;
    for (auto& c : nt) c = static_cast<wchar_t>(std::towlower(c));
    return nt;
}

// Whether the next start of Windows replaces `to` with `from`.
inline bool ReplacedAtRestart(const std::wstring& from, const std::wstring& to) {
    for (const auto& [f, t] : PendingRenames()) {
        std::wstring lf = f, lt = t;
        for (auto& c : lf) c = static_cast<wchar_t>(std::towlower(c));
        for (auto& c : lt) c = static_cast<wchar_t>(std::towlower(c));
        if (lf == NtPath(from) && lt == L"!" + NtPath(to)) return true;
    }
    return false;
}

// Drops the pending renames of `from` (the whole value when nothing else is left), so that no
// later start of the prefix carries out what a test scheduled.
inline void ForgetPendingRename(const std::wstring& from) {
    std::wstring kept;
    for (const auto& [f, t] : PendingRenames()) {
        std::wstring lf = f;
        for (auto& c : lf) c = static_cast<wchar_t>(std::towlower(c));
        if (lf == NtPath(from)) continue;
        kept += f + L'\0' + t + L'\0';
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (kept.empty())
        RegDeleteValueW(key, kPendingRenames);
    else
        RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.c_str()),
                       static_cast<DWORD>((kept.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// The texts of a window's children, in order.
inline std::vector<std::wstring> ChildTexts(HWND parent) {
    std::vector<std::wstring> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(e2e::WindowText(c));
    return out;
}

// The restart prompt, once it is ready: it is found by its title as soon as it exists, before its
// controls and its initialisation (which preselects "Yes"); clicked earlier, "No"
// could be undone by that initialisation. Null when it is not ready within the limit.
inline HWND WaitForRestartPrompt(DWORD limitMs) {
    HWND prompt = nullptr;
    auto ready = [&] {
        prompt = e2e::FindTitle(kRestartTitle);
        return prompt && SendDlgItemMessageW(prompt, kRestartNow, BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    return e2e::WaitFor(ready, limitMs) ? prompt : nullptr;
}

// "No, I will restart Windows latter." and then OK, clicked as a user would.
inline bool AnswerRestartNo(HWND dialog) {
    HWND later = GetDlgItem(dialog, kRestartLater);
    if (!later) return false;
    SendMessageW(later, BM_CLICK, 0, 0);
    if (SendMessageW(later, BM_GETCHECK, 0, 0) != BST_CHECKED) return false;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return true;
}

// Copies a folder tree; false when anything could not be copied.
inline bool CopyTree(const std::wstring& from, const std::wstring& to) {
    if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(from + L"\\" + name, to + L"\\" + name) && ok;
        else
            ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return ok;
}

// What lies under a folder: each file's size and last write time, and each folder, by lower-case
// path relative to it.
using Tree = std::map<std::wstring, std::pair<ULONGLONG, ULONGLONG>>;

inline void Scan(const std::wstring& dir, const std::wstring& relative, Tree* tree) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        for (auto& c : path) c = static_cast<wchar_t>(std::towlower(c));
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*tree)[path] = {~0ULL, 0};  // a folder's own time changes with its entries
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) Scan(dir + L"\\" + name, path, tree);
        } else {
            (*tree)[path] = {ULONGLONG(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow,
                             ULONGLONG(fd.ftLastWriteTime.dwHighDateTime) << 32 | fd.ftLastWriteTime.dwLowDateTime};
        }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

inline Tree Snapshot(const std::wstring& dir) {
    Tree tree;
    Scan(dir, L"", &tree);
    return tree;
}

// Paths added, removed or changed between two snapshots.
inline std::vector<std::wstring> Changes(const Tree& before, const Tree& after) {
    std::vector<std::wstring> changed;
    for (const auto& [path, stat] : after) {
        const auto it = before.find(path);
        if (it == before.end() || it->second != stat) changed.push_back(path);
    }
    for (const auto& entry : before)
        if (!after.count(entry.first)) changed.push_back(entry.first);
    return changed;
}

}  // namespace launcher_run
