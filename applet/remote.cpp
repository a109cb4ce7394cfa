// "Choose Remote Controller": the remote types, their profile names, and the dialog's rules.
#include "dialogs.h"
#include "mainframe.h"
#include "win32/resource.h"

namespace applet {

namespace {

constexpr std::int32_t kType32 = 0;
constexpr std::int32_t kType30 = 1;
constexpr std::int32_t kType28 = 2;
constexpr std::int32_t kType51 = 3;

const char16_t kDigitalTvKey[] = u"SOFTWARE\\Orvane\\Nuvex\\1.0";

bool ChipWith51KeyRemote(std::uint32_t deviceId) {
    switch (deviceId) {
        case kSaa7130: case kSaa7131: case kSaa7133: case kSaa7134: case kSaa7135: return true;
        default: return false;
    }
}

}  // namespace

std::int32_t RemoteTypeFromProfile(const std::u16string& name) {
    // The first match wins, in this order.
    if (name.find(u"RC51Keys") != std::u16string::npos) return kType51;
    if (name.find(u"RC28Keys") != std::u16string::npos) return kType28;
    if (name.find(u"RC30Keys") != std::u16string::npos) return kType30;
    return kType32;
}

std::u16string ProfileFromRemoteType(std::int32_t type) {
    switch (type) {
        case kType30: return u"RC30Keys";
        case kType28: return u"RC28Keys";
        case kType51: return u"RC51Keys";
        default: return u"RC32Keys";
    }
}

CRemote::CRemote(Registry& registry, std::uint32_t isOldBoard, std::uint32_t deviceId)
    : registry_(registry), isOldBoard_(isOldBoard), deviceId_(deviceId) {}

bool CRemote::OnInitDialog(DialogControls& controls) {
    const bool known = m_nRemoteType == kType30 || m_nRemoteType == kType28 || m_nRemoteType == kType51;
    controls.SetCheck(IDC_REMOTE51, m_nRemoteType == kType51);
    controls.SetCheck(IDC_REMOTE32, !known);
    controls.SetCheck(IDC_REMOTE30, m_nRemoteType == kType30);
    controls.SetCheck(IDC_REMOTE28, m_nRemoteType == kType28);

    // The maker's digital-TV application can offer the 51-key remote on any board.
    std::uint32_t enabled51 = 0;
    if (Handle key = registry_.OpenKey(RegRoot::CurrentUser, kDigitalTvKey, win::kKeyRead)) {
        ReadDwordValue(registry_, key, u"Enable 51Key Remote Control", &enabled51);
        registry_.CloseKey(key);
    }
    controls.Enable(IDC_REMOTE51, enabled51 != 0 || (isOldBoard_ == 0 && ChipWith51KeyRemote(deviceId_)));
    return true;
}

void CRemote::OnRadio(std::uint32_t id) {
    switch (id) {
        case IDC_REMOTE51: m_nRemoteType = kType51; break;
        case IDC_REMOTE32: m_nRemoteType = kType32; break;
        case IDC_REMOTE30: m_nRemoteType = kType30; break;
        case IDC_REMOTE28: m_nRemoteType = kType28; break;
        default: break;
    }
}

}  // namespace applet
