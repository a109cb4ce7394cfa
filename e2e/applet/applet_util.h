// Helpers of the applet's end-to-end tests: names, the applet's windows, a window on a thread of
// its own, keys and clicks, and the tray menu's rows on the screen.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace applet_e2e {

inline const wchar_t kAppletKeyPath[] = L"SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
inline const wchar_t kNuvexKey[] = L"SOFTWARE\\Orvane\\Nuvex\\1.0";
inline const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const wchar_t kAutostartValue[] = L"TV Card Remote Control Device Monitor";
inline const wchar_t kTitle[] = L"TV Card Remote Control Applet";
inline const wchar_t kMonitorTitle[] = L"TV Card Remote Control Device Monitor";
inline const wchar_t kRemoteDialogTitle[] = L"Choose Remote Controller";
inline const wchar_t kUnloadDialogTitle[] = L"Unload Remote Control Receiver";
// The stand-in TV application's window class, and where the profiles look for its folder.
inline const wchar_t kTvClass[] = L"TvCardStandInTv";
inline const wchar_t kTvPathKey[] = L"Software\\Orvane\\StandInTv";

// The commands of the applet's tray menu.
constexpr WORD kEnable = 1080, kDisable = 1001, kConfigure = 1002, kUnload = 57665;

// "Z:/unix/path" as CMake passes it, in the form the system reports paths: backslashes.
inline std::wstring WinePath(const char* path) {
    std::wstring result;
    for (const char* p = path; *p; ++p) result += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return result;
}

// One key press and release, through the system's input queue.
inline void PressKey(WORD vk) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = vk;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// --- windows -------------------------------------------------------------------------------

// The applets' main windows, of every process.
inline std::vector<HWND> AppletWindows() { return e2e::WindowSearch().Title(kTitle).All(); }

// The applet's window of one process, or null.
inline HWND AppletWindowOf(DWORD process) { return e2e::WindowSearch().Process(process).Title(kTitle).First(); }

// A visible top-level window of a class (and title, when given) that belongs to the process.
inline HWND VisibleWindowOf(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
    e2e::WindowSearch search;
    search.Process(process).Class(className).Visible();
    if (title) search.Title(title);
    return search.First();
}

// The open menu of a process (the popup menu's window class).
inline HWND MenuOf(DWORD process) { return VisibleWindowOf(process, L"#32768"); }

// The stand-in TV application's window, or null.
inline HWND TvWindow() { return e2e::WindowSearch().Class(kTvClass).First(); }

// Ends every running copy of the stand-in TV application.
inline void KillTvApps(DWORD limitMs) {
    while (HWND w = TvWindow()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, e2e::ProcessOf(w));
        if (!process) break;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, limitMs);
        CloseHandle(process);
        e2e::WaitFor([&] { return !IsWindow(w); }, limitMs);
    }
}

// Whether HKEY_CURRENT_USER holds what a registry script of RC.dat's kind writes (keys of that
// hive, text and dword values): every key, every value with its type and data, and no other value
// in a key that the script gives values.
inline bool RegistryHolds(const std::string& script) {
    const std::string hive = "HKEY_CURRENT_USER\\";
    std::map<std::wstring, DWORD> values;  // per key
    std::wstring key;
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            if (line.compare(1, hive.size(), hive) != 0) return false;
            key = e2e::Widen(line.substr(1 + hive.size(), line.size() - 2 - hive.size()));
            values[key];
            continue;
        }
        const std::size_t equals = line.find("\"=");
        if (line.empty() || line[0] != '"' || equals == std::string::npos || key.empty()) continue;
        const std::wstring name = e2e::Widen(line.substr(1, equals - 1));
        const std::string data = line.substr(equals + 2);
        ++values[key];
        if (data.rfind("dword:", 0) == 0) {
            DWORD stored = 0;
            if (!e2e::GetDword(HKEY_CURRENT_USER, key, name, &stored) ||
                stored != std::strtoul(data.c_str() + 6, nullptr, 16))
                return false;
        } else if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
            std::string text;
            for (std::size_t i = 1; i + 1 < data.size(); ++i) text += data[i] == '\\' ? data[++i] : data[i];
            std::wstring stored;
            if (!e2e::GetString(HKEY_CURRENT_USER, key, name, &stored) || stored != e2e::Widen(text)) return false;
        } else {
            return false;  // a kind of value this check does not read
        }
    }
    for (const auto& [path, count] : values) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
        DWORD stored = 0;
        const LONG rc = RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &stored, nullptr,
                                         nullptr, nullptr, nullptr);
        RegCloseKey(k);
        if (rc != ERROR_SUCCESS || (count && stored != count)) return false;
    }
    return !values.empty();
}

