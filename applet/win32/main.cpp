// Ravlet.exe: the remote-control applet of the TV card.
#include "frame_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The command line is ignored: the applet takes none.
    Win32Ports adapters;
    CAppletApp app(adapters.ports());
    FrameWindowFactory factory(adapters.windows, &app);
    if (app.InitInstance(factory)) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    app.ExitInstance();
    return 0;
}
