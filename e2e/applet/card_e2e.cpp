// The real Ravlet.exe on a simulated card: the capture-driver double of testbed/carddouble stands
// in for the card's driver, so that discovery, the GPIO requests, the poll and the tray icon run
// exactly as on a user's machine, and the stand-in TV application receives the keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "card_fixture.h"

using namespace card_e2e;

namespace {

constexpr unsigned int kIoctlWrite = 0x232D04, kIoctlRead = 0x232D08;
constexpr unsigned int kMode = 0x1B0, kStatus = 0x1B4;

// A request as the applet must send it: code, register, value (written, or returned by a read).
struct Expected {
    unsigned int code, offset, value;
};
std::vector<Expected> Cycle(unsigned int mode, unsigned int status, unsigned int ack1, unsigned int ack2) {
    return {{kIoctlWrite, kMode, mode},
            {kIoctlWrite, kMode, mode | 0x80000000u},
            {kIoctlRead, kStatus, status},
            {kIoctlWrite, kStatus, status & ack1},
            {kIoctlWrite, kStatus, status & ack2}};
}
std::string Describe(const CardRequest& r) {
    char text[96];
    std::snprintf(text, sizeof text, "%s(0x%X, 0x%08X) status 0x%X", r.code == kIoctlRead ? "R" : "W", r.offset,
                  r.value, static_cast<unsigned>(r.status));
    return text;
}
// The five requests starting at `at` are the cycle, whole.
void ExpectCycle(const std::vector<CardRequest>& trace, std::size_t at, const std::vector<Expected>& cycle) {
    SCOPED_TRACE(testing::Message() << "the cycle at request " << at);
    ASSERT_LE(at + cycle.size(), trace.size());
    for (std::size_t i = 0; i < cycle.size(); ++i) {
        const CardRequest& r = trace[at + i];
        EXPECT_TRUE(r.code == cycle[i].code && r.offset == cycle[i].offset && r.value == cycle[i].value && r.status == 0)
            << "request " << i << " of the cycle at " << at << ": " << Describe(r);
    }
}

// The index of the first read in the trace that returned a key (ready line low).
std::size_t KeyRead(const std::vector<CardRequest>& trace) {
    for (std::size_t i = 0; i < trace.size(); ++i)
        if (trace[i].code == kIoctlRead && trace[i].status == 0 && !(trace[i].value & 0x4000)) return i;
    return trace.size();
}

// --- discovery -----------------------------------------------------------------------------

TEST_F(CardTest, OpenedAtTheFirstCheckThenSetUpAndPolledEvery100MsInOrder) {
    long long windowTime = 0;
    ASSERT_NE(nullptr, StartApplet(&windowTime));
    ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.opens == 1; }, kStartLimitMs));
    ASSERT_TRUE(card_->WaitPolls(13, kStartLimitMs));
    const std::vector<CardRequest> trace = Trace();
    ASSERT_GE(trace.size(), 60u);

    // About one presence period after the window was created.
    const long long openedAfterMs = (trace[0].time - windowTime) / 10000;
    EXPECT_GE(openedAfterMs, 1800) << "opened before the first presence check";
    EXPECT_LE(openedAfterMs, 4000);

    // The set-up cycle, then one cycle per poll, each whole and in order, on the one handle.
    std::vector<long long> starts;
    for (std::size_t at = 0; at + 5 <= trace.size(); at += 5) {
        const unsigned int status = trace[at + 2].value;
        EXPECT_EQ(status & 0x7F00u, 0x4000u) << "no key waits, so the ready line is high";
        ExpectCycle(trace, at, Cycle(0xE08000, status, 0xE00000, 0xE08000));
        for (std::size_t i = at; i < at + 5; ++i) EXPECT_EQ(trace[i].open, 1u);
        starts.push_back(trace[at].time);
    }
    std::vector<long long> periods;
    for (std::size_t i = 1; i < starts.size(); ++i) periods.push_back((starts[i] - starts[i - 1]) / 10000);
    std::sort(periods.begin(), periods.end());
    const long long median = periods[periods.size() / 2];
    EXPECT_GE(median, 90);
    EXPECT_LE(median, 130);

    const CardState state = card_->State();
    EXPECT_EQ(state.refusals, 0u);
    EXPECT_EQ(state.dirtyRecords, 0u) << "a record's reserved words were not zero";
    EXPECT_EQ(state.opens, 1u);
}

