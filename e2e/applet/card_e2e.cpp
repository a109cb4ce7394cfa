// The real Ravlet.exe on a simulated card: the capture-driver double of testbed/carddouble stands
// in for the card's driver, so that discovery, the GPIO requests, the poll and the tray icon run
// exactly as on a user's machine, and the stand-in TV application receives the keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <random>
#include <sstream>

#include "applet_util.h"

#include <psapi.h>

#include "card.h"
#include "harness.h"

using namespace applet_e2e;

namespace {

constexpr DWORD kStartLimitMs = 30000;
constexpr DWORD kExitLimitMs = 20000;
constexpr DWORD kUiLimitMs = 20000;
// The first presence check runs 2000 ms after the window is created, and every 2000 ms after.
constexpr DWORD kPresenceMs = 2000;
// What the applet does within one presence period shows within this much on a loaded machine.
constexpr DWORD kCheckLimitMs = kPresenceMs + 3000;
// Observing that something does not happen: two presence periods and a margin.
constexpr DWORD kTwoChecksMs = 2 * kPresenceMs + 500;
// Long enough after a taken key for the 350 ms suppression to have ended.
constexpr unsigned int kPollsPastSuppression = 5;

constexpr wchar_t kTunerKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
constexpr WORD kEnable = 1080, kDisable = 1001;

constexpr unsigned int kIoctlWrite = 0x232D04, kIoctlRead = 0x232D08;
constexpr unsigned int kMode = 0x1B0, kStatus = 0x1B4;

// Key codes of the remote and the virtual-key codes that RC.dat's "RC32Keys" gives them.
constexpr unsigned int kPowerKey = 18;
struct KeyAndCode {
    unsigned int key;
    unsigned int vk;
};
constexpr KeyAndCode kDigit0{0, 0x30}, kDigit5{5, 0x35}, kDigit9{9, 0x39}, kMute{11, 0xAD},
    kChannelUp{13, 0x21}, kChannelDown{14, 0x22}, kVolumeUp{15, 0x26};

const std::wstring& RavletPath() {
    static const std::wstring path = WinePath(RAVLET_EXE);
    return path;
}
const std::wstring& TvAppPath() {
    static const std::wstring path = WinePath(TVAPP_EXE);
    return path;
}

// One line of the stand-in TV application's log.
struct TvEvent {
    std::string what;  // START, WM_KEYDOWN, WM_CLOSE, ...
    unsigned int wParam = 0;
    unsigned int lParam = 0;
    long long time = 0;  // 100 ns units, the card's clock
};

std::vector<TvEvent> ReadTvLog(const std::wstring& path) {
    std::vector<TvEvent> events;
    std::istringstream in(e2e::ReadFile(path));
    std::string line;
    while (std::getline(in, line)) {
        TvEvent e;
        char what[32] = {};
        unsigned long long t = 0;
        if (std::sscanf(line.c_str(), "%31s wParam=0x%x lParam=0x%x t=%llu", what, &e.wParam, &e.lParam, &t) >= 1) {
            e.what = what;
            const auto at = line.find(" t=");
            if (at != std::string::npos) std::sscanf(line.c_str() + at, " t=%llu", &t);
            e.time = static_cast<long long>(t);
            events.push_back(e);
        }
    }
    return events;
}

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

class CardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        card_ = std::make_unique<e2e::Card>(e2e::FromUnix(CARD_DOUBLE_SYS));
        ASSERT_TRUE(ImportProfiles(RC_DAT));
    }
    static void TearDownTestSuite() { card_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(card_->ok()) << std::string(card_->error().begin(), card_->error().end());
        CloseEverything();
        ASSERT_TRUE(card_->Reset());
        // The card's driver keeps its tuner key: a SAA7134 on the new board, receiver fitted.
        SetTuner(0x7134, 0, 0x4000);
        e2e::DeleteValue(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use");
        e2e::DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue);
        ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", L"RC32Keys"));
        ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kTvPathKey, L"InstallDir",
                                   TvAppPath().substr(0, TvAppPath().rfind(L'\\'))));
        tvLog_ = e2e::TempDir(L"card e2e tv") + L"\\tv.log";
        // A TV application that the applet starts itself logs to the same file.
        SetEnvironmentVariableW(L"TVAPP_LOG", tvLog_.c_str());
        seq_ = card_->State().nextSeq;
    }
    void TearDown() override {
        CloseEverything();
        EXPECT_TRUE(WindowsTitled(kTitle).empty()) << "an applet outlived its test";
        SetEnvironmentVariableW(L"TVAPP_LOG", nullptr);
        // The double stays loaded for the session: the other tests of the session see no card.
        card_->Reset();
        card_->SetPresent(false);
    }


    static void SetTuner(DWORD deviceId, DWORD isOldBoard, DWORD wiring) {
        e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"DeviceID", deviceId);
        e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", isOldBoard);
        e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", wiring);
    }

    void CloseEverything() {
        for (e2e::Process& p : applets_) {
            if (HWND w = AppletWindowOf(p.id())) PostMessageW(w, WM_CLOSE, 0, 0);
            if (!p.WaitExit(kExitLimitMs)) p.Kill();
        }
        applets_.clear();
        CloseTvs();
        for (const TitledWindow& w : WindowsTitled(kTitle)) PostMessageW(w.window, WM_CLOSE, 0, 0);
        e2e::WaitFor([] { return WindowsTitled(kTitle).empty(); }, kExitLimitMs);
        KillTvApps(kExitLimitMs);
    }

    void CloseTvs() {
        for (e2e::Process& p : tvs_) p.Kill();
        tvs_.clear();
    }

    // Starts Ravlet.exe and waits for its window; *windowTime gets the card's clock then.
    HWND StartApplet(long long* windowTime = nullptr) {
        applets_.push_back(e2e::Start(L"\"" + RavletPath() + L"\""));
        applet_ = &applets_.back();
        EXPECT_TRUE(applet_->started());
        HWND window = nullptr;
        EXPECT_TRUE(e2e::WaitFor([&] { return (window = AppletWindowOf(applet_->id())) != nullptr; }, kStartLimitMs))
            << "applet windows of other processes: " << WindowsTitled(kTitle).size();
        if (windowTime) *windowTime = e2e::CardClock();
        return window;
    }

    // Starts the applet and waits until it has opened the card and polled it once.
    HWND StartAppletOnTheCard() {
        HWND window = StartApplet();
        EXPECT_TRUE(card_->WaitState([](const CardState& s) { return s.openHandles == 1 && s.polls >= 2; },
                                     kStartLimitMs))
            << "the applet did not open and poll the card";
        return window;
    }

    // Starts the stand-in TV application (with the time of every line in its log); `how` is empty,
    // L" --hang" or L" --crash".
    HWND StartTv(const wchar_t* how = L"") {
        tvs_.push_back(e2e::Start(L"\"" + TvAppPath() + L"\" --times --log \"" + tvLog_ + L"\"" + how));
        EXPECT_TRUE(tvs_.back().started());
        HWND window = nullptr;
        EXPECT_TRUE(e2e::WaitFor([&] { return (window = FindWindowW(kTvClass, nullptr)) != nullptr; }, kStartLimitMs));
        return window;
    }

    std::vector<TvEvent> TvEvents(const char* what) const {
        std::vector<TvEvent> events;
        for (const TvEvent& e : ReadTvLog(tvLog_))
            if (e.what == what) events.push_back(e);
        return events;
    }
    std::vector<unsigned int> TvKeys() const {
        std::vector<unsigned int> keys;
        for (const TvEvent& e : TvEvents("WM_KEYDOWN")) keys.push_back(e.wParam);
        return keys;
    }
    bool WaitTvKeys(std::size_t count, DWORD limitMs = kCheckLimitMs) const {
        return e2e::WaitFor([&] { return TvKeys().size() >= count; }, limitMs);
    }

    // Presses a key and waits until the applet has taken it and the suppression is over.
    static bool PressAndSettle(unsigned int key, DWORD limitMs = kCheckLimitMs) {
        return card_->Press(key) && card_->WaitTaken(limitMs) &&
               card_->WaitPolls(kPollsPastSuppression, kCheckLimitMs);
    }

    std::vector<CardRequest> Trace() const { return card_->Trace(seq_); }

    static std::unique_ptr<e2e::Card> card_;
    std::deque<e2e::Process> applets_, tvs_;
    e2e::Process* applet_ = nullptr;
    std::wstring tvLog_;
    unsigned int seq_ = 0;
};

