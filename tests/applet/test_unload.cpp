// The autostart value and the Unload command.
#include <gtest/gtest.h>

#include <functional>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const RegRoot kLm = RegRoot::LocalMachine;
const std::string kSetRun = R"(SetValue(Run, "TV Card Remote Control Device Monitor", 1, )";

TEST(Autostart, WrittenAtEveryStartQuotedOnlyWithBlanks) {
    const std::u16string longest = u"C:\\" + std::u16string(245, u'x') + u"\\Ravlet.exe";
    const std::string longestText = "C:\\" + std::string(245, 'x') + "\\Ravlet.exe";
    const struct {
        const char* name;
        std::u16string module;
        std::function<void(FakeRegistry&)> arrange;
        Trace expected;
    } rows[] = {
        {"a path without blanks as it is", u"C:\\Windows\\Ravlet.exe", nullptr,
         {"ModuleFileName(260)", "OpenKey(Run, 0xF003F)", kSetRun + R"("C:\Windows\Ravlet.exe"))", "CloseKey(Run)"}},
        {"a path with blanks quoted", u"C:\\Program Files\\Tv Card\\Ravlet.exe", nullptr,
         {"ModuleFileName(260)", "OpenKey(Run, 0xF003F)",
          kSetRun + R"(""C:\Program Files\Tv Card\Ravlet.exe""))", "CloseKey(Run)"}},
        {"259 units and the terminator fill the buffer exactly", longest, nullptr,
         {"ModuleFileName(260)", "OpenKey(Run, 0xF003F)", kSetRun + "\"" + longestText + "\")", "CloseKey(Run)"}},
        {"a Run key not writable: the creation goes on",
         u"C:\\Windows\\Ravlet.exe", [](FakeRegistry& r) { r.SetAllowedAccess(kLm, kRunKeyPath, win::kKeyRead); },
         {"ModuleFileName(260)", "OpenKey(Run, 0xF003F) fails"}},
        {"no Run key: none is created", u"C:\\Windows\\Ravlet.exe", [](FakeRegistry& r) { r.DeleteKey(kLm, kRunKeyPath); },
         {"ModuleFileName(260)", "OpenKey(Run, 0xF003F) fails"}},
        // 260 units leave no room for the terminator: cut short, the path would start nothing.
        {"a path that does not fit", longest + u"x", nullptr, {"ModuleFileName(260) fails"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunningApplet a;
        a.f.registry.SetString(kLm, kRunKeyPath, kRunValue, u"C:\\Old\\Ravlet.exe");
        if (row.arrange) row.arrange(a.f.registry);
        a.f.processes.modulePath = row.module;
        ASSERT_TRUE(a.Start());
        EXPECT_TRACE(Only(a.f.trace, {"ModuleFileName", "OpenKey(Run", "SetValue(Run", "CloseKey(Run"}), row.expected);
        EXPECT_TRUE(a.f.windows.Running(kPresenceTimer));
        EXPECT_EQ(a.f.registry.OpenHandles(), 0u);
    }
}

// Unload chosen from the tray menu, as the user does it: the dialog, what OK does, then the
// applet's shutdown.
TEST(Unload, ThisTimeOrForGood) {
    const Trace menu = {"TrackTrayMenu(128, 1080 grey, 1001, 1002, 57665)", "RunUnload()", "SetCheck(1007, 1)"};
    const Trace uninstall = {
        "OpenKey(Run, 0xF003F)", R"(DeleteValue(Run, "TV Card Remote Control Device Monitor"))", "CloseKey(Run)",
        "OpenKey(applet, 0xF003F)", R"(SetValue(applet, "Do Not Use", 4, 0x1))", "CloseKey(applet)"};
    const Trace closeMonitor = {R"(FindWindow(null, "TV Card Remote Control Device Monitor") = monitor)",
                                "Post(monitor, 0x10, 0x0, 0)"};
    const Trace shutdown = {"Send(main, 0x10, 0x0, 0)", "KillTimer(130)", "KillTimer(132)", "KillTimer(133)",
                            "CloseDevice()", "DeleteIcon(128)", "DeleteIcon(129) fails", "UnregisterNotification()"};
    auto cat = [](std::initializer_list<Trace> parts) {
        Trace out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const struct {
        const char* name;
        std::function<void(FakePorts&, Handle monitor)> arrange;
        std::vector<std::uint32_t> clicks;
        std::int32_t result;
        Trace expected;
    } rows[] = {
        {"this time only touches no registry", nullptr, {}, win::kIdOk, cat({menu, closeMonitor, shutdown})},
        {"for good removes the autostart value and marks Do Not Use", nullptr, {1008}, win::kIdOk,
         cat({menu, {"click 1008"}, uninstall, closeMonitor, shutdown})},
        {"the last radio clicked counts", nullptr, {1008, 1007}, win::kIdOk,
         cat({menu, {"click 1008", "click 1007"}, closeMonitor, shutdown})},
        {"Cancel changes nothing", nullptr, {1008}, win::kIdCancel, cat({menu, {"click 1008"}})},
        {"a missing applet key is not created, and no monitor is no obstacle",
         [](FakePorts& f, Handle monitor) {
             f.registry.DeleteKey(RegRoot::CurrentUser, kAppletKeyPath);
             f.windows.RemoveWindow(monitor);
         },
         {1008}, win::kIdOk,
         cat({menu, {"click 1008"}, {uninstall[0], uninstall[1], uninstall[2], "OpenKey(applet, 0xF003F) fails"},
              {R"(FindWindow(null, "TV Card Remote Control Device Monitor") = no window)"}, shutdown})},
        {"a Run key not writable still marks Do Not Use",
         [](FakePorts& f, Handle) { f.registry.SetAllowedAccess(RegRoot::LocalMachine, kRunKeyPath, win::kKeyRead); },
         {1008}, win::kIdOk,
         cat({menu, {"click 1008", "OpenKey(Run, 0xF003F) fails", uninstall[3], uninstall[4], uninstall[5]},
              closeMonitor, shutdown})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunningApplet a;
        a.f.registry.CreateKey(RegRoot::CurrentUser, kAppletKeyPath);
        a.f.registry.CreateKey(RegRoot::LocalMachine, kRunKeyPath);
        SetTuner(a.f.registry, 0x7134, 0, 0x4000);
        a.f.devices.AddInterface(kCardPath);
        const Handle monitor = a.f.windows.AddWindow(kMonitorTitle, u"DevMon");
        a.f.windows.Rename(monitor, "monitor");
        ASSERT_TRUE(a.Start());
        a.Check();
        ASSERT_TRUE(a.f.shell.Present(128));
        if (row.arrange) row.arrange(a.f, monitor);
        a.f.trace.clear();
        a.f.dialogs.clicks = row.clicks;
        a.f.dialogs.result = row.result;
        a.f.shell.choose = 57665;
        a.frame().OnTrayNotify(128, win::kWmRButtonDown);
        EXPECT_TRACE(a.f.trace, row.expected);
        EXPECT_EQ(a.f.registry.OpenHandles(), 0u);
        // Closed or still running as a whole.
        const bool closed = row.result == win::kIdOk;
        EXPECT_EQ(a.f.windows.Exists(a.f.windows.mainWindow), !closed);
        EXPECT_EQ(a.f.windows.RunningTimers() == 0 && a.f.shell.icons.empty() && a.f.devices.OpenDevices() == 0,
                  closed);
    }
}

TEST(Unload, ForGoodStopsLaterStarts) {
    RunningApplet a;
    a.f.registry.CreateKey(RegRoot::CurrentUser, kAppletKeyPath);
    ASSERT_TRUE(a.Start());
    a.f.dialogs.clicks = {1008};
    a.f.shell.choose = 57665;
    a.frame().OnTrayNotify(128, win::kWmRButtonDown);
    a.app.ExitInstance();
    a.f.trace.clear();
    CAppletApp next{a.f.ports()};
    FakeMainWindowFactory factory{a.f};
    EXPECT_FALSE(next.InitInstance(factory));
    EXPECT_TRACE(a.f.trace, (Trace{"OpenKey(applet, 0xF003F)", R"(QueryValue(applet, "Do Not Use"))", "CloseKey(applet)"}));
}

}  // namespace
}  // namespace applet