TEST_F(CardTest, RemovalClosesAndStopsPollingAndReturnReopensButTheCameraIsNeverOpened) {
    ASSERT_TRUE(card_->SetCamera(true));
    ASSERT_NE(nullptr, StartAppletOnTheCard());

    // Gone: within one presence period the handle is closed and the polls stop.
    const DWORD removed = GetTickCount();
    ASSERT_TRUE(card_->SetPresent(false));
    ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.closes == 1 && s.openHandles == 0; },
                                 kCheckLimitMs));
    EXPECT_LE(GetTickCount() - removed, kPresenceMs + 500);
    const unsigned int polls = card_->State().polls;
    // Only the camera is listed now, for two presence checks: it is never opened.
    EXPECT_FALSE(card_->WaitState([&](const CardState& s) { return s.polls != polls || s.cameraOpens || s.opens > 1; },
                                  kTwoChecksMs));

    // Back: opened afresh, set up, polled again.
    const unsigned int seq = card_->State().nextSeq;
    ASSERT_TRUE(card_->SetPresent(true));
    ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.opens == 2 && s.openHandles == 1; }, kCheckLimitMs));
    ASSERT_TRUE(card_->WaitPolls(3, kCheckLimitMs));
    const std::vector<CardRequest> trace = card_->Trace(seq);
    ASSERT_GE(trace.size(), 15u);
    ExpectCycle(trace, 0, Cycle(0xE08000, trace[2].value, 0xE00000, 0xE08000));
    EXPECT_EQ(trace[0].open, 2u);
    EXPECT_EQ(card_->State().cameraOpens, 0u);
}

TEST_F(CardTest, ATunerKeyWithoutReceiverKeepsTheCardClosed) {
    // The old board's wiring word says "no receiver" (bit 5 set).
    SetTuner(0x7134, 1, 0x4020);
    ASSERT_NE(nullptr, StartApplet());
    EXPECT_FALSE(card_->WaitState([](const CardState& s) { return s.opens > 0; }, kTwoChecksMs));
    // The same card with its receiver: opened at the next check.
    SetTuner(0x7134, 1, 0x4000);
    EXPECT_TRUE(card_->WaitState([](const CardState& s) { return s.opens == 1; }, kCheckLimitMs));
}

// --- keys ----------------------------------------------------------------------------------

TEST_F(CardTest, KeysReachTheTvAsKeyDownWithTheProfilesCodes) {
    ASSERT_NE(nullptr, StartTv());
    ASSERT_NE(nullptr, StartAppletOnTheCard());
    std::vector<unsigned int> expected;
    for (const KeyAndCode& k : {kDigit0, kDigit5, kDigit9, kChannelUp, kChannelDown, kVolumeUp, kMute}) {
        ASSERT_TRUE(PressAndSettle(k.key)) << "key " << k.key;
        expected.push_back(k.vk);
        ASSERT_TRUE(WaitTvKeys(expected.size())) << "key " << k.key;
    }
    EXPECT_EQ(TvKeys(), expected);
    // Straight to the window, nothing through the input queue: no WM_KEYUP, no WM_CHAR.
    for (const e2e::TvEvent& e : e2e::ReadTvLog(tvLog_)) {
        EXPECT_TRUE(e.what == "START" || e.what == "WM_KEYDOWN") << e.what;
        EXPECT_EQ(e.lParam, 0u);
    }
}

TEST_F(CardTest, AcknowledgeWritesCarryTheMasksOfTheBoardInForce) {
    // The capture driver left output pins high; a key cycle shows which the board's masks keep.
    ASSERT_TRUE(card_->SetLevels(0xFA8087));
    ASSERT_NE(nullptr, StartAppletOnTheCard());
    ASSERT_TRUE(PressAndSettle(kDigit5.key));
    std::vector<CardRequest> trace = Trace();
    std::size_t read = KeyRead(trace);
    ASSERT_GE(read, 2u);
    ExpectCycle(trace, read - 2, Cycle(0xE08000, 0xE08500, 0xE00000, 0xE08000));

    // The old board from the next presence check on: its masks, pins 0 to 2 driven low.
    SetTuner(0x7134, 1, 0x4000);
    ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.mode == 0x801A8087u; }, kCheckLimitMs));
    ASSERT_TRUE(card_->SetLevels(0xFA8087));
    ASSERT_TRUE(card_->WaitPolls(2, kCheckLimitMs));
    seq_ = card_->State().nextSeq;
    ASSERT_TRUE(PressAndSettle(7));
    trace = Trace();
    read = KeyRead(trace);
    ASSERT_GE(read, 2u);
    ExpectCycle(trace, read - 2, Cycle(0x1A8087, 0x1A8780, 0x1A0080, 0x1A8080));
}