std::unique_ptr<e2e::Card> CardTest::card_;

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
    for (const TvEvent& e : ReadTvLog(tvLog_)) {
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
    const std::vector<TvEvent> keys = TvEvents("WM_KEYDOWN");
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
    ASSERT_TRUE(e2e::WaitFor([] { return FindWindowW(kTvClass, nullptr) == nullptr; }, kCheckLimitMs));
    EXPECT_EQ(TvEvents("WM_CLOSE").size(), 1u);

    // No TV application now: the power key starts it from the profile's application path and waits
    // up to 5 s for it to end (it keeps running).
    ASSERT_TRUE(PressAndSettle(kPowerKey, 5000 + kCheckLimitMs));
    EXPECT_TRUE(e2e::WaitFor([] { return FindWindowW(kTvClass, nullptr) != nullptr; }, kCheckLimitMs));
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

// --- soak ----------------------------------------------------------------------------------

// What the applet holds, seen from outside: kernel handles (from the system's handle list, since
// Wine answers 0 to GetProcessHandleCount and GetGuiResources for another process), its windows
// with their children, and its working set.
struct Holdings {
    unsigned long handles = 0, windows = 0;
    unsigned long long workingSet = 0;
    std::wstring classes;  // of the top-level windows, for the message when the count differs
};

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<unsigned long*>(count);
    return TRUE;
}

