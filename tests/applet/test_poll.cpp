// The poll on the simulated card: decode, acknowledge, suppression, Enable and Disable, failed reads.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const std::u16string kTvClass = u"TvCardStandInTv";
constexpr std::uint32_t kVkBase = 0x40;  // key code n sends virtual key 0x40 + n in these tests

// The applet with a TV window whose key table sends 0x40 + code, on a card that it can open.
struct Rig {
    FakePorts f;
    CMainFrame frame{f.ports()};
    FakeMainWindowFactory factory{f};
    Handle tv = 0;

    Rig() {
        for (int code = 0; code < 64; ++code)
            f.registry.SetDword(RegRoot::CurrentUser, kAppletKeyPath, U("Key" + std::to_string(code)),
                                kVkBase + code);
        f.registry.SetString(RegRoot::CurrentUser, kAppletKeyPath, u"FindWindowClassName", kTvClass);
        tv = f.windows.AddWindow(u"TV", kTvClass);
    }
    // Creates the window and lets the first presence check open the card on the given board.
    void Open(std::uint32_t isOldBoard = 0) {
        SetTuner(f.registry, 0x7134, isOldBoard, 0x4000);
        f.devices.AddInterface(kCardPath);
        EXPECT_TRUE(factory.CreateMainWindow(frame, kMainTitle));
        f.windows.Advance(2000, frame);
        EXPECT_NE(frame.device(), 0u);
        EXPECT_TRUE(f.windows.Running(kPollTimer));
        f.devices.requests.clear();
    }
    void Pass(std::uint64_t ms) { f.windows.Advance(ms, frame); }
    // Key codes that reached the TV window, and when.
    std::vector<int> Dispatched() const {
        std::vector<int> codes;
        for (auto& m : f.windows.messages)
            if (m.msg == win::kWmKeyDown) codes.push_back(static_cast<int>(m.wParam - kVkBase));
        return codes;
    }
    std::vector<std::uint64_t> DispatchTimes() const {
        std::vector<std::uint64_t> at;
        for (auto& m : f.windows.messages)
            if (m.msg == win::kWmKeyDown) at.push_back(m.at);
        return at;
    }
    int StatusWrites() const {
        int n = 0;
        for (auto& c : f.devices.requests) n += c.code == kIoctlWrite && c.offset == kStatusReg;
        return n;
    }
};

struct Poll : ::testing::Test, Rig {};

TEST_F(Poll, DecodesAndAcknowledgesTheStatusReadOnBothBoards) {
    struct Case {
        std::uint32_t isOldBoard, outputs;
        int key;  // -1: none waits
        std::uint32_t status;
        std::vector<int> dispatched;
        std::vector<GpioCall> trace;
    };
    const Case cases[] = {
        {0, 0x8000, 37, 0xA500, {37},
         {W(0x1B0, 0xE08000), W(0x1B0, 0x80E08000), R(0x1B4), W(0x1B4, 0x0), W(0x1B4, 0x8000)}},
        {0, 0, -1, 0x4000, {},
         {W(0x1B0, 0xE08000), W(0x1B0, 0x80E08000), R(0x1B4), W(0x1B4, 0x0), W(0x1B4, 0x0)}},
        {0, 0, 0, 0x0000, {0},  // bits 8 to 14 all low: key code 0
         {W(0x1B0, 0xE08000), W(0x1B0, 0x80E08000), R(0x1B4), W(0x1B4, 0x0), W(0x1B4, 0x0)}},
        // Old board: every output pin high; the acknowledge drives pins 0 to 2 low.
        {1, 0x1A8087, 37, 0x1AA587, {37},
         {W(0x1B0, 0x1A8087), W(0x1B0, 0x801A8087), R(0x1B4), W(0x1B4, 0x1A0080), W(0x1B4, 0x1A8080)}},
        {1, 0, -1, 0x4000, {},
         {W(0x1B0, 0x1A8087), W(0x1B0, 0x801A8087), R(0x1B4), W(0x1B4, 0x0), W(0x1B4, 0x0)}},
    };
    for (const Case& c : cases) {
        Rig t;
        t.Open(c.isOldBoard);
        t.f.devices.card.outputs = c.outputs;
        if (c.key >= 0) t.f.devices.card.PressKey(c.key);
        t.Pass(100);
        EXPECT_EQ(t.f.devices.card.latched, c.status);
        EXPECT_EQ(t.f.devices.requests, c.trace) << std::hex << c.status;
        EXPECT_EQ(t.Dispatched(), c.dispatched) << std::hex << c.status;
        EXPECT_EQ(t.frame.suppressed(), !c.dispatched.empty());
        EXPECT_FALSE(t.f.devices.card.KeyWaiting());  // the receiver saw the acknowledge
    }
}

