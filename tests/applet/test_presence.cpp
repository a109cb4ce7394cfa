// The presence check: finding, opening and losing the card's capture device.
#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

struct Presence : ::testing::Test, RunningApplet {
    void SetUp() override {
        SetTuner(f.registry, 0x7134, 0, 0x4000);
        ASSERT_TRUE(Start());
    }
    void TearDown() override {
        SCOPED_TRACE("every key and every interface set opened by a check is closed again");
        EXPECT_EQ(f.registry.OpenHandles(), 0u);
        EXPECT_EQ(f.registry.badCloses, 0);
        EXPECT_EQ(f.devices.OpenSets(), 0u);
        EXPECT_EQ(f.devices.setsCreated, f.devices.setsDestroyed);
        EXPECT_EQ(f.devices.badCloses, 0);
    }
    bool Open() { return frame().device() != 0; }
};

TEST_F(Presence, AppearVanishReturn) {
    Check();
    EXPECT_FALSE(Open());
    EXPECT_FALSE(f.shell.Present(128));
    EXPECT_FALSE(f.windows.Running(kPollTimer));

    f.devices.AddInterface(kCardPath);
    Check();
    ASSERT_TRUE(Open());
    EXPECT_EQ(f.devices.OpenedPath(frame().device()), kCardPath);  // as the system returned it
    EXPECT_EQ(f.devices.requests, kNewBoardIdleCycle);               // set-up before polling
    EXPECT_EQ(f.windows.Period(kPollTimer), 100u);
    EXPECT_TRUE(f.shell.Present(128));

    // Open to Open: nothing reopened, the icon added anew (and refused, since it is there).
    const Handle h = frame().device();
    Check();
    EXPECT_EQ(frame().device(), h);
    EXPECT_EQ(f.devices.devicesOpened, 1);
    EXPECT_EQ(f.shell.adds.size(), 2u);

    f.devices.RemoveInterface(kCardPath);
    Check();
    EXPECT_FALSE(Open());
    EXPECT_EQ(f.devices.OpenDevices(), 0u);
    EXPECT_FALSE(f.windows.Running(kPollTimer));
    EXPECT_FALSE(f.windows.Running(kSuppressTimer));
    EXPECT_FALSE(f.shell.Present(128));
    EXPECT_NE(std::find(f.shell.deletes.begin(), f.shell.deletes.end(), 129u), f.shell.deletes.end());
    EXPECT_TRUE(f.windows.Running(kPresenceTimer));

    f.devices.requests.clear();
    f.devices.AddInterface(kCardPath);
    Check();
    EXPECT_TRUE(Open());
    EXPECT_EQ(f.devices.devicesOpened, 2);
    EXPECT_EQ(f.devices.requests, kNewBoardIdleCycle);
    EXPECT_EQ(f.windows.Period(kPollTimer), 100u);
    EXPECT_TRUE(f.shell.Present(128));
}

TEST_F(Presence, SuppressionEndsWithTheDevice) {
    // A TV application that receives the keys.
    f.registry.SetString(RegRoot::CurrentUser, kAppletKeyPath, u"FindWindowClassName", u"TvApp");
    f.registry.SetDword(RegRoot::CurrentUser, kAppletKeyPath, u"Key5", 0x41);
    frame().LoadKeyProfile(nullptr);
    const Handle tv = f.windows.AddWindow(u"TV", u"TvApp");
    auto keyDowns = [&] {
        int n = 0;
        for (auto& m : f.windows.messages) n += m.window == tv && m.msg == win::kWmKeyDown;
        return n;
    };

    f.devices.AddInterface(kCardPath);
    Check();  // opened at 2000
    RunFor(1800);
    f.devices.card.PressKey(5);
    RunFor(100);  // dispatched at 3900, suppressed until 4250
    ASSERT_EQ(keyDowns(), 1);
    ASSERT_TRUE(frame().suppressed());
    f.devices.RemoveInterface(kCardPath);
    Check();  // 4000: gone
    EXPECT_FALSE(Open());
    EXPECT_FALSE(frame().suppressed());

    f.devices.AddInterface(kCardPath);
    Check();  // 6000: back
    ASSERT_TRUE(Open());
    f.devices.card.PressKey(5);
    RunFor(100);  // the first poll takes it
    EXPECT_EQ(keyDowns(), 2);
}

