// The remote type: from and to profile names, the dialog's checks and 51-key rule, OK and Cancel.
#include <gtest/gtest.h>

#include <functional>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const RegRoot kCu = RegRoot::CurrentUser;
const std::u16string kDigitalTvKey = u"SOFTWARE\\Orvane\\Nuvex\\1.0";
const std::u16string kEnable51 = u"Enable 51Key Remote Control";

TEST(RemoteType, FromProfileNameFirstMatchWinsAndCaseCounts) {
    struct Case { std::u16string name; std::int32_t type; };
    const Case cases[] = {
        {u"RC51Keys", 3}, {u"RC28Keys", 2}, {u"RC30Keys", 1}, {u"RC32Keys", 0}, {u"", 0},
        {u"RC28KeysRC51Keys", 3}, {u"RC30Keys+RC28Keys", 2}, {u"MyRC30Keys2", 1},
        {u"rc51keys", 0}, {u"RC5Keys", 0}, {u"Custom", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(RemoteTypeFromProfile(c.name), c.type) << N(c.name);
    EXPECT_EQ(ProfileFromRemoteType(0), u"RC32Keys");
    EXPECT_EQ(ProfileFromRemoteType(1), u"RC30Keys");
    EXPECT_EQ(ProfileFromRemoteType(2), u"RC28Keys");
    EXPECT_EQ(ProfileFromRemoteType(3), u"RC51Keys");
    for (std::int32_t other : {-1, 4, 99}) EXPECT_EQ(ProfileFromRemoteType(other), u"RC32Keys");
}

TEST(RemoteDialog, ChecksFollowTheTypeAndClicksSetIt) {
    FakeRegistry registry;
    struct Case { std::int32_t type; std::uint32_t checked; };
    for (Case c : {Case{0, 1004}, Case{1, 1005}, Case{2, 1006}, Case{3, 1003}, Case{7, 1004}, Case{-2, 1004}}) {
        CRemote dialog(registry, 0, 0x7134);
        dialog.m_nRemoteType = c.type;
        FakeDialogControls controls;
        EXPECT_TRUE(dialog.OnInitDialog(controls));
        ASSERT_EQ(controls.checks.size(), 4u);
        for (std::uint32_t id : {1003u, 1004u, 1005u, 1006u}) EXPECT_EQ(controls.checks[id], id == c.checked) << c.type;
    }
    CRemote dialog(registry, 0, 0);
    struct Click { std::uint32_t id; std::int32_t type; };
    for (Click k : {Click{1006, 2}, Click{1003, 3}, Click{1005, 1}, Click{1004, 0}, Click{1001, 0}}) {
        dialog.OnRadio(k.id);
        EXPECT_EQ(dialog.m_nRemoteType, k.type) << k.id;
    }
}

// The four profiles, each known by its class name "Tv" + profile name.
void AddProfiles(FakeRegistry& registry) {
    for (const char* name : {"RC51Keys", "RC32Keys", "RC30Keys", "RC28Keys"})
        registry.SetString(kCu, kAppletKeyPath + u"\\" + U(name), u"FindWindowClassName", U(std::string("Tv") + name));
}

// The profile of the chosen name loaded: its key, the application's key (here the root, as the
// profiles name none), closed again.
Trace Reload(const std::string& name) {
    return {"OpenKey(applet\\" + name + ", 0x20019)", "OpenKey(HKCU\\, 0x20019)", "CloseKey(HKCU\\)",
            "CloseKey(applet\\" + name + ")"};
}

// The command 1002: the dialog on the applet key opened for writing; OK writes the choice with
// the stored value's type and loads its profile, Cancel changes nothing.
TEST(Configure, WritesTheChoiceWithItsTypeAndReloads) {
    const std::string open = "OpenKey(applet, 0xF003F)", close = "CloseKey(applet)";
    const std::string dialog = "RunRemote()", digitalTv = R"(OpenKey(HKCU\SOFTWARE\Orvane\Nuvex\1.0, 0x20019) fails)";
    auto ok = [&](const std::string& written, const std::string& type = "1") {
        Trace t = {open, dialog, digitalTv, R"(SetValue(applet, "Profile", )" + type + ", \"" + written + "\")"};
        for (const auto& line : Reload(written)) t.push_back(line);
        t.push_back(close);
        return t;
    };
    const struct {
        const char* name;
        std::function<void(FakeRegistry&)> arrange;
        std::vector<std::uint32_t> clicks;
        std::int32_t result;
        Trace expected;
        std::u16string className;  // of the profile in force afterwards
    } rows[] = {
        {"the hidden button's RC30Keys is kept",
         [](FakeRegistry& r) { r.SetString(kCu, kAppletKeyPath, u"Profile", u"RC30Keys"); }, {}, win::kIdOk,
         ok("RC30Keys"), u"TvRC30Keys"},
        {"no Profile value: RC32Keys", nullptr, {}, win::kIdOk, ok("RC32Keys"), u"TvRC32Keys"},
        {"REG_EXPAND_SZ stays",
         [](FakeRegistry& r) { r.SetString(kCu, kAppletKeyPath, u"Profile", u"Unknown", 2); }, {}, win::kIdOk,
         ok("RC32Keys", "2"), u"TvRC32Keys"},
        {"a click chooses", [](FakeRegistry& r) { r.SetString(kCu, kAppletKeyPath, u"Profile", u"RC32Keys"); },
         {1006}, win::kIdOk, ok("RC28Keys"), u"TvRC28Keys"},
        {"RC51Keys kept though disabled here",
         [](FakeRegistry& r) { r.SetString(kCu, kAppletKeyPath, u"Profile", u"RC51Keys"); }, {}, win::kIdOk,
         ok("RC51Keys"), u"TvRC51Keys"},
        {"Cancel changes nothing", [](FakeRegistry& r) { r.SetString(kCu, kAppletKeyPath, u"Profile", u"RC32Keys"); },
         {1006}, win::kIdCancel, {open, dialog, digitalTv, close}, u""},
        {"a failed write still loads the choice",
         [](FakeRegistry& r) {
             r.SetString(kCu, kAppletKeyPath, u"Profile", u"RC32Keys");
             r.writesFail = true;
         },
         {1006}, win::kIdOk,
         {open, dialog, digitalTv, R"(SetValue(applet, "Profile", 1, "RC28Keys") fails)", Reload("RC28Keys")[0],
          Reload("RC28Keys")[1], Reload("RC28Keys")[2], Reload("RC28Keys")[3], close},
         u"TvRC28Keys"},
        {"no dialog without an applet key", [](FakeRegistry& r) { r.DeleteKey(kCu, kAppletKeyPath); }, {},
         win::kIdOk, {"OpenKey(applet, 0xF003F) fails"}, u""},
        {"no dialog on an applet key that is not writable",
         [](FakeRegistry& r) {
             r.SetString(kCu, kAppletKeyPath, u"Profile", u"RC28Keys");
             r.SetAllowedAccess(kCu, kAppletKeyPath, win::kKeyRead);
         },
         {}, win::kIdOk, {"OpenKey(applet, 0xF003F) fails"}, u""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakePorts f;
        CMainFrame frame{f.ports()};
        AddProfiles(f.registry);
        if (row.arrange) row.arrange(f.registry);
        f.trace.clear();
        f.dialogs.clicks = row.clicks;
        f.dialogs.result = row.result;
        frame.OnConfigure();
        EXPECT_TRACE(Only(f.trace, {"OpenKey", "CloseKey", "SetValue", "RunRemote"}), row.expected);
        EXPECT_EQ(frame.profile().className, row.className);
        if (f.dialogs.remoteRuns) EXPECT_TRUE(f.dialogs.initResult);
        EXPECT_EQ(f.registry.OpenHandles(), 0u);
    }
}

// "51 Keys" is enabled by the digital-TV application's value, else by the board data of the last
// presence check: a new board with one of the five chips.
TEST(Configure51Keys, FollowsTheDigitalTvValueAndTheBoardData) {
    const std::string key = R"(HKCU\SOFTWARE\Orvane\Nuvex\1.0)";
    const struct {
        int digitalTv;  // -1: no value, -2: no key
        std::uint32_t isOldBoard, deviceId;  // both 0: no presence check yet
        bool enabled;
    } rows[] = {
        {-2, 0, 0x7130, true}, {-2, 0, 0x7131, true}, {-1, 0, 0x7133, true}, {-1, 0, 0x7134, true},
        {0, 0, 0x7135, true},  {-1, 0, 0x7132, false}, {-1, 0, 0, false},     {-1, 1, 0x7134, false},
        {-2, 7, 0x7130, false}, {0, 1, 0x7134, false}, {1, 1, 0x7134, true},  {5, 0, 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("Enable 51Key " + std::to_string(row.digitalTv) + ", IsOldBoard " + std::to_string(row.isOldBoard) +
                     ", DeviceID " + Hex(row.deviceId));
        FakePorts f;
        CMainFrame frame{f.ports()};
        AddProfiles(f.registry);
        f.registry.SetString(kCu, kAppletKeyPath, u"Profile", u"RC51Keys");
        if (row.digitalTv == -1) f.registry.CreateKey(kCu, kDigitalTvKey);
        if (row.digitalTv >= 0) f.registry.SetDword(kCu, kDigitalTvKey, kEnable51, static_cast<std::uint32_t>(row.digitalTv));
        if (row.deviceId || row.isOldBoard) {
            SetTuner(f.registry, row.deviceId, row.isOldBoard, 0x4000);
            frame.OnPresenceCheck();  // no capture interface: only the board data are refreshed
        }
        f.trace.clear();
        f.dialogs.result = win::kIdCancel;
        frame.OnConfigure();
        Trace expected = {"SetCheck(1003, 1)"};
        if (row.digitalTv == -2) {
            expected.push_back("OpenKey(" + key + ", 0x20019) fails");
        } else {
            expected.push_back("OpenKey(" + key + ", 0x20019)");
            expected.push_back("QueryValue(" + key + R"(, "Enable 51Key Remote Control"))" + (row.digitalTv == -1 ? " fails" : ""));
            expected.push_back("CloseKey(" + key + ")");
        }
        expected.push_back(std::string("Enable(1003, ") + (row.enabled ? "1" : "0") + ")");
        EXPECT_TRACE(Only(f.trace, {"SetCheck(1003", "Enable", "OpenKey(HKCU", "QueryValue(HKCU", "CloseKey(HKCU"}),
                     expected);
        EXPECT_EQ(f.registry.OpenHandles(), 0u);
    }
}

}  // namespace
}  // namespace applet
