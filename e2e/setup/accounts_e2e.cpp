// Another account on a machine where the software is installed: after the real setup.exe has
// installed from the media, every per-user key of the installation is deleted and what Windows
// runs at a logon is run (the Active Setup stubs, then the Run values); the applet that starts
// must have its profile, and a key on the simulated card must reach the stand-in TV application.
#include <gtest/gtest.h>

#include <memory>

#include "applet_util.h"
#include "card.h"
#include "harness.h"
#include "launcher_run.h"

using namespace launcher_run;

namespace {

constexpr DWORD kInstallLimitMs = 600000;
constexpr DWORD kLimitMs = 30000;

const std::wstring kMedia = applet_e2e::WinePath(SETUP_E2E_MEDIA);
const wchar_t kComponentKey[] =
    L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
const wchar_t kRecordKey[] =
    L"Software\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
const wchar_t kAppletRoot[] = L"SOFTWARE\\Orvane\\TV Card Remote Control Applet";

// Wine's desktop has no shell window. A window of this test takes its place, so that the launcher
// starts the per-account step and the applet with this process's token, as with a desktop shell's.
class ShellStandIn {
public:
    ShellStandIn() {
        using SetShell = BOOL(WINAPI*)(HWND);
        const auto set = reinterpret_cast<SetShell>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetShellWindow")));
        window_ = CreateWindowExW(0, L"STATIC", L"shell stand-in", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ok_ = set && window_ && set(window_) && GetShellWindow() == window_;
    }
    ~ShellStandIn() {
        if (window_) DestroyWindow(window_);
    }
    bool ok() const { return ok_; }

private:
    HWND window_ = nullptr;
    bool ok_ = false;
};

class NewAccount : public ::testing::Test {
protected:
    static void SetUpTestSuite() { card_ = std::make_unique<e2e::Card>(e2e::FromUnix(CARD_DOUBLE_SYS)); }
    static void TearDownTestSuite() {
        if (card_) card_->SetPresent(false);  // the session's other tests expect no card
        card_.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(card_->ok()) << e2e::Narrow(card_->error());
        ASSERT_TRUE(card_->Reset());
        CleanUp();
        SetEnvironmentVariableW(L"TVAPP_LOG", tvLog_.c_str());
    }
    void TearDown() override {
        CleanUp();
        e2e::DeleteTree(HKEY_LOCAL_MACHINE, kComponentKey);
        e2e::DeleteTree(HKEY_CURRENT_USER, kRecordKey);
        e2e::DeleteValue(HKEY_LOCAL_MACHINE, applet_e2e::kRunKey, applet_e2e::kAutostartValue);
        RemoveFile(windir_ + L"\\MyInstall\\PerUser.inf");
    }
    void CleanUp() {
        SCOPED_TRACE("clean-up");
        EXPECT_TRUE(CloseAll(kAppletTitle, kLimitMs));
        EXPECT_TRUE(CloseAll(kMonitorTitle, kLimitMs));
        while (HWND w = applet_e2e::TvWindow()) {
            PostMessageW(w, WM_CLOSE, 0, 0);
            if (!e2e::WaitFor([&] { return !IsWindow(w); }, kLimitMs)) break;
        }
        RemoveFile(tvLog_);
        e2e::DeleteTree(HKEY_CURRENT_USER, kAppletRoot);
        e2e::DeleteTree(HKEY_LOCAL_MACHINE, kTunerKey);
    }

