// Logon sessions: only the applet of the session at the console polls the one card.
#include <gtest/gtest.h>

#include <memory>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const std::u16string kTvClass = u"TvCardStandInTv";
constexpr std::uint32_t kVkBase = 0x40;  // key code n sends virtual key 0x40 + n

// An applet of one logon session, with its own TV application, on a card it may share.
struct SessionApplet : RunningApplet {
    Handle tv = 0;

    SessionApplet(std::uint32_t session, std::uint32_t* console, SimulatedCard* card = nullptr) {
        f.console.session = session;
        f.console.machine = console;
        if (card) f.devices.target = card;
        for (int code = 0; code < 64; ++code)
            f.registry.SetDword(RegRoot::CurrentUser, kAppletKeyPath, U("Key" + std::to_string(code)), kVkBase + code);
        f.registry.SetString(RegRoot::CurrentUser, kAppletKeyPath, u"FindWindowClassName", kTvClass);
        tv = f.windows.AddWindow(u"TV", kTvClass);
        SetTuner(f.registry, 0x7134, 0, 0x4000);
        f.devices.AddInterface(kCardPath);
    }
    std::vector<int> Keys() const {
        std::vector<int> codes;
        for (auto& m : f.windows.messages)
            if (m.msg == win::kWmKeyDown && m.window == tv) codes.push_back(static_cast<int>(m.wParam - kVkBase));
        return codes;
    }
    bool Polling() { return frame().device() != 0 && f.windows.Running(kPollTimer) && f.shell.Present(128); }
};

// Both processes run side by side, in slices shorter than a poll period.
void RunBoth(SessionApplet& a, SessionApplet& b, std::uint64_t ms) {
    for (std::uint64_t t = 0; t < ms; t += 25) {
        a.RunFor(25);
        b.RunFor(25);
    }
}

// The console moves to session `to`: the session that had it hears a console disconnect and `to`
// a console connect, each about itself, as windows registered for their own session hear them.
void MoveConsole(std::uint32_t* console, std::uint32_t to, std::initializer_list<SessionApplet*> applets) {
    const std::uint32_t from = *console;
    *console = to;
    for (SessionApplet* a : applets) {
        if (!a->f.console.registered) continue;
        if (a->f.console.session == from) a->frame().OnSessionChange(win::kWtsConsoleDisconnect, from);
        if (a->f.console.session == to) a->frame().OnSessionChange(win::kWtsConsoleConnect, to);
    }
}

TEST(Sessions, TwoAppletsOnOneCardOnlyTheConsolesPollsAndTheCardFollowsTheConsole) {
    std::uint32_t console = 1;
    SimulatedCard card;
    SessionApplet a(1, &console, &card), b(2, &console, &card);
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b.Start());
    RunBoth(a, b, 2100);
    EXPECT_TRUE(a.Polling());
    // The other session's applet leaves the card alone: no look, no handle, no icon.
    EXPECT_EQ(b.f.devices.setAttempts, 0);
    EXPECT_TRUE(b.f.devices.openAttempts.empty());
    EXPECT_TRUE(b.f.shell.adds.empty());

    card.PressKey(5);
    RunBoth(a, b, 200);
    EXPECT_EQ(a.Keys(), std::vector<int>{5});
    EXPECT_TRUE(b.Keys().empty());

    // Switched to the other user: the first applet closes the card at once, as on a removal.
    MoveConsole(&console, 2, {&a, &b});
    EXPECT_EQ(a.frame().device(), 0u);
    EXPECT_EQ(a.f.devices.devicesClosed, 1);
    EXPECT_FALSE(a.f.windows.Running(kPollTimer));
    EXPECT_FALSE(a.f.shell.Present(128));
    const std::size_t requestsOfA = a.f.devices.requests.size();
    RunBoth(a, b, 2100);
    EXPECT_TRUE(b.Polling());
    EXPECT_EQ(a.f.devices.requests.size(), requestsOfA);
    EXPECT_EQ(a.f.devices.openAttempts.size(), 1u);
    card.PressKey(7);
    RunBoth(a, b, 500);
    EXPECT_EQ(b.Keys(), std::vector<int>{7});
    EXPECT_EQ(a.Keys(), std::vector<int>{5});

    // And back.
    MoveConsole(&console, 1, {&a, &b});
    RunBoth(a, b, 2100);
    EXPECT_TRUE(a.Polling());
    EXPECT_EQ(b.frame().device(), 0u);
    card.PressKey(9);
    RunBoth(a, b, 200);
    EXPECT_EQ(a.Keys(), (std::vector<int>{5, 9}));
    EXPECT_EQ(b.Keys(), std::vector<int>{7});
    EXPECT_EQ(a.f.devices.devicesOpened, 2);

    // Each unregisters before its window goes.
    for (SessionApplet* s : {&a, &b}) {
        s->f.windows.Send(s->f.windows.mainWindow, win::kWmClose, 0, 0);
        EXPECT_EQ(s->f.console.unregistrations, 1);
        EXPECT_FALSE(s->f.console.registered);
    }
}

