// The key profile: which TV application is the target and which virtual key each remote key sends.
#include "mainframe.h"

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
