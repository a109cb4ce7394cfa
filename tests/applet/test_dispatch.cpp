// DispatchKey: keystrokes to the TV window, the power key, and a TV application that hangs.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const RegRoot kCu = RegRoot::CurrentUser;
const std::u16string kTvClass = u"TvCardStandInTv";
const std::u16string kTvExe = u"C:\\Apps\\TV\\tv.exe";

struct Dispatch : ::testing::Test {
    FakePorts f;
    CMainFrame frame{f.ports()};

    // A profile in the applet key itself: class, application path and the given entries.
    void Load(std::initializer_list<std::pair<int, std::uint32_t>> entries,
              const std::u16string& className = kTvClass) {
        f.registry.SetString(kCu, kAppletKeyPath, u"FindWindowClassName", className);
        f.registry.SetString(kCu, kAppletKeyPath, u"AppPathKey", u"Software\\Vendor\\TV");
        f.registry.SetString(kCu, kAppletKeyPath, u"AppPathValue", u"InstallDir");
        f.registry.SetString(kCu, kAppletKeyPath, u"AppExecName", u"tv.exe");
        f.registry.SetString(kCu, u"Software\\Vendor\\TV", u"InstallDir", u"C:\\Apps\\TV");
        for (auto& e : entries) f.registry.SetDword(kCu, kAppletKeyPath, U("Key" + std::to_string(e.first)), e.second);
        frame.LoadKeyProfile(nullptr);
        ASSERT_EQ(frame.profile().appPath, kTvExe);
    }
    std::vector<FakeWindows::Message> Messages(std::uint32_t msg) const {
        std::vector<FakeWindows::Message> out;
        for (auto& m : f.windows.messages)
            if (m.msg == msg) out.push_back(m);
        return out;
    }
};

TEST_F(Dispatch, OrdinaryKeysSendTheLow8BitsOfTheirEntry) {
    Load({{18, 0x74}, {17, 1}, {40, 0x1A5}, {12, 0x12D}});
    const Handle tv = f.windows.AddWindow(u"Any title", kTvClass);
    struct Case { std::uint32_t code; std::uintptr_t vk; };
    for (Case c : {Case{18, 0x74}, Case{17, 1}, Case{40, 0xA5}, Case{12, 0x2D}, Case{5, 0}, Case{0x128, 0xA5}}) {
        f.windows.messages.clear();
        frame.DispatchKey(c.code);
        ASSERT_EQ(f.windows.messages.size(), 1u) << c.code;
        const auto& m = f.windows.messages[0];
        EXPECT_EQ(m.kind, "sendTimeout");
        EXPECT_EQ(m.window, tv);
        EXPECT_EQ(m.msg, win::kWmKeyDown);
        EXPECT_EQ(m.wParam, c.vk) << c.code;
        EXPECT_EQ(m.lParam, 0);
    }
    EXPECT_TRUE(f.processes.starts.empty());
    EXPECT_TRUE(f.processes.sleeps.empty());
}

TEST_F(Dispatch, PowerKeyClosesTheRunningApplication) {
    Load({{18, 1}});
    const Handle tv = f.windows.AddWindow(u"", kTvClass);
    for (std::uint32_t code : {18u, 0x112u}) {  // only the low 8 bits count
        f.windows.messages.clear();
        f.processes.sleeps.clear();
        const auto start = f.clock.now;
        frame.DispatchKey(code);
        ASSERT_EQ(f.windows.messages.size(), 1u);
        EXPECT_EQ(f.windows.messages[0].kind, "post");
        EXPECT_EQ(f.windows.messages[0].window, tv);
        EXPECT_EQ(f.windows.messages[0].msg, win::kWmClose);
        EXPECT_EQ(f.windows.messages[0].wParam, 0u);
        EXPECT_EQ(f.windows.messages[0].lParam, 0);
        EXPECT_EQ(f.processes.sleeps, std::vector<std::uint32_t>{1000});
        EXPECT_EQ(f.clock.now - start, 1000u);
    }
    EXPECT_TRUE(f.processes.starts.empty());
}

