// The key profile loader over arbitrary registry contents: values of any type, size and name,
// missing keys, keys that refuse to be opened, very long names and paths; loads by "Profile" and
// by name, one after another, each checked against what the registry held.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fakes/scenario.h"
#include "fuzz_input.h"

using namespace applet;
using namespace applet::fake;

namespace {

constexpr std::size_t kMaxBytes = 1100;  // beyond every field (520 bytes), so each boundary is reachable
constexpr std::size_t kFieldBytes = 2 * kFieldUnits;

const char16_t* const kNames[] = {u"Profile",    u"AppPathKey", u"AppPathValue", u"AppExecName",
                                  u"FindWindowClassName", u"Folder", u"Key07", u"Key128", u"key5", u""};
const char16_t* const kTexts[] = {u"RC28Keys", u"RC51Keys", u"Software\\TvApp", u"Folder", u"tv.exe",
                                  u"C:\\Apps\\TV", u"TvAppWindow", u"", u"\\", u"RC28Keys\\", u"..\\RC28Keys"};
const char16_t* const kProfiles[] = {u"RC51Keys", u"RC32Keys", u"RC30Keys", u"RC28Keys"};

template <typename T, std::size_t N>
constexpr std::uint32_t Count(T (&)[N]) { return N; }

// Each byte one UTF-16 unit (zeros included), or a text the profiles really hold.
std::u16string Text(fuzz::Input& in) {
    const std::uint32_t pick = in.Below(Count(kTexts) + 1);
    if (pick < Count(kTexts)) return kTexts[pick];
    const std::string bytes = in.Bytes(kMaxBytes / 2);
    return std::u16string(bytes.begin(), bytes.end());
}

std::u16string Name(fuzz::Input& in) {
    const std::uint32_t pick = in.Below(Count(kNames) + 128 + 1);
    if (pick < Count(kNames)) return kNames[pick];
    if (pick < Count(kNames) + 128) return U("Key" + std::to_string(pick - Count(kNames)));
    return Text(in);
}

std::u16string KeyPath(fuzz::Input& in) {
    switch (in.Below(9)) {
        case 0: return kAppletKeyPath;
        case 1: case 2: case 3: case 4: return kAppletKeyPath + u"\\" + kProfiles[in.Below(4)];
        case 5: return kAppletKeyPath + u"\\" + Text(in);
        case 6: return u"Software\\TvApp";
        case 7: return u"";  // HKEY_CURRENT_USER itself
        default: return Text(in);
    }
}

std::vector<std::uint8_t> Data(fuzz::Input& in) {
    std::vector<std::uint8_t> out;
    switch (in.Below(4)) {
        case 0:
        case 1: {  // a text, with its terminator or without
            const bool terminated = in.Bool();
            for (char16_t c : Text(in)) {
                out.push_back(static_cast<std::uint8_t>(c & 0xFF));
                out.push_back(static_cast<std::uint8_t>(c >> 8));
            }
            if (terminated) out.insert(out.end(), {0, 0});
            break;
        }
        case 2: {
            const std::string bytes = in.Bytes(kMaxBytes);
            out.assign(bytes.begin(), bytes.end());
            break;
        }
        default: {
            const std::uint32_t w = in.Word();
            out.resize(4);
            std::memcpy(out.data(), &w, 4);
        }
    }
    return out;
}

// What a string value gives a field of 260 units: taken (its text up to the first zero unit),
// missing (too large for the field), or either (it fills the field to the last unit, so whether
// a terminator is left inside is the implementation's business).
enum class Read { Missing, Taken, Either };

Read StringValue(const FakeRegistry::Value* v, std::u16string* text) {
    if (!v || v->bytes.size() > kFieldBytes) return Read::Missing;
    std::vector<std::uint8_t> field(kFieldBytes, 0);
    std::copy(v->bytes.begin(), v->bytes.end(), field.begin());
    text->clear();
    for (std::size_t i = 0; i < kFieldUnits; ++i) {
        const char16_t unit = static_cast<char16_t>(field[2 * i] | field[2 * i + 1] << 8);
        if (unit == 0) break;
        text->push_back(unit);
    }
    return v->bytes.size() + 2 <= kFieldBytes ? Read::Taken : Read::Either;
}

std::string Show(const std::u16string& s) { return "\"" + N(s.substr(0, 80)) + "\"" + (s.size() > 80 ? "..." : ""); }

// A field after a load, given what it held before and what its value gives.
void CheckField(const char* what, const std::u16string& now, const std::u16string& before, Read read,
                const std::u16string& text) {
    const bool ok = read == Read::Taken     ? now == text
                    : read == Read::Missing ? now == before
                                            : (now == text || now == before);
    FUZZ_CHECK(ok, std::string(what) + " is " + Show(now) + ", before " + Show(before) + ", stored " + Show(text));
}

struct Loader {
    FakePorts f;
    CMainFrame frame{f.ports()};

    // Nothing reads the trace here; leaving it off keeps the runs quick.
    void Quiet() { f.TraceTo(nullptr); }

    const FakeRegistry::OpenCall* FindOpen(std::size_t from, const std::u16string& path) const {
        for (std::size_t i = from; i < f.registry.opens.size(); ++i)
            if (f.registry.opens[i].root == RegRoot::CurrentUser && f.registry.opens[i].path == path)
                return &f.registry.opens[i];
        return nullptr;
    }