TEST(Sessions, EachChangeByItsCodeAndSession) {
    constexpr std::uint32_t kOurs = 1, kOther = 2;
    constexpr std::uint32_t kLogon = 5;
    struct Case {
        bool atConsoleBefore;
        std::uint32_t code, session;
        bool atConsoleAfter;
    };
    const Case cases[] = {
        {true, win::kWtsConsoleDisconnect, kOurs, false},
        {true, win::kWtsRemoteConnect, kOurs, false},
        {true, win::kWtsConsoleConnect, kOther, false},  // another session took the console
        {true, win::kWtsConsoleDisconnect, kOther, true},
        {true, win::kWtsRemoteConnect, kOther, true},
        {true, win::kWtsRemoteDisconnect, kOurs, true},
        {true, win::kWtsSessionLock, kOurs, true},
        {true, kLogon, kOther, true},
        {false, win::kWtsConsoleConnect, kOurs, true},
        {false, win::kWtsRemoteDisconnect, kOurs, false},
        {false, win::kWtsConsoleConnect, kOther, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " session " << c.session << " from "
                                        << (c.atConsoleBefore ? "the console" : "away"));
        std::uint32_t console = c.atConsoleBefore ? kOurs : kOther;
        SessionApplet a(kOurs, &console);
        ASSERT_TRUE(a.Start());
        a.Check();
        ASSERT_EQ(a.Polling(), c.atConsoleBefore);
        a.frame().OnSessionChange(c.code, c.session);
        EXPECT_EQ(a.frame().atConsole(), c.atConsoleAfter);
        a.Check();
        EXPECT_EQ(a.Polling(), c.atConsoleAfter);
        EXPECT_EQ(a.f.devices.devicesOpened, c.atConsoleBefore || c.atConsoleAfter ? 1 : 0);
        EXPECT_EQ(a.f.devices.badCloses, 0);
    }
}

TEST(Sessions, RegistrationRetriedUntilTakenAndWithoutItAsWithOneSession) {
    using R = Console::Registration;
    struct Case {
        const char* what;
        std::deque<R> answers;
        std::uint32_t session;
        bool remote, sessionApis;
        bool pollingAfter[3];   // after each of the first three presence checks
        int registrations;      // creation and checks, after the three
    };
    const Case cases[] = {
        // The session service comes up at the second check: until then as today, then the
        // console decides (another session has it).
        {"late service", {R::Failed, R::Failed}, 2, false, true, {true, false, false}, 3},
        {"late service, at the console", {R::Failed}, 1, false, true, {true, true, true}, 2},
        // No wtsapi32: asked once, polls as today whatever the sessions.
        {"no session service", {R::Unavailable}, 2, false, true, {true, true, true}, 1},
        {"never taken", {R::Failed, R::Failed, R::Failed, R::Failed}, 2, false, true, {true, true, true}, 4},
        // A remote desktop session never polls, even one that the system calls the console's.
        {"remote", {}, 1, true, true, {false, false, false}, 1},
        {"no session ids", {}, 2, false, false, {true, true, true}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::uint32_t console = 1;
        SessionApplet a(c.session, &console);
        a.f.console.answers = c.answers;
        a.f.console.remote = c.remote;
        a.f.console.sessionApis = c.sessionApis;
        ASSERT_TRUE(a.Start());
        for (bool polling : c.pollingAfter) {
            a.Check();
            EXPECT_EQ(a.Polling(), polling) << "at " << a.f.windows.Now() << " ms";
        }
        EXPECT_EQ(a.f.console.registrations, c.registrations);
        // Only a registration that was taken is undone, once, at the close.
        const bool taken = a.f.console.registered;
        a.f.windows.Send(a.f.windows.mainWindow, win::kWmClose, 0, 0);
        EXPECT_EQ(a.f.console.unregistrations, taken ? 1 : 0);
    }
}

}  // namespace
}  // namespace applet