TEST_F(CardTest, KeysDuringTheSuppressionAreDroppedAndAHeldKeyRepeats) {
    ASSERT_NE(nullptr, StartTv());
    ASSERT_NE(nullptr, StartAppletOnTheCard());

    // A second press taken by the poll right after the first is acknowledged and lost.
    ASSERT_TRUE(card_->Press(kDigit5.key));
    ASSERT_TRUE(card_->WaitTaken(kCheckLimitMs));
    ASSERT_TRUE(card_->Press(kDigit9.key));
    ASSERT_TRUE(card_->WaitTaken(kCheckLimitMs));
    ASSERT_TRUE(card_->WaitPolls(kPollsPastSuppression, kCheckLimitMs));
    ASSERT_TRUE(PressAndSettle(kDigit0.key));
    ASSERT_TRUE(WaitTvKeys(2));
    EXPECT_EQ(TvKeys(), (std::vector<unsigned int>{kDigit5.vk, kDigit0.vk}));

    // Held, the key comes again once per suppression and poll: about every 400 ms.
    ASSERT_TRUE(card_->Hold(kVolumeUp.key));
    ASSERT_TRUE(WaitTvKeys(2 + 4));
    ASSERT_TRUE(card_->Release());
    const std::vector<e2e::TvEvent> keys = TvEvents("WM_KEYDOWN");
    for (std::size_t i = 3; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].wParam, kVolumeUp.vk);
        const long long gapMs = (keys[i].time - keys[i - 1].time) / 10000;
        EXPECT_GE(gapMs, 350) << "repeat " << i;
        EXPECT_LE(gapMs, 800) << "repeat " << i;
    }
}

TEST_F(CardTest, PowerKeyClosesTheTvAndStartsItAgain) {
    ASSERT_NE(nullptr, StartTv());
    ASSERT_NE(nullptr, StartAppletOnTheCard());
    ASSERT_TRUE(PressAndSettle(kPowerKey));
    ASSERT_TRUE(e2e::WaitFor([] { return TvWindow() == nullptr; }, kCheckLimitMs));
    EXPECT_EQ(TvEvents("WM_CLOSE").size(), 1u);

    // No TV application now: the power key starts it from the profile's application path and waits
    // up to 5 s for it to end (it keeps running).
    ASSERT_TRUE(PressAndSettle(kPowerKey, 5000 + kCheckLimitMs));
    EXPECT_TRUE(e2e::WaitFor([] { return TvWindow() != nullptr; }, kCheckLimitMs));
    EXPECT_EQ(TvEvents("START").size(), 2u);
    EXPECT_TRUE(TvKeys().empty()) << "the power key is never a keystroke";
}

TEST_F(CardTest, DisableStopsThePollAndEnableResumesItWithTheWaitingKey) {
    ASSERT_NE(nullptr, StartTv());
    HWND window = StartAppletOnTheCard();
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, kDisable, 0));
    ASSERT_TRUE(e2e::WaitFor([&] { return !card_->WaitPolls(1, 500); }, kCheckLimitMs)) << "still polling";

    // A key pressed meanwhile waits at the receiver, past a presence check that keeps the device.
    ASSERT_TRUE(card_->Press(kDigit5.key));
    EXPECT_FALSE(card_->WaitPolls(1, kTwoChecksMs));
    EXPECT_EQ(card_->State().closes, 0u);

    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, kEnable, 0));
    ASSERT_TRUE(WaitTvKeys(1));
    EXPECT_EQ(TvKeys(), std::vector<unsigned int>{kDigit5.vk});
}

