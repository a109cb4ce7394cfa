// Stand-in for the remote control's device monitor (shipped as Pelkwatch.ex_): a top-level window
// titled "TV Card Remote Control Device Monitor", hidden unless started with /show, that ends on
// WM_CLOSE. Logs START, CLOSE and END to the media's stand-in log.
// It also stands in for the programs of an earlier installation that the launcher replaces:
//   /applet      the window is titled "TV Card Remote Control Applet" (an old applet)
//   /linger=MS   the program ends MS milliseconds after its window is gone, holding its file
//                until then, as a program that still cleans up does
#include <windows.h>
#include <cstdlib>
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
    const auto linger = args.find("/linger=");
    const int lingerMs = linger == std::string::npos ? 0 : std::atoi(args.c_str() + linger + 8);
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
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (lingerMs > 0) Sleep(static_cast<DWORD>(lingerMs));
    standin::Log(g_config, "END");
    return 0;
}
