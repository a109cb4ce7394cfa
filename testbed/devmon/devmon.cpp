// Stand-in for the remote control's device monitor (shipped as Pelkwatch.ex_): a top-level window
// titled "TV Card Remote Control Device Monitor", hidden unless started with /show, that ends on
// WM_CLOSE. Logs START, CLOSE and END to the media's stand-in log.
#include <windows.h>
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
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "StandinDeviceMonitor";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "TV Card Remote Control Device Monitor", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 360, 200, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    if (std::string(cmdLine).find("/show") != std::string::npos) ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    standin::Log(g_config, "END");
    return 0;
}