// The key profiles as the setup installs them: the media's RC.dat through the platform's registry
// editor, silently. Each test program imports them once per run of its tests, and ctest runs each
// test alone: the registry editor is started only when the profiles differ from the script.
inline bool ImportProfiles(const char* rcDat) {
    if (RegistryHolds(e2e::ReadFile(WinePath(rcDat)))) return true;
    e2e::DeleteTree(HKEY_CURRENT_USER, kAppletKeyPath);
    e2e::Process regedit = e2e::Start(L"regedit.exe /s \"" + WinePath(rcDat) + L"\"");
    return regedit.started() && regedit.WaitExit(30000);
}

// The icons of the notification area. On an X display without a system tray (Xvfb) Wine shows
// them in a standalone window of its own, one child window per icon.
inline std::vector<HWND> TrayIcons() {
    std::vector<HWND> icons;
    HWND tray = e2e::WindowSearch().Class(L"__winex11_standalone_tray").First();
    if (!tray || !IsWindowVisible(tray)) return icons;
    for (HWND c = GetWindow(tray, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) icons.push_back(c);
    return icons;
}

// A left click at a point of the screen, through the system's input queue, as a user makes it.
inline void ClickAt(POINT point) {
    SetCursorPos(point.x, point.y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
}

// A top-level window with a title of our choice, run by a thread of its own so that it answers
// while the test waits; counts the WM_CLOSE messages it receives (and does not close on them).
class RecordingWindow {
public:
    explicit RecordingWindow(std::wstring title) : title_(std::move(title)) {
        thread_ = std::thread([this] { Run(); });
        while (!ready_.load()) Sleep(10);
    }
    ~RecordingWindow() {
        if (window_) PostMessageW(window_, WM_APP, 0, 0);
        thread_.join();
    }
    HWND window() const { return window_; }
    int closes() const { return closes_.load(); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (msg == WM_CLOSE && self) {
            ++self->closes_;
            return 0;
        }
        if (msg == WM_APP) {
            DestroyWindow(window);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    void Run() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"AppletE2eRecordingWindow";
        RegisterClassW(&wc);  // fails harmlessly when a previous test registered it
        window_ = CreateWindowExW(0, wc.lpszClassName, title_.c_str(), WS_OVERLAPPED, 0, 0, 100, 50, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ready_ = true;
        MSG msg;
        while (window_ && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }

    std::wstring title_;
    std::thread thread_;
    std::atomic<bool> ready_{false};
    std::atomic<int> closes_{0};
    HWND window_ = nullptr;
};

// --- pixels --------------------------------------------------------------------------------

// Dark (ordinary text) pixels in each of the tray menu's four equal rows.
inline std::vector<int> DarkPixelsPerItem(HWND menu) {
    const e2e::Pixels pixels = e2e::GrabScreen(e2e::ClientOnScreen(menu));
    std::vector<int> rows;
    for (int i = 0; i < 4; ++i)
        rows.push_back(e2e::DarkPixels(pixels, pixels.height * i / 4, pixels.height * (i + 1) / 4));
    return rows;
}

}  // namespace applet_e2e