// A click on the tray icon while the applet waits for a slow TV application to take a key: the
// click is sent, so the applet handles it inside that wait, and the menu's loop runs the poll timer.
TEST_F(CardTest, ATrayClickWhileAKeyWaitsOnASlowTvGivesOneKey) {
    // The TV application takes 0.9 s over each key; the applet waits up to 1 s for it.
    ASSERT_NE(nullptr, StartTv(L" --slow 900"));
    HWND window = StartAppletOnTheCard();
    ASSERT_NE(nullptr, window);
    const unsigned int taken = card_->State().keysTaken;
    ASSERT_TRUE(card_->Press(kDigit5.key));
    ASSERT_TRUE(WaitTvKeys(1));
    ASSERT_TRUE(SendNotifyMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_LBUTTONDOWN));
    ASSERT_TRUE(e2e::WaitFor([&] { return MenuOf(applet_->id()) != nullptr; }, kUiLimitMs));
    // The menu is open inside the key's delivery: the key is not acknowledged yet, no poll reads it
    // again while the menu is open, and the TV application, done with the first, gets no second.
    EXPECT_EQ(card_->State().keysTaken, taken) << "the menu opened only after the key was delivered";
    EXPECT_FALSE(card_->WaitPolls(1, 2000));
    EXPECT_EQ(TvKeys().size(), 1u);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(e2e::WaitFor([&] { return MenuOf(applet_->id()) == nullptr; }, kUiLimitMs));
    ASSERT_TRUE(card_->WaitTaken(kCheckLimitMs));
    ASSERT_TRUE(card_->WaitPolls(kPollsPastSuppression, kCheckLimitMs));
    EXPECT_EQ(TvKeys(), std::vector<unsigned int>{kDigit5.vk});
    EXPECT_EQ(card_->State().keysTaken, taken + 1);
}

// --- logon sessions --------------------------------------------------------------------------

// Wine has one logon session and never switches users: the test sends the notifications that a
// switch to another user and back would bring to the applet's window.
TEST_F(CardTest, ConsoleDisconnectStopsThePollingAndConsoleConnectResumesItWithKeys) {
    ASSERT_NE(nullptr, StartTv());
    HWND window = StartAppletOnTheCard();
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(e2e::WaitFor([] { return TrayIcons().size() == 1; }, kCheckLimitMs));
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(applet_->id(), &session));
    auto notify = [&](WPARAM code) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(window, WM_WTSSESSION_CHANGE, code, session, SMTO_NORMAL, kUiLimitMs, &result) != 0;
    };

    // Another user takes the console: the card is closed at once and its icon goes.
    ASSERT_TRUE(notify(WTS_CONSOLE_DISCONNECT));
    const CardState away = card_->State();
    EXPECT_EQ(away.closes, 1u);
    EXPECT_EQ(away.openHandles, 0u);
    EXPECT_TRUE(e2e::WaitFor([] { return TrayIcons().empty(); }, kCheckLimitMs));
    // A key pressed for the other user is left at the receiver, over two presence checks.
    ASSERT_TRUE(card_->Press(kDigit5.key));
    EXPECT_FALSE(card_->WaitState(
        [&](const CardState& s) { return s.polls != away.polls || s.opens != away.opens || s.keysTaken != away.keysTaken; },
        kTwoChecksMs));

    // Back: the next check opens the card and sets it up (which takes the waiting key), and keys
    // reach the TV application again.
    ASSERT_TRUE(notify(WTS_CONSOLE_CONNECT));
    ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.opens == 2 && s.openHandles == 1; }, kCheckLimitMs));
    EXPECT_TRUE(e2e::WaitFor([] { return TrayIcons().size() == 1; }, kCheckLimitMs));
    ASSERT_TRUE(PressAndSettle(kDigit9.key));
    ASSERT_TRUE(WaitTvKeys(1));
    EXPECT_EQ(TvKeys(), std::vector<unsigned int>{kDigit9.vk});
}

