// Stand-in for the remote control's device monitor (shipped as Pelkwatch.ex_): a top-level window
// titled "TV Card Remote Control Device Monitor", hidden unless started with /show, that ends on
// WM_CLOSE. Logs START, CLOSE and END to the media's stand-in log.
// It also stands in for the programs of an earlier installation that the launcher replaces:
//   /applet      the window is titled "TV Card Remote Control Applet" (an old applet)
//   /linger=MS   the program ends MS milliseconds after its window is gone, holding its file
//                until then, as a program that still cleans up does
//   /hang=MS     the window stops answering at once: its thread handles no message for MS
//                milliseconds, then handles what has queued up (a hung program that recovers)
//   /nowindow=MS no window at all, as a program in another logon session looks from this one;
//                the program runs MS milliseconds, holding its file, and ends
#include <windows.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include "../installer/standin_log.h"

namespace {

standin::Config g_config;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        standin::Log(g_config, "CLOSE");
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    g_config = standin::Load();
    standin::Log(g_config, "START");
    const std::string args = cmdLine ? cmdLine : "";
    const char* title = args.find("/applet") != std::string::npos ? "TV Card Remote Control Applet"
                                                                  : "TV Card Remote Control Device Monitor";
    auto number = [&args](const char* option) {
        const auto at = args.find(option);
        return at == std::string::npos ? -1 : std::atoi(args.c_str() + at + std::strlen(option));
    };
    const int lingerMs = number("/linger=");
    const int hangMs = number("/hang=");
    if (const int lifeMs = number("/nowindow="); lifeMs >= 0) {
        Sleep(static_cast<DWORD>(lifeMs));
        standin::Log(g_config, "END");
        return 0;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "StandinDeviceMonitor";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360,
                                200, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    if (args.find("/show") != std::string::npos) ShowWindow(hwnd, SW_SHOWNORMAL);
    if (hangMs > 0) {
        standin::Log(g_config, "HANG");
        Sleep(static_cast<DWORD>(hangMs));
    }
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (lingerMs > 0) Sleep(static_cast<DWORD>(lingerMs));
    standin::Log(g_config, "END");
    return 0;
}