TEST_F(Presence, DeviceThatCannotBeOpenedIsTriedAtEveryCheck) {
    f.devices.AddInterface(kCardPath).openFails = true;
    for (int i = 0; i < 3; ++i) Check();
    EXPECT_EQ(f.devices.openAttempts.size(), 3u);
    EXPECT_FALSE(Open());
    EXPECT_TRUE(f.shell.adds.empty());
    EXPECT_TRUE(f.devices.requests.empty());
    EXPECT_FALSE(f.windows.Running(kPollTimer));
}

TEST_F(Presence, NoReceiverMeansNoLookAtAllAndAnOpenDeviceStays) {
    SetTuner(f.registry, 0x7134, 0, 0x0000);
    f.devices.AddInterface(kCardPath);
    Check();
    EXPECT_EQ(f.devices.setAttempts, 0);
    EXPECT_FALSE(Open());

    SetTuner(f.registry, 0x7134, 0, 0x4000);
    Check();
    ASSERT_TRUE(Open());
    const auto adds = f.shell.adds.size();
    const int sets = f.devices.setAttempts;
    SetTuner(f.registry, 0x7135, 0, 0x0000);
    Check();
    EXPECT_EQ(f.devices.setAttempts, sets);
    EXPECT_TRUE(Open());
    EXPECT_TRUE(f.windows.Running(kPollTimer));
    EXPECT_EQ(f.devices.devicesClosed, 0);
    EXPECT_EQ(f.shell.adds.size(), adds);
    EXPECT_EQ(frame().deviceId(), 0x7135u);  // the key was read all the same
}

TEST_F(Presence, MissingTunerKeyStillLooksForTheDevice) {
    f.registry.DeleteKey(RegRoot::LocalMachine, kTunerKeyPath);
    f.devices.AddInterface(kCardPath);
    Check();
    EXPECT_TRUE(Open());
    EXPECT_EQ(f.shell.icons[128].tip, u"SAA713x TV Card Remote Control Receiver");
}

TEST_F(Presence, OnlyTheCardsInterfaceIsOpenedAndTheLastMatchWins) {
    f.devices.AddInterface(kWebcamPath);
    Check();
    EXPECT_TRUE(f.devices.openAttempts.empty());  // a foreign interface, even when it is the only one

    f.devices.AddInterface(kCardPath);       // lower-case GUID
    f.devices.AddInterface(kOtherCardPath);  // upper-case GUID, enumerated later
    f.devices.AddInterface(kWebcamPath + u"2");
    Check();
    EXPECT_EQ(f.devices.openAttempts, std::vector<std::u16string>{kOtherCardPath});

    // Each index had a set of its own, destroyed within the step.
    std::vector<Handle> sets;
    for (auto& e : f.devices.enums) sets.push_back(e.set);
    std::sort(sets.begin(), sets.end());
    EXPECT_EQ(std::unique(sets.begin(), sets.end()), sets.end());
    EXPECT_EQ(f.devices.setsCreated, static_cast<int>(f.devices.enums.size()));
}