TEST_F(CardTest, FailedAndShortReadsGiveNoKeyAndAStaleHandleRecovers) {
    ASSERT_NE(nullptr, StartTv());
    ASSERT_NE(nullptr, StartAppletOnTheCard());

    // Two failed reads while a key waits: no key, no phantom key code 0; the third read takes it.
    ASSERT_TRUE(card_->FailReads(2));
    ASSERT_TRUE(PressAndSettle(kDigit5.key));
    EXPECT_EQ(card_->State().failedReads, 2u);

    // A driver that reports 12 bytes returns the value field: keys flow.
    ASSERT_TRUE(card_->SetReadBytes(12));
    ASSERT_TRUE(PressAndSettle(kDigit9.key));
    ASSERT_TRUE(WaitTvKeys(2));
    EXPECT_EQ(TvKeys(), (std::vector<unsigned int>{kDigit5.vk, kDigit9.vk}));
    EXPECT_EQ(card_->State().closes, 0u);

    // One that reports 4 bytes returns no value: every read fails, the applet closes the device
    // after three of them and reopens it at the next check, and the waiting key goes nowhere.
    // (The set-up cycle after each reopen acknowledges what it latched, so the key is lost there.)
    ASSERT_TRUE(card_->SetReadBytes(4));
    ASSERT_TRUE(card_->Press(kChannelUp.key));
    ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.closes >= 2 && s.opens >= 3; }, 3 * kCheckLimitMs));
    EXPECT_EQ(TvKeys().size(), 2u) << "a key from a read without its value";

    // Full answers again, then a handle gone stale (as after a resume): closed and reopened by the
    // applet itself, and keys flow again.
    ASSERT_TRUE(card_->SetReadBytes(20));
    ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.openHandles == 1 && s.keysTaken >= 2; },
                                 kCheckLimitMs));
    ASSERT_TRUE(card_->WaitPolls(3, kCheckLimitMs));
    const CardState before = card_->State();
    ASSERT_TRUE(card_->MakeStale());
    ASSERT_TRUE(card_->WaitState([&](const CardState& s) { return s.closes > before.closes && s.opens > before.opens; },
                                 kCheckLimitMs));
    ASSERT_TRUE(PressAndSettle(kDigit0.key));
    ASSERT_TRUE(WaitTvKeys(3));
    EXPECT_EQ(TvKeys(), (std::vector<unsigned int>{kDigit5.vk, kDigit9.vk, kDigit0.vk}));
    EXPECT_EQ(card_->State().refusals, 0u);
}

TEST_F(CardTest, AHungOrCrashedTvDoesNotStopThePollingAndKeysReachItOnceItIsBack) {
    HWND window = StartAppletOnTheCard();
    ASSERT_NE(nullptr, window);
    for (const wchar_t* how : {L" --hang", L" --crash"}) {
        SCOPED_TRACE(std::string(how, how + wcslen(how)));
        ASSERT_NE(nullptr, StartTv(how));
        const std::size_t before = TvKeys().size();
        // The TV application takes the key and stops responding, or dies in its handler; the applet
        // gives up on it and polls on.
        ASSERT_TRUE(PressAndSettle(kDigit5.key));
        ASSERT_TRUE(PressAndSettle(kDigit9.key));
        EXPECT_EQ(TvKeys().size(), before + 1) << "the TV application saw one key";
        // The tray menu still opens.
        PostMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_LBUTTONDOWN);
        EXPECT_TRUE(e2e::WaitFor([&] { return MenuOf(applet_->id()) != nullptr; }, kUiLimitMs));
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(e2e::WaitFor([&] { return MenuOf(applet_->id()) == nullptr; }, kUiLimitMs));
        // Back, as the user restarts it: keys reach it again.
        CloseTvs();
        ASSERT_NE(nullptr, StartTv());
        ASSERT_TRUE(PressAndSettle(kDigit0.key));
        ASSERT_TRUE(WaitTvKeys(before + 2));
        EXPECT_EQ(TvKeys().back(), kDigit0.vk);
        CloseTvs();
    }
}

// --- registry values of the wrong type or size ----------------------------------------------

