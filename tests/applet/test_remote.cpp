// The remote type: from and to profile names, the dialog's checks and 51-key rule, OK and Cancel.
#include <gtest/gtest.h>

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

// The command 1002 on a frame.
struct Configure : ::testing::Test {
    FakePorts f;
    CMainFrame frame{f.ports()};

    void SetUp() override { AddProfiles(f.registry); }
    std::optional<std::u16string> Stored() { return f.registry.GetString(kCu, kAppletKeyPath, u"Profile"); }
    int Reloads() const {
        int n = 0;
        for (auto& o : f.registry.opens) n += o.path.size() > kAppletKeyPath.size() + 1;
        return n;
    }
};

TEST_F(Configure, OkWritesTheChoiceWithItsTypeAndReloads) {
    struct Case {
        std::optional<std::u16string> profile;
        std::uint32_t type;
        std::vector<std::uint32_t> clicks;
        std::u16string written;
        std::uint32_t writtenType;
    };
    const Case cases[] = {
        {u"RC30Keys", win::kRegSz, {}, u"RC30Keys", win::kRegSz},  // the hidden button, kept
        {std::nullopt, 0, {}, u"RC32Keys", win::kRegSz},
        {u"Unknown", 2, {}, u"RC32Keys", 2},                    // REG_EXPAND_SZ stays
        {u"RC32Keys", win::kRegSz, {1006}, u"RC28Keys", win::kRegSz},
        {u"RC51Keys", win::kRegSz, {}, u"RC51Keys", win::kRegSz},  // kept though disabled here
    };
    for (const Case& c : cases) {
        FakePorts f;
        CMainFrame frame{f.ports()};
        AddProfiles(f.registry);
        if (c.profile) f.registry.SetString(kCu, kAppletKeyPath, u"Profile", *c.profile, c.type);
        f.dialogs.clicks = c.clicks;
        f.dialogs.result = win::kIdOk;
        frame.OnConfigure();
        EXPECT_EQ(f.registry.opens[0].access, win::kKeyAllAccess);
        ASSERT_EQ(f.dialogs.remoteRuns, 1);
        EXPECT_TRUE(f.dialogs.initResult);
        ASSERT_EQ(f.registry.writes.size(), 1u);
        EXPECT_EQ(f.registry.writes[0].type, c.writtenType);
        EXPECT_EQ(f.registry.writes[0].bytes.size(), (c.written.size() + 1) * 2);
        EXPECT_EQ(f.registry.GetString(kCu, kAppletKeyPath, u"Profile"), c.written);
        // Reloaded from the chosen profile after the write.
        EXPECT_EQ(frame.profile().className, u"Tv" + c.written);
        const Trace order = Only(f.trace, {"SetValue(applet, \"Profile\"", "OpenKey(applet\\RC"});
        ASSERT_GE(order.size(), 2u);
        EXPECT_EQ(order[0].rfind("SetValue", 0), 0u);
        EXPECT_EQ(order[1].rfind("OpenKey", 0), 0u);
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

TEST_F(Configure, CancelChangesNothing) {
    f.registry.SetString(kCu, kAppletKeyPath, u"Profile", u"RC32Keys");
    f.dialogs.clicks = {1006};
    f.dialogs.result = win::kIdCancel;
    frame.OnConfigure();
    EXPECT_EQ(f.dialogs.remoteRuns, 1);
    EXPECT_TRUE(f.registry.writes.empty());
    EXPECT_EQ(Reloads(), 0);
    EXPECT_TRUE(frame.profile().className.empty());
    EXPECT_EQ(f.registry.OpenHandles(), 0u);
}

TEST_F(Configure, NoDialogWithoutAWritableAppletKey) {
    FakePorts bare;
    CMainFrame alone{bare.ports()};
    alone.OnConfigure();  // no applet key
    EXPECT_EQ(bare.dialogs.remoteRuns, 0);
    EXPECT_EQ(bare.registry.opens.size(), 1u);

    f.registry.SetString(kCu, kAppletKeyPath, u"Profile", u"RC28Keys");
    f.registry.SetAllowedAccess(kCu, kAppletKeyPath, win::kKeyRead);
    frame.OnConfigure();
    EXPECT_EQ(f.dialogs.remoteRuns, 0);
    EXPECT_TRUE(f.registry.writes.empty());
    EXPECT_EQ(Reloads(), 0);
}

// A registry whose writes fail, over the fake.
struct ReadOnlyWrites : Registry {
    FakeRegistry& inner;
    explicit ReadOnlyWrites(FakeRegistry& r) : inner(r) {}
    Handle OpenKey(RegRoot root, const std::u16string& path, std::uint32_t access) override {
        return inner.OpenKey(root, path, access);
    }
    bool QueryValue(Handle k, const std::u16string& n, std::uint32_t* t, void* d, std::uint32_t* s) override {
        return inner.QueryValue(k, n, t, d, s);
    }
    bool SetValue(Handle, const std::u16string&, std::uint32_t, const void*, std::uint32_t) override { return false; }
    bool DeleteValue(Handle, const std::u16string&) override { return false; }
    void CloseKey(Handle k) override { inner.CloseKey(k); }
};

TEST_F(Configure, FailedWriteStillLoadsTheChoice) {
    ReadOnlyWrites registry(f.registry);
    Ports ports{registry, f.devices, f.windows, f.shell, f.processes, f.session, f.dialogs, f.console};
    CMainFrame frame(ports);
    f.registry.SetString(kCu, kAppletKeyPath, u"Profile", u"RC32Keys");
    f.dialogs.clicks = {1006};
    frame.OnConfigure();
    EXPECT_EQ(Stored(), u"RC32Keys");
    EXPECT_EQ(frame.profile().className, u"TvRC28Keys");
    EXPECT_EQ(f.registry.OpenHandles(), 0u);
}

}  // namespace
}  // namespace applet
