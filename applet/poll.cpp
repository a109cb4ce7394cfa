// Polling the receiver: one GPIO cycle per tick, a dispatched key, then 350 ms of suppression.
#include "mainframe.h"

namespace applet {

namespace {

constexpr std::uint32_t kReadyLine = 0x4000;  // 0 while a key code waits
constexpr std::uint32_t kKeyShift = 8;
constexpr std::uint32_t kKeyMask = 0x3F;
// Three failed reads in a row (300 ms) mean a stale handle, e.g. after a resume from sleep; one
// stray failure does not drop the icon. Closing lets the next presence check, within 2000 ms,
// open the device afresh.
constexpr std::uint32_t kFailedReadsBeforeClose = 3;

}  // namespace

void CMainFrame::OnPoll() {
    // Delivering a key to a slow TV application lets messages sent to us through: a click on the
    // tray icon opens the menu, whose loop runs this timer. A poll in there would read the same
    // key, not acknowledged yet, and send it a second time.
    if (polling_) return;
    polling_ = true;
    PollOnce();
    polling_ = false;
}

void CMainFrame::PollOnce() {
    if (!device_) return;

    std::uint32_t status = 0;
    if (!LatchAndRead(&status)) {
        // A failed read carries no key: its zero would look like key code 0 waiting.
        if (++failedReads_ >= kFailedReadsBeforeClose) {
            failedReads_ = 0;
            CloseDevice();
        }
        return;
    }
    failedReads_ = 0;

    if (suppressed_ || (status & kReadyLine)) {
        Acknowledge(status);
        return;
    }

    DispatchKey((status >> kKeyShift) & kKeyMask);
    // The dispatch may have let messages through (a WM_CLOSE sent by another program while the
    // key was being delivered); with the device gone there is nothing to acknowledge.
    if (!device_) return;
    Acknowledge(status);
    suppressed_ = 1;
    ports_.windows.KillTimer(kSuppressTimer);
    ports_.windows.SetTimer(kSuppressTimer, kSuppressMs);
}

void CMainFrame::OnSuppressEnd() {
    ports_.windows.KillTimer(kSuppressTimer);
    suppressed_ = 0;
}

void CMainFrame::OnEnableReceiver() {
    // Restarts the poll if it already runs; ticks without a device do nothing.
    ports_.windows.SetTimer(kPollTimer, kPollPeriodMs);
    receiverEnabled_ = 1;
}

void CMainFrame::OnDisableReceiver() {
    ports_.windows.KillTimer(kPollTimer);
    ports_.windows.KillTimer(kSuppressTimer);
    receiverEnabled_ = 0;
    suppressed_ = 0;
}

}  // namespace applet
