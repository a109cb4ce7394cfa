// The autostart value and the Unload command.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

std::vector<std::uint8_t> Sz(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

TEST(Autostart, WrittenAtEveryStartQuotedOnlyWithBlanks) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\Windows\\Ravlet.exe", u"C:\\Windows\\Ravlet.exe"},
        {u"C:\\Program Files\\Tv Card\\Ravlet.exe", u"\"C:\\Program Files\\Tv Card\\Ravlet.exe\""},
        // 259 units and the terminator fill the buffer exactly.
        {u"C:\\" + std::u16string(245, u'x') + u"\\Ravlet.exe", u"C:\\" + std::u16string(245, u'x') + u"\\Ravlet.exe"},
    };
    for (const auto& [module, stored] : cases) {
        RunningApplet a;
        a.f.registry.SetString(RegRoot::LocalMachine, kRunKeyPath, kRunValue, u"C:\\Old\\Ravlet.exe");
        a.f.processes.modulePath = module;
        ASSERT_TRUE(a.Start());
        const auto* value = a.f.registry.GetValue(RegRoot::LocalMachine, kRunKeyPath, kRunValue);
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, win::kRegSz);
        EXPECT_EQ(value->bytes, Sz(stored));  // with its terminator
        EXPECT_EQ(a.f.processes.moduleCapacities, std::vector<std::uint32_t>{260});
        EXPECT_EQ(a.f.registry.OpenHandles(), 0u);
    }
}

TEST(Autostart, NothingWrittenWhenTheRunKeyIsNotWritableOrMissingOrThePathDoesNotFit) {
    enum Case { ReadOnlyKey, NoKey, PathTooLong };
    for (Case c : {ReadOnlyKey, NoKey, PathTooLong}) {
        RunningApplet a;
        if (c == ReadOnlyKey) a.f.registry.SetAllowedAccess(RegRoot::LocalMachine, kRunKeyPath, win::kKeyRead);
        if (c == PathTooLong) {
            a.f.registry.CreateKey(RegRoot::LocalMachine, kRunKeyPath);
            // 260 units leave no room for the terminator: cut short, the path would start nothing.
            a.f.processes.modulePath = u"C:\\" + std::u16string(246, u'x') + u"\\Ravlet.exe";
            ASSERT_EQ(a.f.processes.modulePath.size(), 260u);
        }
        ASSERT_TRUE(a.Start()) << c;
        EXPECT_FALSE(a.f.registry.GetValue(RegRoot::LocalMachine, kRunKeyPath, kRunValue)) << c;
        EXPECT_EQ(a.f.registry.HasKey(RegRoot::LocalMachine, kRunKeyPath), c != NoKey);
        EXPECT_TRUE(a.f.windows.Running(kPresenceTimer)) << c;
    }
}

struct Unload : ::testing::Test, RunningApplet {
    Handle monitor = 0;
    void SetUp() override {
        f.registry.CreateKey(RegRoot::CurrentUser, kAppletKeyPath);
        f.registry.CreateKey(RegRoot::LocalMachine, kRunKeyPath);
        SetTuner(f.registry, 0x7134, 0, 0x4000);
        f.devices.AddInterface(kCardPath);
        monitor = f.windows.AddWindow(kMonitorTitle, u"DevMon");
        ASSERT_TRUE(Start());
        Check();
        ASSERT_TRUE(f.shell.Present(128));
        ASSERT_TRUE(RunValuePresent());
        f.registry.writes.clear();
    }
    // Unload chosen from the tray menu, as the user does it.
    void Choose(std::vector<std::uint32_t> clicks, std::int32_t result) {
        f.dialogs.clicks = std::move(clicks);
        f.dialogs.result = result;
        f.shell.choose = 57665;
        frame().OnTrayNotify(128, win::kWmRButtonDown);
        ASSERT_EQ(f.dialogs.unloadRuns, 1);
    }
    bool MonitorAskedToClose() {
        for (auto& m : f.windows.messages)
            if (m.window == monitor && m.msg == win::kWmClose && m.kind == "post") return true;
        return false;
    }
    bool AppletClosed() {
        return !f.windows.Exists(f.windows.mainWindow) && f.windows.RunningTimers() == 0 &&
               f.shell.icons.empty() && f.devices.OpenDevices() == 0;
    }
    bool RunValuePresent() { return f.registry.GetValue(RegRoot::LocalMachine, kRunKeyPath, kRunValue); }
};

TEST_F(Unload, UnloadThisTimeTouchesNoRegistry) {
    Choose({}, win::kIdOk);
    EXPECT_EQ(f.dialogs.controls.checkCalls, (std::vector<std::pair<std::uint32_t, bool>>{{1007, true}}));
    EXPECT_TRUE(f.registry.writes.empty());
    EXPECT_TRUE(RunValuePresent());
    EXPECT_TRUE(MonitorAskedToClose());
    EXPECT_TRUE(AppletClosed());
}

TEST_F(Unload, UninstallRemovesAutostartAndStopsLaterStarts) {
    Choose({1008}, win::kIdOk);
    EXPECT_FALSE(RunValuePresent());
    const auto* dnu = f.registry.GetValue(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use");
    ASSERT_TRUE(dnu);
    EXPECT_EQ(dnu->type, win::kRegDword);
    EXPECT_EQ(dnu->bytes, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_TRUE(MonitorAskedToClose());
    EXPECT_TRUE(AppletClosed());
    EXPECT_EQ(f.registry.OpenHandles(), 0u);

    app.ExitInstance();
    RunningApplet next;
    next.f.registry.SetDword(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use",
                             *f.registry.GetDword(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use"));
    EXPECT_FALSE(next.Start());
}

TEST_F(Unload, LastRadioClickedCounts) {
    Choose({1008, 1007}, win::kIdOk);
    EXPECT_TRUE(f.registry.writes.empty());
    EXPECT_TRUE(AppletClosed());
}

TEST_F(Unload, CancelChangesNothing) {
    Choose({1008}, win::kIdCancel);
    EXPECT_TRUE(f.registry.writes.empty());
    EXPECT_TRUE(f.windows.messages.empty());
    EXPECT_TRUE(f.windows.Exists(f.windows.mainWindow));
    EXPECT_TRUE(f.windows.Running(kPresenceTimer));
    EXPECT_TRUE(f.shell.Present(128));
}

TEST_F(Unload, MissingAppletKeyIsNotCreatedAndNoMonitorIsNoObstacle) {
    f.registry.DeleteKey(RegRoot::CurrentUser, kAppletKeyPath);
    f.windows.RemoveWindow(monitor);
    Choose({1008}, win::kIdOk);
    EXPECT_FALSE(f.registry.HasKey(RegRoot::CurrentUser, kAppletKeyPath));
    EXPECT_FALSE(RunValuePresent());
    EXPECT_FALSE(MonitorAskedToClose());
    EXPECT_TRUE(AppletClosed());
}

TEST_F(Unload, RunKeyNotWritableStillMarksDoNotUse) {
    f.registry.SetAllowedAccess(RegRoot::LocalMachine, kRunKeyPath, win::kKeyRead);
    Choose({1008}, win::kIdOk);
    EXPECT_TRUE(RunValuePresent());
    EXPECT_EQ(f.registry.GetDword(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use"), 1u);
}

}  // namespace
}  // namespace applet
