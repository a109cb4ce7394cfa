// Stand-in for the user's TV application: a window of a chosen class that records the keyboard
// messages and close requests it receives, one line each, to a log file.
//
//   tvapp.exe [--class NAME] [--title TEXT] [--log PATH] [--hang | --crash | --slow MS] [--times]
//
// NAME defaults to "TvCardStandInTv", TEXT to "Stand-in TV"; without --log the path comes from the
// environment variable TVAPP_LOG (a copy started with no arguments still logs), else nothing is
// written. --hang makes every WM_KEYDOWN block the window for a minute: a TV application that has
// stopped responding; --crash makes the first WM_KEYDOWN end the process on the spot, mid-message;
// --slow makes every WM_KEYDOWN take MS milliseconds (logged on arrival), a TV application busy
// tuning.
// --times (or the variable TVAPP_TIMES) ends every line with " t=<decimal>", the system time of
// its arrival in 100 ns units (the clock of GetSystemTimePreciseAsFileTime), for latency
// measurements. Lines:
//   START pid=<decimal> tick=<GetTickCount() in decimal, when the program began>
//   WM_KEYDOWN wParam=0x<hex> lParam=0x<hex>     (likewise WM_KEYUP, WM_CHAR, WM_CLOSE)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
bool g_hang = false;
bool g_crash = false;
DWORD g_slowMs = 0;
bool g_times = false;
constexpr DWORD kHangMs = 60000;

void Log(const char* line) {
    if (g_log == INVALID_HANDLE_VALUE) return;
    char text[160];
    int length = std::snprintf(text, sizeof text, "%s", line);
    if (g_times) {
        FILETIME now;
        GetSystemTimePreciseAsFileTime(&now);
        const unsigned long long t = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        length += std::snprintf(text + length, sizeof text - length, " t=%llu", t);
    }
    length += std::snprintf(text + length, sizeof text - length, "\r\n");
    DWORD written = 0;
    // Appended and unbuffered, in one write, so that a test can read each line as soon as it is
    // written and never half of one.
    WriteFile(g_log, text, static_cast<DWORD>(length), &written, nullptr);
}

void LogMessage(const char* name, WPARAM wParam, LPARAM lParam) {
    char line[96];
    std::snprintf(line, sizeof line, "%s wParam=0x%lX lParam=0x%lX", name, static_cast<unsigned long>(wParam),
                  static_cast<unsigned long>(lParam));
    Log(line);
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_KEYDOWN:
            LogMessage("WM_KEYDOWN", wParam, lParam);
            if (g_hang) Sleep(kHangMs);
            if (g_slowMs) Sleep(g_slowMs);
            if (g_crash) TerminateProcess(GetCurrentProcess(), 0xC0000005);
            return 0;
        case WM_KEYUP:
            LogMessage("WM_KEYUP", wParam, lParam);
            return 0;
        case WM_CHAR:
            LogMessage("WM_CHAR", wParam, lParam);
            return 0;
        case WM_CLOSE:
            LogMessage("WM_CLOSE", wParam, lParam);
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    std::wstring className = L"TvCardStandInTv";
    std::wstring title = L"Stand-in TV";
    std::wstring logPath;
    wchar_t fromEnvironment[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TVAPP_LOG", fromEnvironment, MAX_PATH) > 0) logPath = fromEnvironment;
    g_times = GetEnvironmentVariableW(L"TVAPP_TIMES", fromEnvironment, MAX_PATH) > 0;

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--class" && hasValue) className = argv[++i];
        else if (arg == L"--title" && hasValue) title = argv[++i];
        else if (arg == L"--log" && hasValue) logPath = argv[++i];
        else if (arg == L"--hang") g_hang = true;
        else if (arg == L"--crash") g_crash = true;
        else if (arg == L"--slow" && hasValue) g_slowMs = std::wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--times") g_times = true;
    }
    if (argv) LocalFree(argv);

    if (!logPath.empty())
        g_log = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    char start[64];
    std::snprintf(start, sizeof start, "START pid=%lu tick=%lu", GetCurrentProcessId(), GetTickCount());
    Log(start);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className.c_str();
    if (!RegisterClassExW(&wc)) return 1;
    HWND window = CreateWindowExW(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 360, 240, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    // A real TV application translates its keys; a WM_CHAR in the log would mean a key came
    // through the input queue rather than straight to the window.
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_log != INVALID_HANDLE_VALUE) CloseHandle(g_log);
    return 0;
}