TEST_F(Poll, CodesDuringSuppressionAreAcknowledgedAndLost) {
    Open();
    // The acknowledge and the suppression come only after the dispatch has returned.
    std::size_t requestsAtDispatch = 0;
    bool suppressedAtDispatch = true;
    f.windows.onMessage = [&](const FakeWindows::Message&) -> std::intptr_t {
        requestsAtDispatch = f.devices.requests.size();
        suppressedAtDispatch = frame.suppressed();
        return 0;
    };
    f.devices.card.PressKey(5);
    Pass(100);
    ASSERT_EQ(Dispatched(), std::vector<int>{5});
    EXPECT_EQ(requestsAtDispatch, 3u);
    EXPECT_FALSE(suppressedAtDispatch);
    EXPECT_EQ(f.devices.requests.size(), 5u);
    EXPECT_TRUE(f.windows.Running(kSuppressTimer));
    EXPECT_EQ(f.windows.Period(kSuppressTimer), 350u);

    Pass(150);
    f.devices.card.PressKey(7);  // 200 ms after the dispatch, at the next poll
    Pass(50);
    EXPECT_FALSE(f.devices.card.KeyWaiting());
    Pass(2000);
    EXPECT_EQ(Dispatched(), std::vector<int>{5});
    EXPECT_FALSE(frame.suppressed());
    EXPECT_FALSE(f.windows.Running(kSuppressTimer));
    // Every poll, suppressed or idle, issues the same five requests.
    EXPECT_EQ(f.devices.requests.size(), 5u * f.windows.Ticks(kPollTimer));
}

TEST_F(Poll, HeldKeyRepeatsAboutEvery400ms) {
    Open();
    f.devices.card.HoldKey(12);
    Pass(2000);
    const auto at = DispatchTimes();
    ASSERT_GE(at.size(), 4u);
    for (std::size_t i = 1; i < at.size(); ++i) {
        EXPECT_GE(at[i] - at[i - 1], 350u);
        EXPECT_LE(at[i] - at[i - 1], 450u);
    }
    for (int code : Dispatched()) EXPECT_EQ(code, 12);
}

TEST_F(Poll, DisableDuringSuppressionThenEnable) {
    Open();
    f.devices.card.PressKey(1);
    Pass(100);
    ASSERT_TRUE(frame.suppressed());

    ASSERT_TRUE(frame.OnCommand(1001));
    EXPECT_FALSE(frame.receiverEnabled());
    EXPECT_FALSE(frame.suppressed());
    EXPECT_FALSE(f.windows.Running(kPollTimer));
    EXPECT_FALSE(f.windows.Running(kSuppressTimer));
    f.devices.card.PressKey(2);
    f.devices.requests.clear();
    Pass(1000);
    EXPECT_TRUE(f.devices.requests.empty());  // a disabled receiver is not touched

    ASSERT_TRUE(frame.OnCommand(1080));
    EXPECT_TRUE(frame.receiverEnabled());
    EXPECT_EQ(f.windows.Period(kPollTimer), 100u);
    Pass(100);
    EXPECT_EQ(Dispatched(), (std::vector<int>{1, 2}));

    // Enable while the poll runs restarts it: the next poll is a whole period after the command.
    Pass(400);
    const int ticks = f.windows.Ticks(kPollTimer);
    Pass(50);
    frame.OnCommand(1080);
    Pass(99);
    EXPECT_EQ(f.windows.Ticks(kPollTimer), ticks);
    Pass(1);
    EXPECT_EQ(f.windows.Ticks(kPollTimer), ticks + 1);
}

TEST_F(Poll, EnableWithoutDeviceWaitsForThePresenceCheck) {
    SetTuner(f.registry, 0x7134, 0, 0x4000);
    ASSERT_TRUE(factory.CreateMainWindow(frame, kMainTitle));
    Pass(2500);
    ASSERT_EQ(frame.device(), 0u);
    frame.OnCommand(1080);
    f.devices.card.PressKey(9);
    Pass(1000);
    EXPECT_GE(f.windows.Ticks(kPollTimer), 9);
    EXPECT_TRUE(f.devices.requests.empty());
    EXPECT_TRUE(Dispatched().empty());

    // From the opening on, keys are dispatched (the set-up cycle takes what waited before it).
    f.devices.AddInterface(kCardPath);
    Pass(2000);
    ASSERT_NE(frame.device(), 0u);
    f.devices.card.PressKey(10);
    Pass(100);
    EXPECT_EQ(Dispatched(), std::vector<int>{10});
}

