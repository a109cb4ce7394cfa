// Registry places and device paths that the applet's tests share, written out literally so that a
// typo in the code's own constants shows.
#pragma once

#include "fakes/fake_ports.h"

namespace applet::fake {

inline const std::u16string kAppletKeyPath = u"SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
inline const std::u16string kTunerKeyPath =
    u"SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
inline const std::u16string kRunKeyPath = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::u16string kRunValue = u"TV Card Remote Control Device Monitor";
inline const std::u16string kMonitorTitle = u"TV Card Remote Control Device Monitor";

// The card's capture interface as the system names it (lower case), and interfaces of others.
inline const std::u16string kCardPath =
    u"\\\\?\\pci#ven_1131&dev_7134&subsys_01381131&rev_01#4&2d5a5e31&0&4030#"
    u"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\{bbefb6c7-2fc4-4139-bb8b-a58bba724000}";
inline const std::u16string kOtherCardPath =
    u"\\\\?\\pci#ven_1131&dev_7134&subsys_01381131&rev_01#4&2d5a5e31&0&5030#"
    u"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\{BBEFB6C7-2FC4-4139-BB8B-A58BBA724000}";
inline const std::u16string kWebcamPath =
    u"\\\\?\\usb#vid_046d&pid_0825&mi_00#6&1f0b6a2&0&0000#"
    u"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

// Tuner driver key with the values that the presence check reads.
inline void SetTuner(FakeRegistry& reg, std::uint32_t deviceId, std::uint32_t isOldBoard, std::uint32_t gpio) {
    reg.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"DeviceID", deviceId);
    reg.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"SubvendorID", 0x1131);
    reg.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"SubsystemID", 0x0138);
    reg.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard", isOldBoard);
    reg.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"GPIO", gpio);
}

// The five requests of a GPIO cycle on each board for a status such as 0x4000 (no key waits, every
// pin that the acknowledge masks keep is low): both acknowledge writes are 0.
inline const std::vector<GpioCall> kNewBoardIdleCycle = {W(0x1B0, 0xE08000), W(0x1B0, 0x80E08000), R(0x1B4),
                                                         W(0x1B4, 0x0), W(0x1B4, 0x0)};
inline const std::vector<GpioCall> kOldBoardIdleCycle = {W(0x1B0, 0x1A8087), W(0x1B0, 0x801A8087), R(0x1B4),
                                                         W(0x1B4, 0x0), W(0x1B4, 0x0)};

}  // namespace applet::fake

namespace applet::fake {

// An applet started as WinMain starts it, on fakes: call Start() once the registry is set up.
struct RunningApplet {
    FakePorts f;
    CAppletApp app{f.ports()};
    FakeMainWindowFactory factory{f};

    bool Start() {
        if (!app.InitInstance(factory)) return false;
        f.Attach(*app.frame(), &app);
        return true;
    }
    CMainFrame& frame() { return *app.frame(); }
    void RunFor(std::uint64_t ms) { f.windows.Advance(ms, frame()); }
    // Runs up to and including the next presence check.
    void Check() {
        const std::uint64_t now = f.windows.Now();
        RunFor(kPresencePeriodMs - now % kPresencePeriodMs);
    }
};

}  // namespace applet::fake
