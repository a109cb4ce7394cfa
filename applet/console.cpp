// Following the machine's console: with fast user switching or several people signed in, every
// logon session runs an applet, and whichever polled first would take a key meant for the person
// at the screen. Only the applet of the session attached to the console touches the card.
#include "mainframe.h"

namespace applet {

void CMainFrame::FollowConsole() {
    if (notifications_ != Notifications::Pending) return;
    switch (ports_.console.RegisterNotification()) {
        case Console::Registration::Unavailable:
            notifications_ = Notifications::Off;  // no session service at all: one session
            return;
        case Console::Registration::Failed:
            return;  // not up yet at an early logon; the next presence check asks again
        case Console::Registration::Done:
            notifications_ = Notifications::Registered;
            break;
    }
    // Asked after registering, so that a switch in between still arrives as a notification.
    Console& console = ports_.console;
    knowOwnSession_ = console.OwnSession(&ownSession_);
    std::uint32_t attached = 0;
    bool atConsole = true;
    if (console.RemoteSession())
        atConsole = false;
    else if (knowOwnSession_ && console.ConsoleSession(&attached))
        atConsole = attached == ownSession_;
    SetAtConsole(atConsole);
}

void CMainFrame::SetAtConsole(bool atConsole) {
    atConsole_ = atConsole;
    // As a removal: the presence check then leaves the card alone until the console comes back.
    if (!atConsole_ && device_) CloseDevice();
}

void CMainFrame::OnSessionChange(std::uint32_t code, std::uint32_t sessionId) {
    // Without a registration the applet behaves as it would with one session.
    if (notifications_ != Notifications::Registered) return;
    // The notifications asked for are our own session's; one about another session can still
    // come (another program's, or all sessions'): only a console connect of it tells us something.
    const bool ours = !knowOwnSession_ || sessionId == ownSession_;
    switch (code) {
        case win::kWtsConsoleConnect:
            // Ours: the next presence check opens the card again. Another's: ours lost the console.
            SetAtConsole(ours);
            break;
        case win::kWtsConsoleDisconnect:
        case win::kWtsRemoteConnect:
            if (ours) SetAtConsole(false);
            break;
        default:
            // A remote disconnect leaves a session that was not polling; log-on, log-off, lock and
            // unlock do not move the console.
            break;
    }
}

}  // namespace applet