TEST_F(Poll, FailedReadsAreNoKeysAndAStaleHandleIsReopened) {
    enum Failure { RequestFails, ShortAnswer };
    for (Failure how : {RequestFails, ShortAnswer}) {
        Rig t;
        t.Open();
        auto fail = [&](bool on) {
            if (how == RequestFails) t.f.devices.requestsFail = on;
            else t.f.devices.returnedBytes = on ? 8 : 20;
        };
        t.f.devices.card.PressKey(4);
        t.Pass(100);
        ASSERT_TRUE(t.frame.suppressed());

        // Two failures, a good read, two failures: the count starts again, the device stays.
        fail(true);
        t.Pass(200);
        fail(false);
        t.Pass(100);
        fail(true);
        t.Pass(200);
        EXPECT_EQ(t.f.devices.devicesClosed, 0) << how;
        EXPECT_EQ(t.Dispatched(), std::vector<int>{4}) << how;  // no phantom key code 0

        // The third failure in a row closes the device as if it had gone.
        t.f.devices.requests.clear();
        t.Pass(100);
        EXPECT_EQ(t.f.devices.requests, (std::vector<GpioCall>{W(0x1B0, 0xE08000), W(0x1B0, 0x80E08000), R(0x1B4)}))
            << "no acknowledge after a failed read";
        EXPECT_EQ(t.frame.device(), 0u);
        EXPECT_EQ(t.f.devices.devicesClosed, 1);
        EXPECT_FALSE(t.f.windows.Running(kPollTimer));
        EXPECT_FALSE(t.f.windows.Running(kSuppressTimer));
        EXPECT_FALSE(t.frame.suppressed());
        EXPECT_FALSE(t.f.shell.Present(128));

        // The next presence check opens it afresh and keys flow again.
        fail(false);
        t.Pass(2000);
        EXPECT_NE(t.frame.device(), 0u) << how;
        EXPECT_EQ(t.f.devices.devicesOpened, 2);
        EXPECT_TRUE(t.f.shell.Present(128));
        t.f.devices.card.PressKey(11);
        t.Pass(100);
        EXPECT_EQ(t.Dispatched(), (std::vector<int>{4, 11})) << how;
    }
}

TEST_F(Poll, DeviceClosedWhileTheKeyIsDeliveredIsNotAcknowledged) {
    Open();
    // The TV application's key handler makes another program close the applet meanwhile.
    f.windows.onMessage = [&](const FakeWindows::Message& m) -> std::intptr_t {
        if (m.msg == win::kWmKeyDown) f.windows.Send(f.windows.mainWindow, win::kWmClose, 0, 0);
        return 0;
    };
    f.devices.card.PressKey(3);
    Pass(100);
    EXPECT_EQ(Dispatched(), std::vector<int>{3});
    EXPECT_EQ(frame.device(), 0u);
    EXPECT_EQ(StatusWrites(), 0);
    EXPECT_FALSE(f.windows.Running(kSuppressTimer));
    EXPECT_EQ(f.devices.badCloses, 0);
}

}  // namespace

namespace {

TEST_F(Poll, APollThatStartsInsideTheDeliveryOfAKeyDoesNothing) {
    Open();
    // A slow TV application: while the key waits on it, a click on the tray icon opens the menu,
    // whose loop runs the poll timer (here for 300 ms).
    int nesting = 0;
    std::size_t requestsInside = 0;
    f.windows.onMessage = [&](const FakeWindows::Message& m) -> std::intptr_t {
        if (m.msg == win::kWmKeyDown && nesting++ == 0) {
            const std::size_t before = f.devices.requests.size();
            f.windows.Advance(300, frame);
            requestsInside = f.devices.requests.size() - before;
        }
        return 0;
    };
    f.devices.card.PressKey(6);
    Pass(100);
    EXPECT_EQ(Dispatched(), std::vector<int>{6});
    EXPECT_EQ(requestsInside, 0u);
    EXPECT_GE(f.windows.Ticks(kPollTimer), 3);
    EXPECT_EQ(f.devices.requests, Cycle(MasksFor(0), 0x0600));
    EXPECT_EQ(f.devices.card.consumedKeys, 1u);

    // The polls after it work as before.
    Pass(400);
    f.devices.card.PressKey(8);
    Pass(100);
    EXPECT_EQ(Dispatched(), (std::vector<int>{6, 8}));
}

}  // namespace
}  // namespace applet
