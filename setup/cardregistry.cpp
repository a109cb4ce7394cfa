// What the registry says about the machine's capture software: a driver that conflicts with the
// card's property page, and the remote receiver's key profile.
#include <cstring>

#include "mainframe.h"
#include "names.h"

namespace setup {

namespace {

const char kIntercastKey[] = "SOFTWARE\\INTEL\\Intercast\\Drivers";
constexpr std::uint32_t kTextBuffer = 260;
// The remote receiver's profile bit in the tuner driver's GPIO value, by board.
constexpr std::uint32_t kOldBoardProfileBit = 0x40;
constexpr std::uint32_t kNewBoardProfileBit = 0x40000;

// The launcher's one reader of a DWORD value: it counts only when the stored data is exactly four
// bytes (the stored type is not examined); otherwise it is missing and *value stays as it was.
bool ReadDword(Registry& registry, Handle key, const char* name, std::uint32_t* value) {
    // Type and size are preset before every query: a failed query with too small a buffer
    // leaves the needed size behind, which must not become the next query's buffer size.
    std::uint32_t type = win::kRegDword;
    std::uint32_t size = sizeof(std::uint32_t);
    std::uint32_t data = 0;
    if (!registry.QueryValue(key, name, &type, &data, &size) || size != sizeof data) return false;
    *value = data;
    return true;
}

}  // namespace

bool CMainFrame::IntercastConflict() {
    Registry& reg = ports_.registry;
    Handle key = reg.OpenKey(RegRoot::LocalMachine, kIntercastKey, win::kKeyAllAccess);
    if (key == 0) return false;
    char text[kTextBuffer + 1] = {};
    std::uint32_t type = win::kRegSz;
    std::uint32_t size = kTextBuffer;
    bool conflict = false;
    if (reg.QueryValue(key, "Capture Description", &type, text, &size)) {
        // The stored text need not end in a zero; the guard byte keeps the search inside.
        std::string upper(text, strnlen(text, size < kTextBuffer ? size : kTextBuffer));
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        conflict = upper.find("SAA7130") != std::string::npos;
    }
    reg.CloseKey(key);
    return conflict;
}

bool CMainFrame::ReceiverProfile() {
    Registry& reg = ports_.registry;
    Handle key = reg.OpenKey(RegRoot::LocalMachine, kTunerKey, win::kKeyAllAccess);
    if (key == 0) return false;
    std::uint32_t scratch = 0;
    ReadDword(reg, key, "DeviceID", &scratch);
    ReadDword(reg, key, "SubvendorID", &scratch);
    ReadDword(reg, key, "SubsystemID", &scratch);
    std::uint32_t isOldBoard = 1;  // a missing value means the old board
    ReadDword(reg, key, "IsOldBoard", &isOldBoard);
    std::uint32_t gpio = 0;
    ReadDword(reg, key, "GPIO", &gpio);
    reg.CloseKey(key);

    const bool profileBit = isOldBoard != 0 ? (gpio & kOldBoardProfileBit) != 0 : (gpio & kNewBoardProfileBit) != 0;
    if (!profileBit) return false;
    if (Handle applet = reg.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyAllAccess)) {
        static const char kProfile[] = "RC28Keys";
        reg.SetValue(applet, "Profile", win::kRegSz, kProfile, sizeof kProfile);
        reg.CloseKey(applet);
    }
    return true;
}

}  // namespace setup