TEST(PresenceWalk, AFailingStepEndsTheWalkButAnEarlierMatchIsUsed) {
    enum Failure { NoDetail, NoSet };
    for (Failure how : {NoDetail, NoSet}) {
        RunningApplet a;
        SetTuner(a.f.registry, 0x7134, 0, 0x4000);
        a.f.devices.AddInterface(kCardPath);
        a.f.devices.AddInterface(kWebcamPath).detailFails = how == NoDetail;
        a.f.devices.AddInterface(kOtherCardPath);
        if (how == NoSet) a.f.devices.failSetCreation = {1};
        ASSERT_TRUE(a.Start());
        a.Check();
        EXPECT_EQ(a.f.devices.openAttempts, std::vector<std::u16string>{kCardPath}) << how;
        // Index 2, the later match, was never looked at.
        for (auto& e : a.f.devices.enums) EXPECT_LT(e.index, 2u) << how;
        EXPECT_EQ(a.f.devices.OpenSets(), 0u);
    }
}

TEST_F(Presence, PathThatDoesNotFitTheBufferIsNotOpened) {
    const std::u16string guid = u"{BBEFB6C7-2FC4-4139-BB8B-A58BBA724000}";
    const std::u16string tooLong = u"\\\\?\\x#" + std::u16string(260 - 6 - guid.size(), u'a') + guid;
    const std::u16string fits = tooLong.substr(1);
    ASSERT_EQ(tooLong.size(), 260u);
    f.devices.AddInterface(fits);
    f.devices.AddInterface(tooLong);  // later, but not a match: the earlier one stands
    Check();
    EXPECT_EQ(f.devices.openAttempts, std::vector<std::u16string>{fits});

    f.devices.RemoveInterface(fits);
    Check();
    EXPECT_FALSE(Open());
    EXPECT_EQ(f.devices.openAttempts.size(), 1u);
}

TEST_F(Presence, DisabledReceiverStaysDisabledAcrossRemovalAndReturn) {
    f.devices.AddInterface(kCardPath);
    Check();
    ASSERT_TRUE(f.windows.Running(kPollTimer));
    EXPECT_TRUE(frame().OnCommand(1001));
    f.devices.RemoveInterface(kCardPath);
    Check();
    f.devices.AddInterface(kCardPath);
    f.devices.requests.clear();
    Check();
    EXPECT_TRUE(Open());
    EXPECT_EQ(f.devices.requests, kNewBoardIdleCycle);  // the set-up runs all the same
    EXPECT_FALSE(f.windows.Running(kPollTimer));
    EXPECT_TRUE(f.shell.Present(128));
    frame().OnTrayNotify(128, win::kWmRButtonDown);
    EXPECT_EQ(f.trace.back(), "TrackTrayMenu(128, 1080, 1001 grey, 1002, 57665)");
    EXPECT_TRUE(frame().OnCommand(1080));
    EXPECT_EQ(f.windows.Period(kPollTimer), 100u);
}

TEST_F(Presence, CloseCleansUp) {
    f.devices.AddInterface(kCardPath);
    Check();
    f.devices.card.PressKey(1);
    RunFor(100);
    ASSERT_TRUE(f.windows.Running(kSuppressTimer));
    f.windows.Send(f.windows.mainWindow, win::kWmClose, 0, 0);
    EXPECT_EQ(f.windows.RunningTimers(), 0u);
    EXPECT_EQ(f.devices.OpenDevices(), 0u);
    EXPECT_EQ(f.devices.devicesClosed, 1);
    EXPECT_TRUE(f.shell.icons.empty());
    const std::vector<std::uint32_t> last(f.shell.deletes.end() - 2, f.shell.deletes.end());
    EXPECT_EQ(last, (std::vector<std::uint32_t>{128, 129}));
    RunFor(10000);  // nothing fires any more
    EXPECT_EQ(f.devices.devicesOpened, 1);
}

TEST_F(Presence, CloseWithoutDeviceClosesNothing) {
    frame().OnClose();
    EXPECT_EQ(f.devices.devicesClosed, 0);
    EXPECT_EQ(f.shell.deletes, (std::vector<std::uint32_t>{128, 129}));
    EXPECT_EQ(f.windows.RunningTimers(), 0u);
}

}  // namespace
}  // namespace applet