Holdings HoldingsOf(DWORD process) {
    Holdings h;
    for (HWND w : e2e::TopLevelWindows(process)) {
        ++h.windows;
        EnumChildWindows(w, CountChild, reinterpret_cast<LPARAM>(&h.windows));
        h.classes += (h.classes.empty() ? L"" : L", ") + ClassOf(w);
    }
    struct Entry {
        ULONG ownerPid;
        BYTE type, flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    constexpr ULONG kSystemHandleInformation = 16;
    while (query && query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) ==
                        static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    for (ULONG i = 0; i < count && (i + 1) * sizeof(Entry) < buffer.size(); ++i)
        if (entries[i].ownerPid == process) ++h.handles;
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    PROCESS_MEMORY_COUNTERS counters{};
    if (p && GetProcessMemoryInfo(p, &counters, sizeof counters)) h.workingSet = counters.WorkingSetSize;
    if (p) CloseHandle(p);
    return h;
}

// Keys at random moments (now and then two in a row, the second lost to the suppression by
// design), a removal and return of the card every minute, a stale handle and the tray menu now
// and then, for SOAK_SECONDS (60 by default; scripts/soak.sh runs it for 30 minutes). Every key
// must be accounted for, and what the applet holds must not grow.
TEST_F(CardTest, SoakKeysRemovalsStaleHandlesAndTheMenuLeakNothing) {
    wchar_t text[16] = {};
    const DWORD seconds = GetEnvironmentVariableW(L"SOAK_SECONDS", text, 16) ? std::wcstoul(text, nullptr, 10) : 60;
    ASSERT_NE(nullptr, StartTv());
    HWND window = StartAppletOnTheCard();
    ASSERT_NE(nullptr, window);
    std::mt19937 random(20261208);
    unsigned long presses = 0, dropped = 0, removals = 0, stales = 0, menus = 0;
    std::vector<unsigned int> expected;

    auto removeAndReturn = [&] {
        const CardState before = card_->State();
        ASSERT_TRUE(card_->SetPresent(false));
        ASSERT_TRUE(card_->WaitState([&](const CardState& s) { return s.closes > before.closes && !s.openHandles; },
                                     kCheckLimitMs));
        ASSERT_TRUE(card_->SetPresent(true));
        ASSERT_TRUE(card_->WaitState([&](const CardState& s) { return s.opens > before.opens && s.openHandles; },
                                     kCheckLimitMs));
        ASSERT_TRUE(card_->WaitPolls(2, kCheckLimitMs));
        ++removals;
    };
    auto stale = [&] {
        const CardState before = card_->State();
        ASSERT_TRUE(card_->MakeStale());
        ASSERT_TRUE(card_->WaitState([&](const CardState& s) { return s.opens > before.opens && s.openHandles; },
                                     kCheckLimitMs));
        ASSERT_TRUE(card_->WaitPolls(2, kCheckLimitMs));
        ++stales;
    };
    auto menu = [&] {
        PostMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_RBUTTONDOWN);
        ASSERT_TRUE(e2e::WaitFor([&] { return MenuOf(applet_->id()) != nullptr; }, kUiLimitMs));
        PressKey(VK_ESCAPE);
        // Wine hides the menu's window first and destroys it a moment later: wait until it is gone.
        ASSERT_TRUE(e2e::WaitFor(
            [&] {
                for (HWND w : e2e::TopLevelWindows(applet_->id()))
                    if (ClassOf(w) == L"#32768") return false;
                return true;
            },
            kUiLimitMs));
        ++menus;
    };
    // One round of everything first, so that what is made once is there before the first count.
    ASSERT_NO_FATAL_FAILURE(removeAndReturn());
    ASSERT_NO_FATAL_FAILURE(stale());
    ASSERT_NO_FATAL_FAILURE(menu());
    const Holdings start = HoldingsOf(applet_->id());

    const DWORD began = GetTickCount();
    DWORD lastRemoval = began;
    auto pressed = [&](unsigned int key) {
        if (card_->Press(key) && card_->WaitTaken(kCheckLimitMs)) return true;
        const CardState s = card_->State();
        ADD_FAILURE() << "press " << presses + 1 << " not taken: " << s.queuedKeys << " waiting, " << s.keysTaken
                      << " taken, " << s.polls << " polls, " << s.openHandles << " open handles, applet "
                      << (applet_->Running() ? "running" : "gone");
        return false;
    };
    while (GetTickCount() - began < seconds * 1000) {
        Sleep(random() % 100);  // a random moment of the poll period
        const unsigned int key = random() % 10;
        ASSERT_TRUE(pressed(key));
        ++presses;
        expected.push_back(0x30 + key);
        if (random() % 4 == 0) {
            ASSERT_TRUE(pressed((key + 1) % 10));
            ++presses;
            ++dropped;
        }
        ASSERT_TRUE(card_->WaitPolls(kPollsPastSuppression, kCheckLimitMs));
        if (GetTickCount() - lastRemoval >= 60000) {
            ASSERT_NO_FATAL_FAILURE(removeAndReturn());
            lastRemoval = GetTickCount();
        } else if (random() % 40 == 0) {
            ASSERT_NO_FATAL_FAILURE(stale());
        } else if (random() % 30 == 0) {
            ASSERT_NO_FATAL_FAILURE(menu());
        }
    }
    ASSERT_TRUE(WaitTvKeys(expected.size()));
    const Holdings end = HoldingsOf(applet_->id());
    std::printf("[ soak     ] %lu s: %lu presses, %zu delivered, %lu dropped by the suppression, %lu removals, "
                "%lu stale handles, %lu menus; handles %lu -> %lu, windows %lu -> %lu, working set %llu -> %llu kB\n",
                static_cast<unsigned long>(seconds), presses, TvKeys().size(), dropped, removals, stales, menus,
                start.handles, end.handles, start.windows, end.windows, start.workingSet / 1024, end.workingSet / 1024);
    EXPECT_EQ(TvKeys(), expected) << "a key lost or one too many";
    EXPECT_EQ(card_->State().refusals, 0u);
    EXPECT_LE(end.handles, start.handles + 2);
    EXPECT_EQ(end.windows, start.windows) << "top-level windows: " << start.classes << " -> "
                                          << end.classes;
    EXPECT_LE(end.workingSet, start.workingSet + 2 * 1024 * 1024);
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
