// The presence check: the card's capture interface found by its reference GUID, opened, and
// closed again when it goes away.
#include "mainframe.h"
#include "win32/resource.h"

namespace applet {

namespace {

// Reference GUID of the card's capture filter: {BBEFB6C7-2FC4-4139-BB8B-A58BBA724000}.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2, data3;
    std::uint8_t data4[8];
};
constexpr Guid kReferenceGuid = {0xBBEFB6C7, 0x2FC4, 0x4139, {0xBB, 0x8B, 0xA5, 0x8B, 0xBA, 0x72, 0x40, 0x00}};

// Registry format: braces, upper-case hexadecimal digits, hyphens (as StringFromGUID2 renders it).
// Written out by hand: printf's formatting would bring its floating-point and locale code along.
std::u16string RenderGuid(const Guid& g) {
    std::u16string text = u"{";
    auto hex = [&text](std::uint32_t value, int digits) {
        while (digits--) text.push_back(u"0123456789ABCDEF"[(value >> (4 * digits)) & 0xF]);
    };
    hex(g.data1, 8);
    text.push_back(u'-');
    hex(g.data2, 4);
    text.push_back(u'-');
    hex(g.data3, 4);
    text.push_back(u'-');
    for (int i = 0; i < 8; ++i) {
        if (i == 2) text.push_back(u'-');
        hex(g.data4[i], 2);
    }
    text.push_back(u'}');
    return text;
}

std::u16string UpperAscii(std::u16string text) {
    for (auto& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

// The device path buffer holds 260 units with its terminator; a longer path is not cut short.
constexpr std::size_t kPathUnits = 260;

constexpr std::uint32_t kReceiverReady = 0x4000;  // wiring word: the receiver is fitted
constexpr std::uint32_t kOldBoardNoReceiver = 0x20;

}  // namespace

bool CMainFrame::ReadTunerKey() {
    Registry& registry = ports_.registry;
    const Handle key = registry.OpenKey(RegRoot::LocalMachine, kTunerKey, win::kKeyRead);
    if (!key) return true;  // no key: look for the device regardless

    std::uint32_t value = 0;
    if (ReadDwordValue(registry, key, u"DeviceID", &value)) deviceId_ = value;
    ReadDwordValue(registry, key, u"SubvendorID", &value);
    ReadDwordValue(registry, key, u"SubsystemID", &value);
    if (ReadDwordValue(registry, key, u"IsOldBoard", &value)) isOldBoard_ = value;
    std::uint32_t wiring = 0;
    ReadDwordValue(registry, key, u"GPIO", &wiring);
    registry.CloseKey(key);

    if (!(wiring & kReceiverReady)) return false;
    return !(isOldBoard_ && (wiring & kOldBoardNoReceiver));
}

bool CMainFrame::InterfaceStep(std::uint32_t index, std::u16string* path) {
    CaptureDevices& devices = ports_.devices;
    // Each index gets a set of its own, so an interface that comes or goes between steps
    // cannot leave a stale set behind.
    const Handle set = devices.OpenInterfaceSet();
    if (!set) return false;
    std::u16string found;
    const bool ok = devices.EnumInterface(set, index) && devices.InterfacePath(set, index, &found);
    if (ok) {
        static const std::u16string reference = RenderGuid(kReferenceGuid);
        if (UpperAscii(found).find(reference) != std::u16string::npos && found.size() < kPathUnits)
            *path = found;
    }
    devices.CloseInterfaceSet(set);
    return ok;
}

void CMainFrame::CloseDevice() {
    // The poll stops before its device goes.
    ports_.windows.KillTimer(kPollTimer);
    ports_.windows.KillTimer(kSuppressTimer);
    suppressed_ = 0;
    if (device_) {
        ports_.devices.CloseDevice(device_);
        device_ = 0;
    }
    RemoveTrayIcon(IDR_MAINFRAME);
    RemoveTrayIcon(kSecondTrayIcon);
}

void CMainFrame::OnPresenceCheck() {
    FollowConsole();
    // The card belongs to the applet of the session at the console.
    if (!atConsole_) return;
    // A card without a receiver is left alone, whether its device is open or not.
    if (!ReadTunerKey()) return;

    // Every match overwrites the path: the last one in enumeration order wins.
    std::u16string path;
    for (std::uint32_t index = 0; InterfaceStep(index, &path); ++index) {
    }

    if (path.empty()) {
        if (device_) CloseDevice();
        return;
    }
    if (!device_) {
        device_ = ports_.devices.OpenDevice(path);
        if (!device_) return;  // tried again at the next check
        failedReads_ = 0;
        RunGpioSetup();
        // A receiver the user disabled stays disabled across a removal and return.
        if (receiverEnabled_) ports_.windows.SetTimer(kPollTimer, kPollPeriodMs);
    }
    // Added anew at every check: an icon lost with the taskbar comes back within one period.
    ShowTrayIcon();
}

}  // namespace applet
