// CAppletApp: start-up (the "Do Not Use" switch, one instance per logon), exit, and Unload.
#include "app.h"

#include "dialogs.h"
#include "win32/resource.h"

namespace applet {

CAppletApp::CAppletApp(const Ports& ports) : ports_(ports) {}

bool CAppletApp::InitInstance(MainWindowFactory& factory) {
    Registry& registry = ports_.registry;
    std::uint32_t doNotUse = 0;
    if (const Handle key = registry.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyAllAccess)) {
        ReadDwordValue(registry, key, u"Do Not Use", &doNotUse);
        registry.CloseKey(key);
    }
    if (doNotUse != 0) return false;  // uninstalled: until the setup runs again

    // One text is both the mutex name and the main window's title.
    const std::u16string name = ports_.session.LoadString(IDR_MAINFRAME);

    // A mutex alone may be a first instance that has no window yet: only both together stop us.
    if (const Handle existing = ports_.session.OpenMutex(name)) {
        ports_.session.CloseHandle(existing);
        if (ports_.windows.FindWindow(nullptr, name.c_str())) return false;
    }
    mutex_ = ports_.session.CreateMutex(name);

    frame_ = std::make_unique<CMainFrame>(ports_);
    if (!factory.CreateMainWindow(*frame_, name)) {
        // Nothing can run without the main window; the exit releases the mutex.
        frame_.reset();
        return false;
    }
    return true;
}

void CAppletApp::ExitInstance() {
    if (mutex_) {
        ports_.session.CloseHandle(mutex_);
        mutex_ = 0;
    }
}

void CAppletApp::OnUnload() {
    CUnload dialog(ports_);
    if (ports_.dialogs.RunUnload(dialog) != win::kIdOk) return;
    // Synchronous: the frame's shutdown has run when this returns.
    if (const Handle window = ports_.windows.MainWindow()) ports_.windows.Send(window, win::kWmClose, 0, 0);
}

}  // namespace applet
