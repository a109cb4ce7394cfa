// The fixture of the tests that run the real Ravlet.exe on the capture-driver double
// (testbed/carddouble), with the stand-in TV application as the target of the keys.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "applet_util.h"
#include "card.h"
#include "harness.h"

namespace card_e2e {

using namespace applet_e2e;

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

// Key codes of the remote and the virtual-key codes that RC.dat's "RC32Keys" gives them.
constexpr unsigned int kPowerKey = 18;
struct KeyAndCode {
    unsigned int key;
    unsigned int vk;
};
constexpr KeyAndCode kDigit0{0, 0x30}, kDigit5{5, 0x35}, kDigit9{9, 0x39}, kMute{11, 0xAD},
    kChannelUp{13, 0x21}, kChannelDown{14, 0x22}, kVolumeUp{15, 0x26};

constexpr wchar_t kTunerKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";

inline const std::wstring& RavletPath() {
    static const std::wstring path = WinePath(RAVLET_EXE);
    return path;
}
inline const std::wstring& TvAppPath() {
    static const std::wstring path = WinePath(TVAPP_EXE);
    return path;
}

class CardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        card_ = std::make_unique<e2e::Card>(e2e::FromUnix(CARD_DOUBLE_SYS));
        ASSERT_TRUE(ImportProfiles(RC_DAT));
    }
    static void TearDownTestSuite() { card_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(card_->ok()) << e2e::Narrow(card_->error());
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
        EXPECT_TRUE(AppletWindows().empty()) << "an applet outlived its test";
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
        e2e::CloseAll(kTitle, kExitLimitMs);
        KillTvApps(kExitLimitMs);
    }

    void CloseTvs() {
        for (e2e::Process& p : tvs_) p.Kill();
        tvs_.clear();
    }

    // Starts Ravlet.exe and waits for its window; *windowTime gets the card's clock then.
    HWND StartApplet(long long* windowTime = nullptr) {
        SCOPED_TRACE("starting the applet");
        applets_.push_back(e2e::Start(L"\"" + RavletPath() + L"\""));
        applet_ = &applets_.back();
        EXPECT_TRUE(applet_->started());
        HWND window = nullptr;
        EXPECT_TRUE(e2e::WaitFor([&] { return (window = AppletWindowOf(applet_->id())) != nullptr; }, kStartLimitMs))
            << "applet windows of other processes: " << AppletWindows().size();
        if (windowTime) *windowTime = e2e::CardClock();
        return window;
    }

    // Starts the applet and waits until it has opened the card and polled it once.
    HWND StartAppletOnTheCard() {
        SCOPED_TRACE("the applet on the card");
        HWND window = StartApplet();
        EXPECT_TRUE(card_->WaitState([](const CardState& s) { return s.openHandles == 1 && s.polls >= 2; },
                                     kStartLimitMs))
            << "the applet did not open and poll the card";
        return window;
    }

    // Starts the stand-in TV application (with the time of every line in its log); `how` is empty,
    // L" --hang", L" --crash" or L" --slow <ms>".
    HWND StartTv(const wchar_t* how = L"") {
        SCOPED_TRACE("starting the TV application" + e2e::Narrow(how));
        tvs_.push_back(e2e::Start(L"\"" + TvAppPath() + L"\" --times --log \"" + tvLog_ + L"\"" + how));
        EXPECT_TRUE(tvs_.back().started());
        HWND window = nullptr;
        EXPECT_TRUE(e2e::WaitFor([&] { return (window = TvWindow()) != nullptr; }, kStartLimitMs));
        return window;
    }

    std::vector<e2e::TvEvent> TvEvents(const char* what) const { return e2e::TvEventsOf(e2e::ReadTvLog(tvLog_), what); }
    std::vector<unsigned int> TvKeys() const { return e2e::TvKeys(tvLog_); }
    bool WaitTvKeys(std::size_t count, DWORD limitMs = kCheckLimitMs) const {
        return e2e::WaitFor([&] { return TvKeys().size() >= count; }, limitMs);
    }

    // Presses a key and waits until the applet has taken it and the suppression is over.
    static bool PressAndSettle(unsigned int key, DWORD limitMs = kCheckLimitMs) {
        return card_->Press(key) && card_->WaitTaken(limitMs) &&
               card_->WaitPolls(kPollsPastSuppression, kCheckLimitMs);
    }

    std::vector<CardRequest> Trace() const { return card_->Trace(seq_); }

    inline static std::unique_ptr<e2e::Card> card_;
    std::deque<e2e::Process> applets_, tvs_;
    e2e::Process* applet_ = nullptr;
    std::wstring tvLog_;
    unsigned int seq_ = 0;
};

}  // namespace card_e2e
