// The key profile: which TV application is the target and which virtual key each remote key sends;
// and the Configure command, where the user chooses it by the remote's type.
#include <vector>

#include "dialogs.h"
#include "mainframe.h"

namespace applet {

namespace {

bool FitsField(const std::u16string& text) { return text.size() + 1 <= kFieldUnits; }

// A string value that the profile lacks keeps what an earlier load left in the field.
void ReadField(Registry& registry, Handle key, const char16_t* name, std::u16string* field) {
    std::u16string value;
    if (ReadStringField(registry, key, name, &value)) *field = value;
}

std::u16string KeyValueName(int code) {
    std::u16string digits;
    unsigned value = static_cast<unsigned>(code);
    do digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    while (value /= 10);
    return u"Key" + digits;
}

}  // namespace

void CMainFrame::LoadKeyProfile(const std::u16string* name) {
    Registry& registry = ports_.registry;

    std::u16string profileName;
    if (name) {
        profileName = *name;
    } else if (Handle applet = registry.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyRead)) {
        ReadStringField(registry, applet, u"Profile", &profileName);
        registry.CloseKey(applet);
    }

    // The empty name leaves the path ending in the separator: the applet key itself.
    const std::u16string path = std::u16string(kAppletKey) + u"\\" + profileName;
    if (!FitsField(path)) return;
    const Handle key = registry.OpenKey(RegRoot::CurrentUser, path, win::kKeyRead);
    if (!key) return;

    ReadField(registry, key, u"AppPathKey", &profile_.appPathKey);
    ReadField(registry, key, u"AppPathValue", &profile_.appPathValue);
    ReadField(registry, key, u"AppExecName", &profile_.execName);

    if (Handle appKey = registry.OpenKey(RegRoot::CurrentUser, profile_.appPathKey, win::kKeyRead)) {
        std::u16string folder;
        if (ReadStringField(registry, appKey, profile_.appPathValue, &folder)) {
            const std::u16string joined = folder + u"\\" + profile_.execName;
            if (FitsField(joined)) profile_.appPath = joined;
        }
        registry.CloseKey(appKey);
    }

    ReadField(registry, key, u"FindWindowClassName", &profile_.className);

    for (std::uint32_t& entry : profile_.keys) entry = 0;
    for (int code = 0; code < 128; ++code) {
        ReadDwordValue(registry, key, KeyValueName(code), &profile_.keys[code]);
    }

    registry.CloseKey(key);
}

void CMainFrame::OnConfigure() {
    Registry& registry = ports_.registry;
    const Handle key = registry.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyAllAccess);
    if (!key) return;

    std::u16string current;
    std::uint32_t type = win::kRegSz;
    ReadStringField(registry, key, u"Profile", &current, &type);

    CRemote dialog(registry, isOldBoard_, deviceId_);
    dialog.m_nRemoteType = RemoteTypeFromProfile(current);
    if (ports_.dialogs.RunRemote(dialog) == win::kIdOk) {
        const std::u16string chosen = ProfileFromRemoteType(dialog.m_nRemoteType);
        std::vector<unsigned char> bytes;
        for (char16_t unit : chosen) {
            bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
            bytes.push_back(static_cast<unsigned char>(unit >> 8));
        }
        bytes.insert(bytes.end(), 2, 0);  // the terminator
        // The running applet follows the choice even when it cannot be stored.
        registry.SetValue(key, u"Profile", type, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        LoadKeyProfile(&chosen);
    }
    registry.CloseKey(key);
}

}  // namespace applet
