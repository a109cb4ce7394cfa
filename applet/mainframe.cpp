// CMainFrame: construction, window creation (the autostart value with it), shutdown and the routing
// of timers and commands.
#include "mainframe.h"

#include "win32/resource.h"

namespace applet {

const char16_t kAppletKey[] = u"SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
const char16_t kTunerKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
const char16_t kRunKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char16_t kDeviceMonitor[] = u"TV Card Remote Control Device Monitor";

namespace {

constexpr char16_t kUsEnglishLayout[] = u"00000409";
constexpr std::uint32_t kKlfActivate = 1;
constexpr std::uint32_t kModulePathUnits = 260;

}  // namespace

CMainFrame::CMainFrame(const Ports& ports) : ports_(ports) {
    ports_.session.CoInitialize();
    ports_.session.LoadKeyboardLayout(kUsEnglishLayout, kKlfActivate);
}

CMainFrame::~CMainFrame() { ports_.session.CoUninitialize(); }

std::int32_t CMainFrame::OnCreate() {
    // The frame window and its client view exist by now (the adapter creates them first).
    WriteAutostart();
    LoadKeyProfile(nullptr);
    // The first presence check runs one period from now; until then no device and no icon.
    ports_.windows.SetTimer(kPresenceTimer, kPresencePeriodMs);
    FollowConsole();
    return 0;
}

void CMainFrame::OnClose() {
    ports_.windows.KillTimer(kPresenceTimer);
    CloseDevice();
    // Before the window goes: the registration names it.
    if (notifications_ == Notifications::Registered) ports_.console.UnregisterNotification();
    notifications_ = Notifications::Off;
}

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

bool CMainFrame::OwnsTimer(std::uint32_t id) const {
    return id == kPresenceTimer || id == kPollTimer || id == kSuppressTimer;
}

void CMainFrame::OnTimer(std::uint32_t id) {
    switch (id) {
        case kPresenceTimer: OnPresenceCheck(); break;
        case kPollTimer: OnPoll(); break;
        case kSuppressTimer: OnSuppressEnd(); break;
        default: break;
    }
}

bool CMainFrame::OnCommand(std::uint32_t id) {
    switch (id) {
        case ID_RECEIVER_ENABLE: OnEnableReceiver(); return true;
        case ID_RECEIVER_DISABLE: OnDisableReceiver(); return true;
        case ID_CONFIGURE: OnConfigure(); return true;
        default: return false;  // "&Unload..." belongs to the application object
    }
}

}  // namespace applet
