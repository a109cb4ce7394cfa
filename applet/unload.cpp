// The autostart value, and the unload dialog that removes it.
#include "dialogs.h"
#include "mainframe.h"
#include "win32/resource.h"

namespace {

const char16_t kRunKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The device monitor's window title, and the name of our autostart value.
const char16_t kDeviceMonitor[] = u"TV Card Remote Control Device Monitor";
constexpr std::uint32_t kModulePathUnits = 260;

}  // namespace

void CMainFrame::WriteAutostart() {
    std::u16string path = ports_.processes.ModuleFileName(kModulePathUnits);
    if (path.empty()) return;
    // Unquoted, "C:\Program Files\x\Ravlet.exe" would let C:\Program.exe run at every logon.
    if (path.find(u' ') != std::u16string::npos) path = u"\"" + path + u"\"";

    Registry& registry = ports_.registry;
    const Handle key = registry.OpenKey(RegRoot::LocalMachine, kRunKey, win::kKeyAllAccess);
    if (!key) return;  // not writable without administrator rights: the creation goes on
    registry.SetValue(key, kDeviceMonitor, win::kRegSz, path.c_str(),
                      static_cast<std::uint32_t>((path.size() + 1) * sizeof(char16_t)));
    registry.CloseKey(key);
}

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
    if (const Handle monitor = ports_.windows.FindByTitle(kDeviceMonitor))
        ports_.windows.Post(monitor, win::kWmClose, 0, 0);
}