    void Load(const std::u16string* name) {
        const KeyProfile before = frame.profile();
        const std::size_t first = f.registry.opens.size();
        frame.LoadKeyProfile(name);
        const KeyProfile& now = frame.profile();

        FUZZ_CHECK(f.registry.OpenHandles() == 0, "a key was left open");
        FUZZ_CHECK(f.registry.badCloses == 0, "a key was closed that was not open");
        for (std::size_t i = first; i < f.registry.opens.size(); ++i)
            FUZZ_CHECK(f.registry.opens[i].access == win::kKeyRead, "a key opened for more than reading");
        for (const std::u16string* s : {&now.appPathKey, &now.appPathValue, &now.execName, &now.appPath, &now.className})
            FUZZ_CHECK(s->size() < kFieldUnits && s->find(u'\0') == std::u16string::npos,
                       "a field longer than 259 units or with a zero unit: " + Show(*s));

        // The profile's name: the one given, else the "Profile" of the applet key.
        std::u16string profileName;
        std::size_t searchFrom = first;
        if (name) {
            profileName = *name;
        } else {
            const auto* applet = FindOpen(first, kAppletKeyPath);
            FUZZ_CHECK(applet != nullptr, "the applet key was not opened for the profile's name");
            if (applet && applet->ok) {
                const Read r = StringValue(f.registry.GetValue(RegRoot::CurrentUser, kAppletKeyPath, u"Profile"),
                                           &profileName);
                if (r == Read::Missing) profileName.clear();
                if (r == Read::Either) return;  // both outcomes are sound; nothing more to compare
            }
            searchFrom = first + 1;
        }
        const std::u16string path = kAppletKeyPath + u"\\" + profileName;
        const auto* profileOpen = FindOpen(searchFrom, path);
        if (path.size() < kFieldUnits)
            FUZZ_CHECK(profileOpen != nullptr, "the profile key " + Show(path) + " was not opened");
        if (!profileOpen || !profileOpen->ok) {
            FUZZ_CHECK(now.appPathKey == before.appPathKey && now.appPathValue == before.appPathValue &&
                           now.execName == before.execName && now.appPath == before.appPath &&
                           now.className == before.className &&
                           std::memcmp(now.keys, before.keys, sizeof now.keys) == 0,
                       "a profile key that did not open changed the key profile");
            return;
        }

        // Keys that opened exist: looked up once, then their values by name.
        auto keyAt = [&](const std::u16string& keyPath) -> FakeRegistry::Key& {
            return f.registry.CreateKey(RegRoot::CurrentUser, keyPath);
        };
        auto value = [](FakeRegistry::Key& key, const std::u16string& valueName) -> const FakeRegistry::Value* {
            const auto it = key.values.find(Lower(valueName));
            return it == key.values.end() ? nullptr : &it->second;
        };
        FakeRegistry::Key& profileKey = keyAt(path);
        std::u16string text;
        Read r = StringValue(value(profileKey, u"AppPathKey"), &text);
        CheckField("app path key", now.appPathKey, before.appPathKey, r, text);
        r = StringValue(value(profileKey, u"AppPathValue"), &text);
        CheckField("app path value", now.appPathValue, before.appPathValue, r, text);
        r = StringValue(value(profileKey, u"AppExecName"), &text);
        CheckField("executable name", now.execName, before.execName, r, text);
        r = StringValue(value(profileKey, u"FindWindowClassName"), &text);
        CheckField("class name", now.className, before.className, r, text);

        // The application path: the folder from the key that the (new) app path key names.
        const auto* appOpen = FindOpen(static_cast<std::size_t>(profileOpen - f.registry.opens.data()) + 1,
                                       now.appPathKey);
        FUZZ_CHECK(appOpen != nullptr, "the key of the application's folder was not opened");
        Read folder = Read::Missing;
        std::u16string joined;
        if (appOpen && appOpen->ok) {
            folder = StringValue(value(keyAt(now.appPathKey), now.appPathValue), &text);
            joined = text + u"\\" + now.execName;
            // A joined path that does not fit its field is refused.
            if (joined.size() >= kFieldUnits) folder = Read::Missing;
        }
        CheckField("application path", now.appPath, before.appPath, folder, joined);

        // The key table is rebuilt from zero: each entry is its value's 4 bytes, or 0.
        for (int code = 0; code < 128; ++code) {
            const FakeRegistry::Value* v = value(profileKey, U("Key" + std::to_string(code)));
            std::uint32_t expected = 0;
            if (v && v->bytes.size() <= 4)
                for (std::size_t i = 0; i < v->bytes.size(); ++i) expected |= std::uint32_t{v->bytes[i]} << (8 * i);
            FUZZ_CHECK(now.keys[code] == expected, "key table entry " + std::to_string(code) + " is " +
                                                       std::to_string(now.keys[code]) + ", stored " +
                                                       std::to_string(expected));
        }
    }
};

}  // namespace

int FuzzKeyProfile(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    Loader t;
    t.Quiet();
    FakeRegistry& reg = t.f.registry;
    const auto CU = RegRoot::CurrentUser;
    for (int step = 0; step < 200 && !in.Empty(); ++step) {
        switch (in.Below(10)) {
            case 6: reg.RemoveValue(CU, KeyPath(in), Name(in)); break;
            case 7: reg.DeleteKey(CU, KeyPath(in)); break;
            case 8: reg.SetAllowedAccess(CU, KeyPath(in), in.Bool() ? win::kKeyRead : 0x20006); break;
            case 9: {
                if (in.Bool()) {
                    t.Load(nullptr);
                } else {
                    const std::u16string name = in.Bool() ? kProfiles[in.Below(4)] : Text(in);
                    t.Load(&name);
                }
                break;
            }
            default: {
                const std::u16string path = KeyPath(in);
                const std::u16string name = Name(in);
                const std::uint32_t type = in.Below(12);  // REG_NONE to REG_QWORD
                reg.SetRaw(CU, path, name, type, Data(in));
            }
        }
    }
    t.Load(nullptr);
    return 0;
}
