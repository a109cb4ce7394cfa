// CAppletApp: start-up and exit of the applet, and the Unload command.
#pragma once

#include <memory>

#include "mainframe.h"

namespace applet {

// Creates the main window of the frame (its WM_CREATE calls CMainFrame::OnCreate). Implemented by
// the Win32 adapter; returns false when the window could not be created.
struct MainWindowFactory {
    virtual ~MainWindowFactory() = default;
    virtual bool CreateMainWindow(CMainFrame& frame, const std::u16string& title) = 0;
};

class CAppletApp {
public:
    explicit CAppletApp(const Ports& ports);

    // Runs start-up; true: run the message loop, false: end now (Exit still runs).
    bool InitInstance(MainWindowFactory& factory);
    // Closes the single-instance mutex; also at the end of the user's logon.
    void ExitInstance();
    // Menu command 57665, passed on by the main window.
    void OnUnload();

    CMainFrame* frame() { return frame_.get(); }

private:
    Ports ports_;
    Handle mutex_ = 0;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace applet
