// The applet's hidden main window: its window class, its creation and its message routing.
#pragma once

#include "adapters.h"
#include "app.h"

namespace applet::win32 {

// Creates the main window for a frame and routes its messages to the frame (and the Unload
// command to the application object, when one is given).
class FrameWindowFactory : public MainWindowFactory {
public:
    FrameWindowFactory(WindowsAdapter& windows, CAppletApp* app) : windows_(windows), app_(app) {}
    bool CreateMainWindow(CMainFrame& frame, const std::u16string& title) override;

    // What the window procedure needs; lives as long as the factory.
    struct Context {
        CMainFrame* frame = nullptr;
        CAppletApp* app = nullptr;
        WindowsAdapter* windows = nullptr;
        HWND view = nullptr;
    };

private:
    WindowsAdapter& windows_;
    CAppletApp* app_;
    Context context_;
};

}  // namespace applet::win32
