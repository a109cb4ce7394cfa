// Stand-in for every installer and redistributable on the media. Copied under each of their names;
// what it does is set per name in the media's standin.ini (section = path relative to the media root):
//   Mode=exit   end at once (default, also without an ini)
//   Mode=flash  show a window titled Title for ShowMs, hide it for GapMs, Shows times, then end;
//               Detach=1 first hands the windows to a copy of itself and ends once the copy's
//               first window is there, as a wizard that outlives its bootstrapper does
//   Mode=stay   show a window titled Title until it is closed
#include <windows.h>
#include <string>
#include "standin_log.h"

namespace {

const char kClassName[] = "StandinInstallerWindow";
const char kDetachedSwitch[] = " /standin-detached";
bool g_closed = false;
standin::Config g_config;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        standin::Log(g_config, "CLOSE");
        g_closed = true;
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        char title[256] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        RECT rc;
        GetClientRect(hwnd, &rc);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, title, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Pumps messages for ms milliseconds, or until the window was closed when ms < 0.
void Pump(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms < 0 ? 0 : ms);
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (g_closed) return;
        DWORD wait = INFINITE;
        if (ms >= 0) {
            LONG left = static_cast<LONG>(end - GetTickCount());
            if (left <= 0) return;
            wait = static_cast<DWORD>(left);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

HWND ShowTitled(const std::string& title) {
    HWND hwnd = CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                420, 260, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) return nullptr;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    RECT r;
    GetWindowRect(hwnd, &r);
    standin::Log(g_config, "SHOW", title + " at " + std::to_string(r.left) + "," + std::to_string(r.top));
    return hwnd;
}

struct WindowSearch {
    DWORD process;
    const std::string* title;
    bool found;
};

BOOL CALLBACK FindTitledWindowOf(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    if (owner == search->process && *search->title == text) search->found = true;
    return !search->found;
}

// Starts a copy of itself that shows the windows, and returns once the copy's first window exists
// (or the copy has ended, or a minute has passed): a watcher that waits for this bootstrapper to
// become idle or to end then finds the wizard's window at once, however slowly the copy started.
// The wait reads no message queue of its own, which would count as becoming idle.
bool Detach(const std::string& title) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = std::string("\"") + self + "\"" + kDetachedSwitch;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    WindowSearch search{pi.dwProcessId, &title, false};
    const DWORD started = GetTickCount();
    while (!search.found && GetTickCount() - started < 60000 && WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT)
        EnumWindows(FindTitledWindowOf, reinterpret_cast<LPARAM>(&search));
    CloseHandle(pi.hProcess);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    g_config = standin::Load();
    const std::string section = g_config.name;
    const bool detached = std::string(cmdLine).find(kDetachedSwitch + 1) != std::string::npos;
    if (!detached) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        GetStartupInfoA(&si);
        std::string extra;
        if (si.dwFlags & STARTF_USEPOSITION)
            extra = "pos=" + std::to_string(si.dwX) + "," + std::to_string(si.dwY);
        standin::Log(g_config, "START", extra);
    }

    const std::string mode = standin::Lower(g_config.Get(section, "Mode", "exit"));
    const std::string title = g_config.Get(section, "Title", "Setup");
    if (mode == "flash" || mode == "stay") {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        RegisterClassA(&wc);
    }
    if (mode == "flash") {
        if (!detached && g_config.GetInt(section, "Detach", 0) && Detach(title)) {
            standin::Log(g_config, "END", "detached");
            return 0;
        }
        const int shows = g_config.GetInt(section, "Shows", 1);
        const int showMs = g_config.GetInt(section, "ShowMs", 1000);
        const int gapMs = g_config.GetInt(section, "GapMs", 500);
        for (int i = 0; i < shows && !g_closed; ++i) {
            if (i > 0) Pump(gapMs);
            HWND hwnd = ShowTitled(title);
            Pump(showMs);
            if (!g_closed && hwnd) DestroyWindow(hwnd);
            standin::Log(g_config, "HIDE", title);
        }
    } else if (mode == "stay") {
        ShowTitled(title);
        Pump(-1);
    }
    standin::Log(g_config, "END");
    return 0;
}
