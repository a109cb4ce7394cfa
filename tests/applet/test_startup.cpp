// Start-up of the applet: "Do Not Use", one instance per logon, creation of the main window, exit.
#include <gtest/gtest.h>

#include <functional>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const RegRoot kCu = RegRoot::CurrentUser;
const std::string kQueryDoNotUse = R"(QueryValue(applet, "Do Not Use"))";
const Trace kMutexAndWindow = {
    "LoadString(128)",
    R"(OpenMutex("TV Card Remote Control Applet") fails)",
    R"(CreateMutex("TV Card Remote Control Applet"))",
    "CoInitialize()",
    R"(LoadKeyboardLayout("00000409", 1))",
    R"(CreateMainWindow("TV Card Remote Control Applet"))",
};

Trace Cat(std::initializer_list<Trace> parts) {
    Trace out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
// The trace up to and including the first line that begins with `prefix`.
Trace UpTo(const Trace& trace, const std::string& prefix) {
    for (auto it = trace.begin(); it != trace.end(); ++it)
        if (it->rfind(prefix, 0) == 0) return Trace(trace.begin(), it + 1);
    return trace;
}

struct Row {
    const char* name;
    std::function<void(FakePorts&, FakeMainWindowFactory&)> arrange;
    bool starts;
    // Up to the creation of the main window when it starts; else the whole trace, exit included.
    Trace expected;
};

std::function<void(FakePorts&, FakeMainWindowFactory&)> DoNotUse(std::uint32_t value) {
    return [value](FakePorts& f, FakeMainWindowFactory&) {
        f.registry.SetDword(kCu, kAppletKeyPath, u"Do Not Use", value);
    };
}

TEST(Startup, DoNotUseAndOneInstancePerLogon) {
    const Trace refused = {"OpenKey(applet, 0xF003F)", kQueryDoNotUse, "CloseKey(applet)"};
    const Row rows[] = {
        {"Do Not Use 1 ends before anything is created", DoNotUse(1), false, refused},
        {"Do Not Use 7", DoNotUse(7), false, refused},
        {"Do Not Use 0xFFFFFFFF", DoNotUse(0xFFFFFFFF), false, refused},
        {"Do Not Use 0 starts", DoNotUse(0), true,
         Cat({{"OpenKey(applet, 0xF003F)", kQueryDoNotUse, "CloseKey(applet)"}, kMutexAndWindow})},
        {"no Do Not Use value",
         [](FakePorts& f, FakeMainWindowFactory&) { f.registry.CreateKey(kCu, kAppletKeyPath); }, true,
         Cat({{"OpenKey(applet, 0xF003F)", kQueryDoNotUse + " fails", "CloseKey(applet)"}, kMutexAndWindow})},
        {"no applet key", nullptr, true, Cat({{"OpenKey(applet, 0xF003F) fails"}, kMutexAndWindow})},
        {"a key readable only without KEY_ALL_ACCESS: the value is not seen",
         [](FakePorts& f, FakeMainWindowFactory& w) {
             DoNotUse(1)(f, w);
             f.registry.SetAllowedAccess(kCu, kAppletKeyPath, win::kKeyRead);
         },
         true, Cat({{"OpenKey(applet, 0xF003F) fails"}, kMutexAndWindow})},
        {"a value too large for its 4-byte buffer is not read",
         [](FakePorts& f, FakeMainWindowFactory&) {
             f.registry.SetRaw(kCu, kAppletKeyPath, u"Do Not Use", win::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0});
         },
         true, Cat({{"OpenKey(applet, 0xF003F)", kQueryDoNotUse + " fails", "CloseKey(applet)"}, kMutexAndWindow})},
        {"a mutex without a window (a first instance not yet created) does not stop a start",
         [](FakePorts& f, FakeMainWindowFactory&) { f.session.HoldMutex(kMainTitle); }, true,
         {"OpenKey(applet, 0xF003F) fails", "LoadString(128)", R"(OpenMutex("TV Card Remote Control Applet"))",
          "CloseHandle(mutex TV Card Remote Control Applet)",
          R"(FindWindow(null, "TV Card Remote Control Applet") = no window)",
          R"(CreateMutex("TV Card Remote Control Applet"))", "CoInitialize()", R"(LoadKeyboardLayout("00000409", 1))",
          R"(CreateMainWindow("TV Card Remote Control Applet"))"}},
        {"a foreign window without the mutex is not even looked for",
         [](FakePorts& f, FakeMainWindowFactory&) { f.windows.AddWindow(kMainTitle, u"SomeoneElse"); }, true,
         Cat({{"OpenKey(applet, 0xF003F) fails"}, kMutexAndWindow})},
        {"a second instance ends silently while the first runs, telling it nothing",
         [](FakePorts& f, FakeMainWindowFactory&) {
             f.session.HoldMutex(kMainTitle);
             f.windows.Rename(f.windows.AddWindow(kMainTitle, kMainClass), "first");
         },
         false,
         {"OpenKey(applet, 0xF003F) fails", "LoadString(128)", R"(OpenMutex("TV Card Remote Control Applet"))",
          "CloseHandle(mutex TV Card Remote Control Applet)",
          R"(FindWindow(null, "TV Card Remote Control Applet") = first)"}},
        {"a failed window creation releases the mutex and the frame's COM",
         [](FakePorts&, FakeMainWindowFactory& factory) { factory.fail = true; }, false,
         Cat({{"OpenKey(applet, 0xF003F) fails"}, UpTo(kMutexAndWindow, "LoadKeyboardLayout"),
              {R"(CreateMainWindow("TV Card Remote Control Applet") fails)", "CoUninitialize()",
               "CloseHandle(mutex TV Card Remote Control Applet)"}})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePorts f;
        CAppletApp app{f.ports()};
        FakeMainWindowFactory factory{f};
        if (row.arrange) row.arrange(f, factory);
        ASSERT_EQ(app.InitInstance(factory), row.starts);
        if (row.starts) {
            EXPECT_TRACE(UpTo(f.trace, "CreateMainWindow"), row.expected);
            EXPECT_EQ(f.session.OpenHandles(), 1u);  // only our own mutex stays open
        } else {
            app.ExitInstance();
            EXPECT_TRACE(f.trace, row.expected);
            EXPECT_EQ(f.session.OpenHandles(), 0u);
            EXPECT_FALSE(f.registry.GetValue(RegRoot::LocalMachine, kRunKeyPath, kRunValue));
        }
        EXPECT_EQ(f.registry.OpenHandles(), 0u);
    }
}

TEST(Startup, CreationRunsInOrderAndTheFirstCheckComesOnePeriodLater) {
    RunningApplet a;
    ASSERT_TRUE(a.Start());
    EXPECT_TRACE(a.f.trace, Cat({{"OpenKey(applet, 0xF003F) fails"}, kMutexAndWindow,
                                 {"ModuleFileName(260)", "OpenKey(Run, 0xF003F) fails",
                                  // the profile: the applet key's "Profile", then the profile's key
                                  "OpenKey(applet, 0x20019) fails", "OpenKey(applet\\, 0x20019) fails",
                                  "SetTimer(130, 2000)", "RegisterNotification()", "OwnSession() = 1",
                                  "RemoteSession() = 0", "ConsoleSession() = 1"}}));

    SetTuner(a.f.registry, 0x7134, 0, 0x4000);
    a.f.devices.AddInterface(kCardPath);
    a.f.trace.clear();
    a.RunFor(1999);
    EXPECT_TRUE(a.f.trace.empty());
    a.RunFor(1);
    EXPECT_TRUE(a.f.shell.Present(128));
}

TEST(Startup, ExitClosesTheMutexOnceAndANewStartRuns) {
    RunningApplet a;
    ASSERT_TRUE(a.Start());
    a.f.trace.clear();
    a.app.ExitInstance();
    a.app.ExitInstance();  // end of the logon after an exit: nothing left to close
    EXPECT_TRACE(a.f.trace, (Trace{"CloseHandle(mutex TV Card Remote Control Applet)"}));
    EXPECT_EQ(a.f.session.badCloses, 0);

    CAppletApp next{a.f.ports()};
    FakeMainWindowFactory factory{a.f};
    a.f.trace.clear();
    EXPECT_TRUE(next.InitInstance(factory));
    EXPECT_EQ(a.f.trace[2], R"(OpenMutex("TV Card Remote Control Applet") fails)");
}

}  // namespace
}  // namespace applet
