// Helpers of the applet's end-to-end tests: names, windows on a thread of their own, keys, and
// reading a window's pixels off the screen.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
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

// Top-level windows whose title is exactly `title`, with the process of each.
struct TitledWindow {
    HWND window;
    DWORD process;
};
struct TitleSearch {
    std::wstring title;
    std::vector<TitledWindow> found;
};
inline BOOL CALLBACK CollectTitled(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TitleSearch*>(param);
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (search->title == text) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        search->found.push_back({window, process});
    }
    return TRUE;
}
inline std::vector<TitledWindow> WindowsTitled(const std::wstring& title) {
    TitleSearch search{title, {}};
    EnumWindows(CollectTitled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The applet's window of one process, or null.
inline HWND AppletWindowOf(DWORD process) {
    for (const TitledWindow& w : WindowsTitled(kTitle))
        if (w.process == process) return w.window;
    return nullptr;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A visible top-level window of a class (and title, when given) that belongs to the process.
inline HWND VisibleWindowOf(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
    for (HWND w : e2e::TopLevelWindows(process))
        if (lstrcmpiW(ClassOf(w).c_str(), className) == 0 && IsWindowVisible(w) &&
            (!title || e2e::WindowText(w) == title))
            return w;
    return nullptr;
}

inline HWND MenuOf(DWORD process) { return VisibleWindowOf(process, L"#32768"); }

// Ends every running copy of the stand-in TV application.
inline void KillTvApps(DWORD limitMs) {
    while (HWND w = FindWindowW(kTvClass, nullptr)) {
        DWORD id = 0;
        GetWindowThreadProcessId(w, &id);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) break;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, limitMs);
        CloseHandle(process);
        e2e::WaitFor([&] { return !IsWindow(w); }, limitMs);
    }
}

// The key profiles as the setup installs them: the media's RC.dat through the platform's registry
// editor, silently.
inline bool ImportProfiles(const char* rcDat) {
    e2e::DeleteTree(HKEY_CURRENT_USER, kAppletKeyPath);
    e2e::Process regedit = e2e::Start(L"regedit.exe /s \"" + WinePath(rcDat) + L"\"");
    return regedit.started() && regedit.WaitExit(30000);
}

// The icons of the notification area. On an X display without a system tray (Xvfb) Wine shows
// them in a standalone window of its own, one child window per icon.
inline std::vector<HWND> TrayIcons() {
    std::vector<HWND> icons;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
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

// The screen's pixels inside a rectangle (screen coordinates), 0x00RRGGBB, row by row.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

inline Pixels GrabScreen(const RECT& box) {
    Pixels pixels;
    pixels.width = box.right - box.left;
    pixels.height = box.bottom - box.top;
    pixels.rgb = e2e::ScreenPixels(box);
    return pixels;
}

// Pixels drawn in ordinary (black) menu or dialog text: every channel dark. Greyed text is drawn
// in mid grey (with a white emboss), so a greyed item has none of them.
inline int DarkPixels(const Pixels& pixels, int top, int bottom) {
    int count = 0;
    for (int y = top; y < bottom && y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t c = pixels.at(x, y);
            if (((c >> 16) & 0xFF) < 0x50 && ((c >> 8) & 0xFF) < 0x50 && (c & 0xFF) < 0x50) ++count;
        }
    return count;
}

// Dark (ordinary text) pixels in each of the tray menu's four equal rows.
inline std::vector<int> DarkPixelsPerItem(HWND menu) {
    RECT client{};
    GetClientRect(menu, &client);
    MapWindowPoints(menu, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const Pixels pixels = GrabScreen(client);
    std::vector<int> rows;
    for (int i = 0; i < 4; ++i) rows.push_back(DarkPixels(pixels, pixels.height * i / 4, pixels.height * (i + 1) / 4));
    return rows;
}

}  // namespace applet_e2e
