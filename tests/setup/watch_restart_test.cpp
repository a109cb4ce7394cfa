// The installer watch, the close handler, the shutdown guard and the restart prompt.
#include <algorithm>

#include "sequence_fixture.h"

namespace setup {
namespace {

using fake::Only;
using fake::TailFrom;
using fake::Trace;

const char kWizard[] = "Lumora - InstallShield Wizard";

TEST(Watch, EventIsSetOnTheThirdConsecutiveMiss) {
    const struct {
        const char* pattern;  // P: wizard window present at that tick, A: absent
        int setOnTick;        // 0: never
    } cases[] = {
        {"PPAAPAAA", 8},
        {"AAAAA", 3},
        {"PAAPAAPAAP", 0},
        {"PPPPPAAA", 8},
    };
    for (const auto& c : cases) {
        fake::World world;
        CMainFrame frame(world.ports(), "D:\\");
        frame.OnCreate(fake::kFrameWindow);
        const Handle event = world.NewEvent(true, false);
        frame.Context().watchDone = event;
        frame.Context().missCounter = 0;
        world.frame = &frame;
        frame.OnStartWatch();
        int setOn = 0;
        for (int tick = 1; c.pattern[tick - 1] != '\0'; ++tick) {
            if (c.pattern[tick - 1] == 'P')
                world.AddWindow("#32770", kWizard);
            else
                world.RemoveWindow(kWizard);
            world.trace.clear();
            frame.OnTimer(kWatchTimer);
            if (setOn == 0 && world.eventSet(event)) {
                setOn = tick;
                // The timer is stopped before the event is set.
                EXPECT_TRACE(world.trace, (Trace{R"(FindWindow(null, "Lumora - InstallShield Wizard"))",
                                              "KillTimer(frame, 200)", "SetEvent(E1)"}));
                EXPECT_FALSE(world.timerRunning(kWatchTimer));
            }
            world.RemoveWindow(kWizard);
        }
        EXPECT_EQ(setOn, c.setOnTick) << c.pattern;
    }
}

TEST(Watch, TickWithoutAnEventOnlyStopsTheTimer) {
    fake::World world;
    CMainFrame frame(world.ports(), "D:\\");
    frame.OnCreate(fake::kFrameWindow);
    for (int i = 0; i < 3; ++i) frame.OnTimer(kWatchTimer);
    EXPECT_TRACE(Only(world.trace, {"KillTimer(frame, 200)", "SetEvent"}),
              (Trace{"KillTimer(frame, 200)"}));
    EXPECT_EQ(world.errors, 0);
}

TEST_F(SequenceTest, CloseWhileTheWorkerWaitsLeavesSlotAToTheWorker) {
    // The close arrives while the worker waits on the TV application's installer, and again
    // while it waits on the driver installer: the handles are closed once, by the worker.
    world->onLog = [this](const std::string& line) {
        if (line == R"(WaitFor(P Lumora\setup.exe, INFINITE))" ||
            line == R"(WaitFor(P Driver\Drivloom.exe, INFINITE))") {
            const auto before = world->trace.size();
            world->OnGuiThread([this] { frame->OnClose(); });
            EXPECT_EQ(world->trace.size(), before) << "the close handler acted while " << line;
        }
    };
    Run();
    EXPECT_EQ(world->errors, 0);
    for (const char* closed : {R"(CloseHandle(P Lumora\setup.exe))", R"(CloseHandle(T Lumora\setup.exe))",
                               R"(CloseHandle(P Driver\Drivloom.exe))"})
        EXPECT_EQ(std::count(world->trace.begin(), world->trace.end(), closed), 1) << closed;

    // With no child outstanding the close stops the watch timer.
    world->onLog = nullptr;
    world->trace.clear();
    frame->OnClose();
    EXPECT_TRACE(world->trace, (Trace{"KillTimer(frame, 200)"}));
}

TEST_F(SequenceTest, WatchStartsWhenTheGuiThreadTakesThePostedRequest) {
    // A GUI thread that is busy takes the worker's request late: the watch starts then, and the
    // worker's wait on the event lasts until the third miss all the same.
    world->guiIdle = false;
    Run();
    EXPECT_TRACE(Only(world->trace, {"PostMessage(frame, 0x8001)", "SetTimer(frame, 200", "WaitFor(E1", "SetEvent",
                                     "CloseHandle(E1)"}),
                 (Trace{"PostMessage(frame, 0x8001)", "WaitFor(E1, INFINITE)", "SetTimer(frame, 200, 1000)",
                        "SetEvent(E1)", "CloseHandle(E1)"}));
}

TEST_F(SequenceTest, RestartPromptOutcomes) {
    const struct {
        const char* name;
        std::vector<std::int32_t> clicks;
        std::int32_t result;
        std::vector<bool> exits;
        bool tokenOpens;
        Trace tail;
    } cases[] = {
        {"OK with 1001 preselected", {}, win::kIdOk, {}, true, {"ExitWindowsEx(2, 0)"}},
        {"1002 then OK", {1002}, win::kIdOk, {}, true, {}},
        {"Cancel", {}, win::kIdCancel, {}, true, {}},
        {"first restart fails", {}, win::kIdOk, {false, false}, true,
         {"ExitWindowsEx(2, 0) fails", "OpenProcessToken(0x28)",
          R"(AdjustTokenPrivileges(token, "SeShutdownPrivilege", 2))", "CloseHandle(token)",
          "ExitWindowsEx(2, 0) fails"}},
        {"token does not open", {}, win::kIdOk, {false}, false,
         {"ExitWindowsEx(2, 0) fails", "OpenProcessToken(0x28) fails"}},
    };
    for (const auto& c : cases) {
        Fresh();
        world->dialogClicks = c.clicks;
        world->dialogResult = c.result;
        world->exitResults = c.exits;
        world->tokenOpens = c.tokenOpens;
        // Windows asks the launcher at the restart: the answer must already be yes.
        bool allowedAtExit = false;
        world->onLog = [&](const std::string& line) {
            if (line.rfind("ExitWindowsEx", 0) == 0 && !allowedAtExit)
                allowedAtExit = frame->OnQueryEndSession();
            if (line.rfind("DialogBox", 0) == 0) {
                EXPECT_FALSE(frame->OnQueryEndSession()) << c.name;
            }
        };
        Run();
        Trace expected{"DialogBox(131, frame)", "SetCheck(1001, 1)"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        expected.insert(expected.end(), {"PostMessage(frame, 0x10)", "KillTimer(frame, 200)"});
        EXPECT_TRACE(TailFrom(world->trace, "DialogBox("), expected) << c.name;
        if (!c.tail.empty()) {
            EXPECT_TRUE(allowedAtExit) << c.name;
        }
        EXPECT_TRUE(frame->OnQueryEndSession()) << c.name;
    }
}

TEST(RestartDlg, RadioButtonsSetTheFlag) {
    // "Restart now" is preselected; the last of the two radio buttons clicked decides.
    const struct {
        std::vector<std::int32_t> clicks;
        std::int32_t restartNow;
    } cases[] = {
        {{}, 1},
        {{kRadioRestartLater}, 0},
        {{kRadioRestartLater, kRadioRestartNow}, 1},
        {{kRadioRestartNow, kRadioRestartLater, kRadioRestartLater}, 0},
        {{kRadioRestartLater, win::kIdOk}, 0},  // any other control leaves the flag alone
    };
    for (const auto& c : cases) {
        fake::World world;
        CRestartDlg dialog;
        dialog.OnInitDialog(world);
        EXPECT_TRACE(world.trace, (Trace{"SetCheck(1001, 1)"}));
        for (std::int32_t id : c.clicks) dialog.OnRadio(id);
        EXPECT_EQ(dialog.m_nRestartNow, c.restartNow) << ::testing::PrintToString(c.clicks);
    }
}

}  // namespace
}  // namespace setup
