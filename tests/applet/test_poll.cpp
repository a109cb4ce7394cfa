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
        SCOPED_TRACE("opening the card");
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

// The five requests of a cycle, at the opening (the set-up) and at each poll, on both boards: the
// rescan edge, the status read, and its acknowledge masked by the board's masks.
TEST(GpioCycle, DecodesAndAcknowledgesTheStatusReadOnBothBoards) {
    const std::string modeNew = "Control(write 0x1B0, 0xE08000)", rescanNew = "Control(write 0x1B0, 0x80E08000)";
    const std::string modeOld = "Control(write 0x1B0, 0x1A8087)", rescanOld = "Control(write 0x1B0, 0x801A8087)";
    const std::string key37 = "SendTimeout(TV, 0x100, 0x65, 0, 0x2, 1000)";
    const struct {
        const char* name;
        int isOldBoard;  // -1: no IsOldBoard value
        bool atOpening;  // the set-up of the opening, else the first poll after it
        std::uint32_t outputs;
        int key;  // -1: none waits
        Trace expected;
    } rows[] = {
        // Pin 15 high, no key: S = 0xC000.
        {"set-up, new board", 0, true, 0x8000, -1,
         {modeNew, rescanNew, "Control(read 0x1B4) = 0xC000", "Control(write 0x1B4, 0x0)", "Control(write 0x1B4, 0x8000)"}},
        // Every output pin high: pins 0, 1 and 2 are driven low by both acknowledge writes, pin 15 pulses.
        {"set-up, old board", 1, true, 0x1A8087, -1,
         {modeOld, rescanOld, "Control(read 0x1B4) = 0x1AC087", "Control(write 0x1B4, 0x1A0080)",
          "Control(write 0x1B4, 0x1A8080)"}},
        {"set-up, IsOldBoard missing from the start: the new board", -1, true, 0, -1,
         {modeNew, rescanNew, "Control(read 0x1B4) = 0x4000", "Control(write 0x1B4, 0x0)", "Control(write 0x1B4, 0x0)"}},
        // The key goes out between the read and the acknowledge.
        {"poll, new board, key 37", 0, false, 0x8000, 37,
         {modeNew, rescanNew, "Control(read 0x1B4) = 0xA500", key37, "Control(write 0x1B4, 0x0)",
          "Control(write 0x1B4, 0x8000)"}},
        {"poll, new board, no key", 0, false, 0, -1,
         {modeNew, rescanNew, "Control(read 0x1B4) = 0x4000", "Control(write 0x1B4, 0x0)", "Control(write 0x1B4, 0x0)"}},
        {"poll, bits 8 to 14 all low: key code 0", 0, false, 0, 0,
         {modeNew, rescanNew, "Control(read 0x1B4) = 0x0", "SendTimeout(TV, 0x100, 0x40, 0, 0x2, 1000)",
          "Control(write 0x1B4, 0x0)", "Control(write 0x1B4, 0x0)"}},
        {"poll, old board, key 37", 1, false, 0x1A8087, 37,
         {modeOld, rescanOld, "Control(read 0x1B4) = 0x1AA587", key37, "Control(write 0x1B4, 0x1A0080)",
          "Control(write 0x1B4, 0x1A8080)"}},
        {"poll, old board, no key", 1, false, 0, -1,
         {modeOld, rescanOld, "Control(read 0x1B4) = 0x4000", "Control(write 0x1B4, 0x0)", "Control(write 0x1B4, 0x0)"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig t;
        SetTuner(t.f.registry, 0x7134, row.isOldBoard != 0, 0x4000);
        if (row.isOldBoard < 0) t.f.registry.RemoveValue(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard");
        t.f.devices.AddInterface(kCardPath);
        ASSERT_TRUE(t.factory.CreateMainWindow(t.frame, kMainTitle));
        if (!row.atOpening) t.Pass(2000);
        t.f.devices.card.outputs = row.outputs;
        if (row.key >= 0) t.f.devices.card.PressKey(row.key);
        t.f.trace.clear();
        t.Pass(row.atOpening ? 2000 : 100);
        EXPECT_NE(t.frame.device(), 0u);
        EXPECT_TRACE(Only(t.f.trace, {"Control", "SendTimeout"}), row.expected);
        EXPECT_EQ(t.frame.suppressed(), row.key >= 0);
        EXPECT_FALSE(t.f.devices.card.KeyWaiting());  // the receiver saw the acknowledge
        EXPECT_EQ(t.f.devices.dirtyRecords, 0);
    }
}

TEST_F(Poll, CodesDuringSuppressionAreAcknowledgedAndLost) {
    Open();
    // The suppression comes only after the dispatch has returned.
    bool suppressedAtDispatch = true;
    f.windows.onMessage = [&](const FakeWindows::Message&) -> std::intptr_t {
        suppressedAtDispatch = frame.suppressed();
        return 0;
    };
    f.devices.card.PressKey(5);
    Pass(100);
    ASSERT_EQ(Dispatched(), std::vector<int>{5});
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

// The value field is bytes 8 to 11: a count that covers it is a good read, a shorter one or a
// failed request is not. A failed read is no key; the third in a row closes the device as if it
// had gone, and the next presence check opens it afresh.
TEST(FailedRead, IsNoKeyAndTheThirdInARowReopensTheDevice) {
    const struct {
        const char* name;
        std::uint32_t returnedBytes;
        bool requestsFail;
        bool good;
    } rows[] = {
        {"12 bytes", 12, false, true}, {"16 bytes", 16, false, true}, {"20 bytes", 20, false, true},
        {"no byte", 0, false, false},  {"4 bytes", 4, false, false},  {"8 bytes", 8, false, false},
        {"11 bytes", 11, false, false}, {"a failed request", 20, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig t;
        t.Open();
        t.f.devices.card.PressKey(4);
        t.Pass(100);
        ASSERT_TRUE(t.frame.suppressed());
        auto fail = [&](bool on) {
            t.f.devices.returnedBytes = on ? row.returnedBytes : 20;
            t.f.devices.requestsFail = on && row.requestsFail;
        };

        fail(true);
        std::uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(t.frame.LatchAndRead(&value), row.good);
        value = 0xDEADBEEF;
        EXPECT_EQ(t.frame.ReadRegister(0x1B4, &value), row.good);
        if (row.good) EXPECT_EQ(value, 0x4000u);
        // The set-up still issues all five requests, acknowledging what a failed read leaves (0).
        t.f.devices.requests.clear();
        t.frame.RunGpioSetup();
        EXPECT_EQ(t.f.devices.requests, kNewBoardIdleCycle);
        if (row.good) continue;

        // Two failures, a good read, two failures: the count starts again, the device stays.
        t.Pass(200);
        fail(false);
        t.Pass(100);
        fail(true);
        t.Pass(200);
        EXPECT_EQ(t.f.devices.devicesClosed, 0);
        EXPECT_EQ(t.Dispatched(), std::vector<int>{4});  // no phantom key code 0

        // The third failure in a row: no acknowledge, and the device, poll and icon go.
        t.f.trace.clear();
        t.Pass(100);
        const std::string read = std::string("Control(read 0x1B4)") + (row.requestsFail ? " fails" : " = 0x4000");
        const std::string fails = row.requestsFail ? " fails" : "";
        EXPECT_TRACE(t.f.trace, (Trace{"Control(write 0x1B0, 0xE08000)" + fails, "Control(write 0x1B0, 0x80E08000)" + fails,
                                       read, "KillTimer(132)", "KillTimer(133)", "CloseDevice()", "DeleteIcon(128)",
                                       "DeleteIcon(129) fails"}));
        EXPECT_EQ(t.frame.device(), 0u);
        EXPECT_FALSE(t.frame.suppressed());

        fail(false);
        t.Pass(2000);
        EXPECT_NE(t.frame.device(), 0u);
        EXPECT_EQ(t.f.devices.devicesOpened, 2);
        EXPECT_TRUE(t.f.shell.Present(128));
        t.f.devices.card.PressKey(11);
        t.Pass(100);
        EXPECT_EQ(t.Dispatched(), (std::vector<int>{4, 11}));
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
    EXPECT_EQ(f.devices.requests, kNewBoardIdleCycle);
    EXPECT_EQ(f.devices.card.consumedKeys, 1u);

    // The polls after it work as before.
    Pass(400);
    f.devices.card.PressKey(8);
    Pass(100);
    EXPECT_EQ(Dispatched(), (std::vector<int>{6, 8}));
}

}  // namespace
}  // namespace applet
