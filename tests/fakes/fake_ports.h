// One of each fake on a shared virtual clock and trace, and the Ports bundle over them.
#pragma once

#include "app.h"
#include "fakes/common.h"
#include "fakes/fake_console.h"
#include "fakes/fake_devices.h"
#include "fakes/fake_dialogs.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_session.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_windows.h"

namespace applet::fake {

inline const std::u16string kMainTitle = u"TV Card Remote Control Applet";
inline const std::u16string kMainClass = u"RavletMainFrame";

struct FakePorts {
    VirtualClock clock;
    Trace trace;
    FakeRegistry registry;
    FakeCaptureDevices devices;
    FakeWindows windows{clock};
    FakeShell shell;
    FakeProcesses processes{clock};
    FakeSession session;
    FakeDialogs dialogs;
    FakeConsole console;

    FakePorts() {
        TraceTo(&trace);
    }
    // Where every fake writes its lines; nullptr writes none.
    void TraceTo(Trace* to) {
        for (Tracer* t : std::initializer_list<Tracer*>{&registry, &devices, &windows, &shell, &processes, &session,
                                                        &dialogs, &console})
            t->trace = to;
    }
    FakePorts(const FakePorts&) = delete;
    FakePorts& operator=(const FakePorts&) = delete;

    Ports ports() { return Ports{registry, devices, windows, shell, processes, session, dialogs, console}; }

    // Routes timers, WM_CLOSE to the main window and chosen menu commands to this frame.
    void Attach(CMainFrame& frame, CAppletApp* app = nullptr) {
        windows.frame = &frame;
        shell.frame = &frame;
        if (app) shell.app = app;
    }
};

// Creates the main window as the adapter does: the window exists (titled) before WM_CREATE runs
// CMainFrame::OnCreate; a result of -1 destroys it again and the creation fails.
class FakeMainWindowFactory : public MainWindowFactory {
public:
    explicit FakeMainWindowFactory(FakePorts& fakes) : fakes_(fakes) {}
    bool fail = false;  // the frame window or its client view cannot be created
    int calls = 0;
    std::u16string title;

    bool CreateMainWindow(CMainFrame& frame, const std::u16string& t) override {
        ++calls;
        title = t;
        fakes_.trace.push_back("CreateMainWindow(\"" + N(t) + "\")" + (fail ? " fails" : ""));
        if (fail) return false;
        Handle h = fakes_.windows.AddWindow(t, kMainClass);
        fakes_.windows.Rename(h, "main");
        fakes_.windows.mainWindow = h;
        fakes_.Attach(frame);
        if (frame.OnCreate() != 0) {
            fakes_.windows.RemoveWindow(h);
            fakes_.windows.mainWindow = 0;
            return false;
        }
        return true;
    }

private:
    FakePorts& fakes_;
};

}  // namespace applet::fake