TEST_F(CardTest, RegistryValuesOfTheWrongTypeOrSizeCountAsTheirBytesOrAsMissing) {
    const std::wstring profile = std::wstring(kAppletKeyPath) + L"\\RC32Keys";
    // "Do Not Use" stored as text: its four bytes ("1" and the terminator) are a number, not 0.
    ASSERT_TRUE(e2e::SetRaw(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use", REG_SZ, e2e::Utf16Bytes(L"1")));
    {
        e2e::Process early = e2e::Start(L"\"" + RavletPath() + L"\"");
        DWORD code = 1;
        ASSERT_TRUE(early.WaitExit(kStartLimitMs, &code));
        EXPECT_EQ(code, 0u);
    }
    // Stored larger than four bytes it counts as missing, and so do the tuner's DeviceID and
    // IsOldBoard (the new board's masks, then); a GPIO stored as four binary bytes is taken as it
    // is, and so are "Profile" as binary text and a key code stored as binary. A key code stored
    // as text of more than four bytes counts as missing: that key sends virtual-key 0.
    ASSERT_TRUE(e2e::SetRaw(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use", REG_BINARY, std::string(8, '\1')));
    ASSERT_TRUE(e2e::SetRaw(HKEY_LOCAL_MACHINE, kTunerKey, L"DeviceID", REG_SZ, e2e::Utf16Bytes(std::wstring(150, L'7'))));
    ASSERT_TRUE(e2e::SetRaw(HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", REG_BINARY, std::string(8, '\1')));
    ASSERT_TRUE(e2e::SetRaw(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", REG_BINARY, e2e::DwordBytes(0x4000)));
    ASSERT_TRUE(e2e::SetRaw(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", REG_BINARY, e2e::Utf16Bytes(L"RC32Keys")));
    ASSERT_TRUE(e2e::SetRaw(HKEY_CURRENT_USER, profile, L"Key5", REG_SZ, e2e::Utf16Bytes(L"35")));
    ASSERT_TRUE(e2e::SetRaw(HKEY_CURRENT_USER, profile, L"Key9", REG_BINARY, e2e::DwordBytes(0x41)));
    ASSERT_NE(nullptr, StartTv());
    ASSERT_NE(nullptr, StartAppletOnTheCard());
    EXPECT_EQ(card_->State().mode, 0x80E08000u);
    ASSERT_TRUE(PressAndSettle(kDigit5.key));
    ASSERT_TRUE(PressAndSettle(kDigit9.key));
    ASSERT_TRUE(WaitTvKeys(2));
    EXPECT_EQ(TvKeys(), (std::vector<unsigned int>{0x00, 0x41}));
    CloseEverything();

    // A GPIO stored in eight bytes counts as missing: 0, no receiver, the card stays closed.
    ASSERT_TRUE(e2e::SetRaw(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", REG_QWORD, std::string("\0\x40\0\0\0\0\0\0", 8)));
    const unsigned int opens = card_->State().opens;
    ASSERT_NE(nullptr, StartApplet());
    EXPECT_FALSE(card_->WaitState([&](const CardState& s) { return s.opens > opens; }, kTwoChecksMs));
    CloseEverything();

    // A "Profile" that names no key: no profile, so the TV application is never found: keys go
    // nowhere, and the power key neither closes it nor starts another.
    SetTuner(0x7134, 0, 0x4000);
    ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", L"RC99Keys"));
    ASSERT_NE(nullptr, StartTv());
    ASSERT_NE(nullptr, StartAppletOnTheCard());
    ASSERT_TRUE(PressAndSettle(kDigit0.key));
    ASSERT_TRUE(PressAndSettle(kPowerKey));
    EXPECT_EQ(TvKeys().size(), 2u);
    EXPECT_TRUE(TvEvents("WM_CLOSE").empty());
    EXPECT_EQ(TvEvents("START").size(), 2u) << "only the copies this test started";
    EXPECT_TRUE(ImportProfiles(RC_DAT));  // the profiles as the other tests know them
}

// --- tray ----------------------------------------------------------------------------------

TEST_F(CardTest, TrayIconComesWithTheCardAndAClickOnItOpensTheMenu) {
    ASSERT_NE(nullptr, StartAppletOnTheCard());
    std::vector<HWND> icons;
    ASSERT_TRUE(e2e::WaitFor([&] { return (icons = TrayIcons()).size() == 1; }, kCheckLimitMs));

    // A click where the notification area draws the icon: the menu, "&Enable Remote Receiver" greyed.
    RECT r{};
    GetWindowRect(icons[0], &r);
    ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    HWND menu = nullptr;
    ASSERT_TRUE(e2e::WaitFor([&] { return (menu = MenuOf(applet_->id())) != nullptr; }, kUiLimitMs));
    std::vector<int> dark;
    EXPECT_TRUE(e2e::WaitFor([&] {
        dark = DarkPixelsPerItem(menu);
        return dark[0] == 0 && dark[1] > 20 && dark[2] > 20 && dark[3] > 20;
    }, kUiLimitMs)) << dark[0] << " " << dark[1] << " " << dark[2] << " " << dark[3];
    e2e::SaveScreenshot(L"tray_menu_from_the_icon");
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(e2e::WaitFor([&] { return MenuOf(applet_->id()) == nullptr; }, kUiLimitMs));

    // The icon goes with the card and comes back with it.
    ASSERT_TRUE(card_->SetPresent(false));
    EXPECT_TRUE(e2e::WaitFor([] { return TrayIcons().empty(); }, kCheckLimitMs));
    ASSERT_TRUE(card_->SetPresent(true));
    EXPECT_TRUE(e2e::WaitFor([] { return TrayIcons().size() == 1; }, kCheckLimitMs));
}

}  // namespace