TEST_F(Dispatch, PowerKeyStartsTheApplicationWhenNoWindowExists) {
    struct Case { std::int64_t runsFor; bool startable; std::uint64_t returnsAfter; };
    for (Case c : {Case{2000, true, 2000}, Case{FakeProcesses::kRunsForever, true, 5000}, Case{9000, true, 5000},
                   Case{0, false, 0}}) {
        FakePorts g;
        CMainFrame frame{g.ports()};
        g.registry.SetString(kCu, kAppletKeyPath, u"AppExecName", u"tv.exe");
        g.registry.SetString(kCu, u"", u"", u"C:\\Apps\\TV");  // folder in HKCU's default value
        g.registry.SetDword(kCu, kAppletKeyPath, u"Key18", 1);
        g.registry.SetString(kCu, kAppletKeyPath, u"FindWindowClassName", kTvClass);
        frame.LoadKeyProfile(nullptr);
        if (c.startable) g.processes.AddProgram(kTvExe, c.runsFor);
        frame.DispatchKey(18);
        EXPECT_EQ(g.processes.starts, std::vector<std::u16string>{kTvExe});
        EXPECT_EQ(g.clock.now, c.returnsAfter) << c.runsFor;
        ASSERT_EQ(g.processes.waits.size(), c.startable ? 1u : 0u);
        if (c.startable) {
            EXPECT_EQ(g.processes.waits[0].timeout, 5000u);
        }
        EXPECT_EQ(g.processes.closes, c.startable ? 1 : 0);
        EXPECT_EQ(g.processes.OpenProcesses(), 0u);
        EXPECT_EQ(g.processes.badCloses, 0);
        EXPECT_TRUE(g.windows.messages.empty());
    }
}

TEST_F(Dispatch, TargetIsLookedUpAnewAndKeysWithoutItAreDropped) {
    Load({{3, 0x33}});
    frame.DispatchKey(3);
    EXPECT_TRUE(f.windows.messages.empty());
    const Handle tv = f.windows.AddWindow(u"TV", kTvClass);
    frame.DispatchKey(3);
    ASSERT_EQ(Messages(win::kWmKeyDown).size(), 1u);
    f.windows.RemoveWindow(tv);
    const Handle second = f.windows.AddWindow(u"TV again", kTvClass);
    frame.DispatchKey(3);
    ASSERT_EQ(Messages(win::kWmKeyDown).size(), 2u);
    EXPECT_EQ(Messages(win::kWmKeyDown)[1].window, second);
    EXPECT_TRUE(f.processes.starts.empty());
}

TEST_F(Dispatch, EmptyClassNameFindsNoWindow) {
    Load({{3, 0x33}, {18, 1}}, u"");
    f.windows.AddWindow(u"A window without class name", u"");
    f.processes.AddProgram(kTvExe, 100);
    frame.DispatchKey(3);
    EXPECT_TRUE(f.windows.messages.empty());
    EXPECT_EQ(f.journal.find("win.findClass"), -1);
    frame.DispatchKey(18);  // the power key tries to start the application instead
    EXPECT_EQ(f.processes.starts, std::vector<std::u16string>{kTvExe});
}

TEST_F(Dispatch, CodesBeyondTheTableDoNothing) {
    Load({{18, 1}});
    f.windows.AddWindow(u"TV", kTvClass);
    for (std::uint32_t code : {0x80u, 0xFFu, 0x1FFu, 0xFFFFFFFFu}) frame.DispatchKey(code);
    EXPECT_TRUE(f.windows.messages.empty());
    EXPECT_TRUE(f.processes.starts.empty());
}

TEST_F(Dispatch, HungApplicationCostsAtMostTheBound) {
    Load({{3, 0x33}});
    const Handle tv = f.windows.AddWindow(u"TV", kTvClass);

    // Busy for most of a second: still delivered.
    f.windows.sendDelayMs = 800;
    auto start = f.clock.now;
    frame.DispatchKey(3);
    EXPECT_EQ(f.clock.now - start, 800u);

    // Stalled, not yet known as hung: given up after the bound, the key is not tried again.
    f.windows.sendDelayMs = 60000;
    start = f.clock.now;
    frame.DispatchKey(3);
    EXPECT_GT(f.clock.now - start, 800u);
    EXPECT_LE(f.clock.now - start, 1000u);

    // Known as hung: dropped at once.
    f.windows.sendDelayMs = 0;
    f.windows.SetHung(tv, true);
    start = f.clock.now;
    frame.DispatchKey(3);
    EXPECT_EQ(f.clock.now, start);

    const auto sent = Messages(win::kWmKeyDown);
    ASSERT_EQ(sent.size(), 3u);
    for (auto& m : sent) EXPECT_EQ(m.kind, "sendTimeout");
}

}  // namespace
}  // namespace applet
