// A decoded key becomes a keystroke at the TV application, or closes or starts it (power key).
#include "mainframe.h"

namespace applet {

namespace {

constexpr std::uint32_t kPowerKey = 18;
constexpr std::uint32_t kPowerMarker = 1;
constexpr std::uint32_t kPauseAfterCloseMs = 1000;
constexpr std::uint32_t kLongestStartWaitMs = 5000;
// A TV application busy tuning still answers well within a second; one that does not is treated
// as hung and loses the key, so the poll and the tray menu never stall longer than the power
// key's own pause.
constexpr std::uint32_t kKeyDeliveryBoundMs = 1000;

}  // namespace

void CMainFrame::DispatchKey(std::uint32_t code) {
    const std::uint32_t k = code & 0xFF;
    // The table holds 128 entries; a code beyond it names no key.
    if (k >= sizeof profile_.keys / sizeof profile_.keys[0]) return;

    // Looked up anew for every key: the TV application may have been closed or restarted.
    // No window class has the empty name, so an unset class name finds nothing.
    Windows& windows = ports_.windows;
    const Handle target = profile_.className.empty() ? 0 : windows.FindWindow(profile_.className.c_str(), nullptr);

    if (k == kPowerKey && profile_.keys[k] == kPowerMarker) {
        if (target) {
            windows.Post(target, win::kWmClose, 0, 0);
            ports_.processes.Sleep(kPauseAfterCloseMs);
            return;
        }
        Processes& processes = ports_.processes;
        if (Handle process = processes.Start(profile_.appPath)) {
            processes.WaitFor(process, kLongestStartWaitMs);
            processes.CloseHandle(process);
        }
        return;
    }

    if (target) {
        windows.SendTimeout(target, win::kWmKeyDown, profile_.keys[k] & 0xFF, 0, win::kSmtoAbortIfHung,
                            kKeyDeliveryBoundMs);
    }
}

}  // namespace applet
