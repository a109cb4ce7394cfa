// Start-up of the applet: "Do Not Use", one instance per logon, creation of the main window, exit.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

struct Startup : ::testing::Test {
    FakePorts f;
    CAppletApp app{f.ports()};
    FakeMainWindowFactory factory{f};

    bool Start() { return app.InitInstance(factory); }
};

TEST_F(Startup, DoNotUseNotZeroEndsBeforeAnythingIsCreated) {
    for (std::uint32_t value : {1u, 7u, 0xFFFFFFFFu}) {
        FakePorts f;
        CAppletApp app{f.ports()};
        FakeMainWindowFactory factory{f};
        f.registry.SetDword(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use", value);
        EXPECT_FALSE(app.InitInstance(factory)) << value;
        app.ExitInstance();
        EXPECT_TRUE(f.session.created.empty());
        EXPECT_EQ(factory.calls, 0);
        EXPECT_EQ(f.session.coInitialize, 0);
        EXPECT_FALSE(f.registry.GetValue(RegRoot::LocalMachine, kRunKeyPath, kRunValue));
        ASSERT_FALSE(f.registry.opens.empty());
        EXPECT_EQ(f.registry.opens[0].access, win::kKeyAllAccess);
        EXPECT_EQ(f.registry.OpenHandles(), 0u);
    }
}

TEST_F(Startup, DoNotUseZeroAbsentOrUnreadableStarts) {
    enum Case { Zero, NoValue, NoKey, ReadOnlyKey, TooLarge };
    for (Case c : {Zero, NoValue, NoKey, ReadOnlyKey, TooLarge}) {
        FakePorts f;
        CAppletApp app{f.ports()};
        FakeMainWindowFactory factory{f};
        switch (c) {
            case Zero: f.registry.SetDword(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use", 0); break;
            case NoValue: f.registry.CreateKey(RegRoot::CurrentUser, kAppletKeyPath); break;
            case NoKey: break;
            case ReadOnlyKey:  // readable, but not with KEY_ALL_ACCESS: the value is not seen
                f.registry.SetDword(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use", 1);
                f.registry.SetAllowedAccess(RegRoot::CurrentUser, kAppletKeyPath, win::kKeyRead);
                break;
            case TooLarge:  // does not fit the 4-byte buffer: not read
                f.registry.SetRaw(RegRoot::CurrentUser, kAppletKeyPath, u"Do Not Use", win::kRegDword,
                                  {1, 0, 0, 0, 0, 0, 0, 0});
                break;
        }
        EXPECT_TRUE(app.InitInstance(factory)) << c;
        EXPECT_EQ(factory.calls, 1) << c;
        EXPECT_EQ(f.session.created, std::vector<std::u16string>{kMainTitle}) << c;
        EXPECT_EQ(factory.title, kMainTitle);
    }
}


TEST_F(Startup, MutexWithoutWindowStarts) {
    // A first instance that has its mutex but not yet its window.
    f.session.HoldMutex(kMainTitle);
    EXPECT_TRUE(Start());
    EXPECT_EQ(f.session.created.size(), 1u);
    EXPECT_EQ(f.session.OpenHandles(), 1u);  // only our own mutex stays open
}

TEST_F(Startup, ForeignWindowWithoutMutexDoesNotStopAStart) {
    f.windows.AddWindow(kMainTitle, u"SomeoneElse");
    EXPECT_TRUE(Start());
    EXPECT_EQ(f.journal.find("win.findTitle"), -1);  // the title is consulted only with a mutex
}

TEST_F(Startup, SecondInstanceEndsSilentlyWhileTheFirstRuns) {
    ASSERT_TRUE(Start());
    const Handle first = f.windows.mainWindow;
    const int comInits = f.session.coInitialize;
    CAppletApp second{f.ports()};
    FakeMainWindowFactory factory2{f};
    EXPECT_FALSE(second.InitInstance(factory2));
    second.ExitInstance();
    EXPECT_EQ(factory2.calls, 0);
    EXPECT_EQ(f.session.coInitialize, comInits);
    EXPECT_EQ(f.session.created.size(), 1u);
    EXPECT_EQ(f.session.OpenHandles(), 1u);  // the handle of the found mutex is closed again
    EXPECT_TRUE(f.session.MutexExists(kMainTitle));
    EXPECT_TRUE(f.windows.messages.empty());  // the running instance is not told anything
    EXPECT_TRUE(f.windows.Exists(first));
}

TEST_F(Startup, WindowCreationFailureReleasesTheMutex) {
    factory.fail = true;
    EXPECT_FALSE(Start());
    app.ExitInstance();
    EXPECT_FALSE(f.session.MutexExists(kMainTitle));
    EXPECT_EQ(f.session.OpenHandles(), 0u);
    EXPECT_EQ(f.session.coInitialize, 1);
    EXPECT_EQ(f.session.coUninitialize, 1);  // the frame object is gone with it
    // A later start is not blocked.
    CAppletApp next{f.ports()};
    FakeMainWindowFactory factory2{f};
    EXPECT_TRUE(next.InitInstance(factory2));
}

TEST_F(Startup, CreationRunsInOrder) {
    ASSERT_TRUE(Start());
    const auto& j = f.journal;
    const int doNotUse = j.find("reg.open HKCU\\SOFTWARE\\Orvane");
    const int mutexOpen = j.find("mutex.open TV Card Remote Control Applet");
    const int mutexCreate = j.find("mutex.create TV Card Remote Control Applet");
    const int com = j.find("com.init");
    const int layout = j.find("layout 00000409");
    const int window = j.find("win.create TV Card Remote Control Applet");
    const int autostart = j.find("reg.open HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    const int timer = j.find("timer.set 130 2000");
    int profile = -1;  // the profile load opens the applet key after the autostart value
    for (std::size_t i = autostart + 1; i < j.lines.size() && profile < 0; ++i)
        if (j.lines[i].rfind("reg.open HKCU\\SOFTWARE\\Orvane", 0) == 0) profile = static_cast<int>(i);
    EXPECT_EQ(doNotUse, 0);
    EXPECT_LT(doNotUse, mutexOpen);
    EXPECT_LT(mutexOpen, mutexCreate);
    EXPECT_LT(mutexCreate, com);
    EXPECT_LT(com, layout);
    EXPECT_LT(layout, window);
    EXPECT_LT(window, autostart);
    EXPECT_LT(autostart, profile);
    EXPECT_LT(profile, timer);
    EXPECT_EQ(f.session.layouts, (std::vector<std::pair<std::u16string, std::uint32_t>>{{u"00000409", 1}}));
    EXPECT_EQ(f.windows.Period(130), 2000u);
    EXPECT_EQ(f.windows.RunningTimers(), 1u);

    // The first presence check comes one period after creation, not before.
    SetTuner(f.registry, 0x7134, 0, 0x4000);
    f.devices.AddInterface(kCardPath);
    f.windows.Advance(1999, *app.frame());
    EXPECT_EQ(f.devices.setAttempts, 0);
    EXPECT_FALSE(f.shell.Present(128));
    f.windows.Advance(1, *app.frame());
    EXPECT_GT(f.devices.setAttempts, 0);
    EXPECT_TRUE(f.shell.Present(128));
}

TEST_F(Startup, ExitClosesTheMutexOnce) {
    ASSERT_TRUE(Start());
    app.ExitInstance();
    app.ExitInstance();  // end of the logon after an exit: nothing left to close
    EXPECT_FALSE(f.session.MutexExists(kMainTitle));
    EXPECT_EQ(f.session.badCloses, 0);
}

}  // namespace
}  // namespace applet