    // The real launcher, answered "No" at its restart prompt.
    void Install(const std::wstring& switches = L"") {
        SCOPED_TRACE("installation" + e2e::Narrow(switches));
        e2e::Process launcher = e2e::Start(L"\"" + kMedia + L"\\Setup\\setup.exe\"" + switches, kMedia + L"\\Setup");
        ASSERT_TRUE(launcher.started());
        HWND prompt = WaitForRestartPrompt(kInstallLimitMs);
        ASSERT_NE(prompt, nullptr);
        ASSERT_TRUE(AnswerRestartNo(prompt));
        ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0); }, 60000));
        // The applet the launcher started belongs to the installing account's logon.
        ASSERT_TRUE(e2e::WaitFor([] { return e2e::FindTitle(kAppletTitle) != nullptr; }, kLimitMs));
        ASSERT_TRUE(CloseAll(kAppletTitle, kLimitMs));
        ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.openHandles == 0; }, kLimitMs));
        ASSERT_TRUE(e2e::GetString(HKEY_LOCAL_MACHINE, kComponentKey, L"Version", &version_));
        ASSERT_TRUE(e2e::GetString(HKEY_LOCAL_MACHINE, kComponentKey, L"StubPath", &stub_));
        std::wstring installing;
        EXPECT_TRUE(e2e::GetString(HKEY_CURRENT_USER, kRecordKey, L"Version", &installing));
        EXPECT_EQ(installing, version_) << "the installing account would run the step again";
    }

    // What Windows runs at the account's logon: the step runs once, the applet starts from the Run
    // value and opens the card, and volume-up on the remote reaches the TV application as `vk`.
    void Logon(const wchar_t* profile, unsigned int vk) {
        SCOPED_TRACE("logon with " + e2e::Narrow(profile));
        const e2e::Logon logon = e2e::RunLogonPrograms({L"PerUser.inf", L"Pelkora.exe"});
        EXPECT_EQ(logon.stubs, std::vector<std::wstring>{stub_});
        EXPECT_TRUE(logon.stubsEnded);
        EXPECT_EQ(logon.started.size(), 1u);
        std::wstring text;
        EXPECT_EQ(e2e::GetString(HKEY_CURRENT_USER, kAppletKey, L"Profile", &text) ? text : L"(none)", profile);
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kAppletKey) + L"\\RC51Keys"));
        EXPECT_FALSE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use"));
        // The machine-wide part of the scripts stays out of the account.
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTssKey));
        EXPECT_TRUE(e2e::GetString(HKEY_CURRENT_USER, kRecordKey, L"Version", &text) && text == version_);

        ASSERT_TRUE(card_->WaitState([](const CardState& s) { return s.openHandles == 1 && s.polls >= 2; }, kLimitMs));
        e2e::Process tv = e2e::Start(L"\"" + applet_e2e::WinePath(TVAPP_EXE) + L"\"");
        ASSERT_TRUE(e2e::WaitFor([] { return applet_e2e::TvWindow() != nullptr; }, kLimitMs));
        ASSERT_TRUE(card_->Press(15));
        EXPECT_TRUE(card_->WaitTaken(10000));
        EXPECT_TRUE(e2e::WaitFor([&] { return !e2e::TvKeys(tvLog_).empty(); }, 10000));
        EXPECT_EQ(e2e::TvKeys(tvLog_), std::vector<unsigned int>{vk});

        // At the account's next logon the step does not run again.
        ASSERT_TRUE(CloseAll(kAppletTitle, kLimitMs));
        EXPECT_EQ(e2e::RunLogonPrograms({L"PerUser.inf"}).stubs, std::vector<std::wstring>{});
    }

    static std::unique_ptr<e2e::Card> card_;
    std::wstring version_, stub_;
    const std::wstring windir_ = WindowsDir();
    const std::wstring tvLog_ = e2e::TempDir(L"accounts-e2e") + L"\\tvapp.log";
};

std::unique_ptr<e2e::Card> NewAccount::card_;

TEST_F(NewAccount, GetsTheKeyProfilesAtItsFirstLogonAndItsKeysReachTheTvApplication) {
    // A new board whose wiring asks for the 28-key remote.
    ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", 0));
    ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", 0x44000));
    {
        const ShellStandIn shell;
        ASSERT_TRUE(shell.ok());
        Install();
    }
    // A new account: none of the installation's per-user keys, no record of the step.
    e2e::DeleteTree(HKEY_CURRENT_USER, kAppletRoot);
    e2e::DeleteTree(HKEY_CURRENT_USER, kRecordKey);
    Logon(L"RC28Keys", VK_VOLUME_UP);
}

TEST_F(NewAccount, AnAccountThatHadAnEarlierInstallationGetsTheNewOneAndKeepsItsOwnRemoteChoice) {
    // The other product line on a board without the profile bit. The account had the step of an
    // earlier installation, chose the 32-key remote and later uninstalled the applet.
    ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", 0));
    ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", 0x4000));
    Install(L" /Harlo");
    e2e::DeleteTree(HKEY_CURRENT_USER, kAppletRoot);
    ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kRecordKey, L"Version", L"1,0,0,0"));
    ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kAppletKey, L"Profile", L"RC32Keys"));
    ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1));
    Logon(L"RC32Keys", VK_UP);
    std::wstring media;
    EXPECT_TRUE(e2e::GetString(HKEY_CURRENT_USER, kAppletKey, L"Media", &media));
    EXPECT_EQ(media, L"Harlo\\BorrinUtility");
}

}  // namespace
