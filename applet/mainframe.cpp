// CMainFrame: construction, window creation, shutdown and the routing of timers and commands.
#include "mainframe.h"

#include "win32/resource.h"

const char16_t kAppletKey[] = u"SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
const char16_t kTunerKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";

namespace {

constexpr char16_t kUsEnglishLayout[] = u"00000409";
constexpr std::uint32_t kKlfActivate = 1;
// No icon with this id is ever added; it is removed with the applet's own on every way out.
constexpr std::uint32_t kSecondTrayIcon = 129;

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
    ports_.windows.KillTimer(kPollTimer);
    ports_.windows.KillTimer(kSuppressTimer);
    if (device_) {
        ports_.devices.CloseDevice(device_);
        device_ = 0;
    }
    RemoveTrayIcon(IDR_MAINFRAME);
    RemoveTrayIcon(kSecondTrayIcon);
    // Before the window goes: the registration names it.
    if (notifications_ == Notifications::Registered) ports_.console.UnregisterNotification();
    notifications_ = Notifications::Off;
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
