// "Unload Remote Control Receiver": this time only, or for good (the autostart value removed).
#include "dialogs.h"
#include "mainframe.h"
#include "win32/resource.h"

namespace applet {

CUnload::CUnload(const Ports& ports) : ports_(ports) {}

void CUnload::OnInitDialog(DialogControls& controls) {
    m_nChoice = 0;
    controls.SetCheck(IDC_UNLOAD_ONCE, true);
}

void CUnload::OnRadio(std::uint32_t id) {
    if (id == IDC_UNLOAD_ONCE) m_nChoice = 0;
    if (id == IDC_UNINSTALL) m_nChoice = 1;
}

void CUnload::OnOK() {
    Registry& registry = ports_.registry;
    if (m_nChoice == 1) {
        if (const Handle run = registry.OpenKey(RegRoot::LocalMachine, kRunKey, win::kKeyAllAccess)) {
            registry.DeleteValue(run, kDeviceMonitor);
            registry.CloseKey(run);
        }
        // Opened, never created: without the applet key there is nothing to mark.
        if (const Handle applet = registry.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyAllAccess)) {
            const std::uint32_t one = 1;
            registry.SetValue(applet, u"Do Not Use", win::kRegDword, &one, sizeof one);
            registry.CloseKey(applet);
        }
    }
    // Not waited for: the monitor may still be closing when the applet has gone.
    if (const Handle monitor = ports_.windows.FindWindow(nullptr, kDeviceMonitor))
        ports_.windows.Post(monitor, win::kWmClose, 0, 0);
}

}  // namespace applet
