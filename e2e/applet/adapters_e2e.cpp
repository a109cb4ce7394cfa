// The applet's Win32 adapters for real, in this process: the key profile from the real registry
// after the platform's registry editor imported the media's RC.dat, DispatchKey against the running
// stand-in TV application, and the notification icon through the real shell.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "adapters.h"
#include "applet_util.h"
#include "harness.h"
#include "mainframe.h"

using namespace applet_e2e;
using namespace applet;
using namespace applet::win32;

namespace {

constexpr DWORD kStartLimitMs = 30000;
constexpr DWORD kExitLimitMs = 20000;
constexpr std::uint32_t kPowerKey = 18;

const std::wstring& TvAppPath() {
    static const std::wstring path = WinePath(TVAPP_EXE);
    return path;
}
std::wstring TvAppFolder() { return TvAppPath().substr(0, TvAppPath().rfind(L'\\')); }
std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

// The Key%d values of one profile section of a REGEDIT4 script.
std::map<int, std::uint32_t> KeysOfSection(const std::string& script, const std::string& profile) {
    std::map<int, std::uint32_t> keys;
    std::istringstream in(script);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inside = line.size() > profile.size() + 1 &&
                     line.compare(line.size() - profile.size() - 2, profile.size() + 2, "\\" + profile + "]") == 0;
            continue;
        }
        int index = 0;
        unsigned value = 0;
        if (inside && std::sscanf(line.c_str(), "\"Key%d\"=dword:%x", &index, &value) == 2) keys[index] = value;
    }
    return keys;
}

// What the stand-in received after its start, one "<message> <wParam> <lParam>" per message.
std::vector<std::string> Received(const std::wstring& log) {
    std::vector<std::string> messages;
    for (const e2e::TvEvent& e : e2e::ReadTvLog(log)) {
        if (e.what == "START") continue;
        char line[64];
        std::snprintf(line, sizeof line, "%s 0x%X 0x%X", e.what.c_str(), e.wParam, e.lParam);
        messages.push_back(line);
    }
    return messages;
}

std::string KeyDown(std::uint32_t vk) {
    char line[64];
    std::snprintf(line, sizeof line, "WM_KEYDOWN 0x%X 0x0", static_cast<unsigned>(vk));
    return line;
}

class AdaptersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ImportProfiles(RC_DAT));
    }

    void SetUp() override {
        CloseStandIns();
        ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kTvPathKey, L"InstallDir", TvAppFolder()));
        ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", L"RC32Keys"));
        logDir_ = e2e::TempDir(L"applet e2e tv");
    }
    void TearDown() override {
        for (e2e::Process& p : tvs_) p.Kill();
        CloseStandIns();
        SetEnvironmentVariableW(L"TVAPP_LOG", nullptr);
    }

    static void CloseStandIns() { KillTvApps(kExitLimitMs); }

    // Starts the stand-in TV application with a log and waits for its window.
    HWND StartTv(const std::wstring& log, bool hang = false) {
        tvs_.push_back(e2e::Start(L"\"" + TvAppPath() + L"\" --log \"" + log + L"\"" + (hang ? L" --hang" : L"")));
        EXPECT_TRUE(tvs_.back().started());
        HWND window = nullptr;
        EXPECT_TRUE(e2e::WaitFor([&] { return (window = FindWindowW(kTvClass, nullptr)) != nullptr; }, kStartLimitMs));
        return window;
    }

    PortAdapters adapters_;
    std::vector<e2e::Process> tvs_;
    std::wstring logDir_;
};

TEST_F(AdaptersTest, ProfileLoadsFromTheImportedRegistryScript) {
    const std::string script = e2e::ReadFile(WinePath(RC_DAT));
    ASSERT_FALSE(script.empty());
    CMainFrame frame(adapters_.ports());

    // By "Profile", as at start-up.
    frame.LoadKeyProfile(nullptr);
    const KeyProfile& profile = frame.profile();
    EXPECT_EQ(u"TvCardStandInTv", profile.className);
    EXPECT_EQ(u"tvapp.exe", profile.execName);
    EXPECT_EQ(U16(TvAppPath()), profile.appPath);
    std::map<int, std::uint32_t> expected = KeysOfSection(script, "RC32Keys");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(1u, expected[kPowerKey]);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(expected.count(i) ? expected[i] : 0u, profile.keys[i]) << "Key" << i << " of RC32Keys";

    // By name, as after the remote type dialog: the table is rebuilt for the new profile.
    const std::u16string name = u"RC28Keys";
    frame.LoadKeyProfile(&name);
    expected = KeysOfSection(script, "RC28Keys");
    ASSERT_FALSE(expected.empty());
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(expected.count(i) ? expected[i] : 0u, frame.profile().keys[i]) << "Key" << i << " of RC28Keys";
}

TEST_F(AdaptersTest, KeysReachTheRunningTvAsKeyDownOnlyAndThePowerKeyClosesIt) {
    const std::wstring log = logDir_ + L"\\keys.log";
    HWND tv = StartTv(log);
    ASSERT_NE(nullptr, tv);
    CMainFrame frame(adapters_.ports());
    frame.LoadKeyProfile(nullptr);

    // The virtual-key codes that RC.dat gives these keys of RC32Keys; 40 has no entry there.
    const struct {
        std::uint32_t code, vk;
    } keys[] = {{1, 0x31}, {5, 0x35}, {12, 0x7A}, {40, 0x00}};
    std::vector<std::string> expected;
    for (const auto& k : keys) {
        frame.DispatchKey(k.code);
        expected.push_back(KeyDown(k.vk));
    }
    // Code 18 + 256: only the low 8 bits count, so this is the power key.
    const DWORD before = GetTickCount();
    frame.DispatchKey(kPowerKey + 0x100);
    EXPECT_GE(GetTickCount() - before, 900u) << "the pause after closing the TV application";
    expected.push_back("WM_CLOSE 0x0 0x0");

    ASSERT_TRUE(tvs_.back().WaitExit(kExitLimitMs)) << "the power key did not close the TV application";
    // Every line there is, in order: no key-up and no character message came with the keys.
    const std::vector<e2e::TvEvent> events = e2e::ReadTvLog(log);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ("START", events.front().what);
    EXPECT_EQ(expected, Received(log));
}

TEST_F(AdaptersTest, PowerKeyStartsTheTvFromTheApplicationPathWhenItIsNotRunning) {
    ASSERT_EQ(nullptr, FindWindowW(kTvClass, nullptr));
    // The started copy gets no command line; it finds its log through the inherited environment.
    const std::wstring log = logDir_ + L"\\started.log";
    SetEnvironmentVariableW(L"TVAPP_LOG", log.c_str());
    CMainFrame frame(adapters_.ports());
    frame.LoadKeyProfile(nullptr);

    const DWORD before = GetTickCount();
    frame.DispatchKey(kPowerKey);
    const DWORD after = GetTickCount();
    // The TV application keeps running, so the dispatch waited out its 5000 ms.
    EXPECT_GE(after - before, 4500u);
    HWND tv = nullptr;
    ASSERT_TRUE(e2e::WaitFor([&] { return (tv = FindWindowW(kTvClass, nullptr)) != nullptr; }, kStartLimitMs));
    const std::vector<e2e::TvEvent> events = e2e::ReadTvLog(log);
    ASSERT_EQ(1u, events.size());
    ASSERT_EQ("START", events[0].what);
    const unsigned long began = events[0].tick;
    // Not longer than that either, counted from the TV application's own start, so that a slow
    // process start does not count.
    EXPECT_LT(after - static_cast<DWORD>(began), 6500u) << "the dispatch waited past its 5000 ms";

    // Pressed again, the power key closes what it started.
    frame.DispatchKey(kPowerKey);
    EXPECT_TRUE(e2e::WaitFor([&] { return !IsWindow(tv); }, kExitLimitMs));
}

TEST_F(AdaptersTest, AHungTvDoesNotHoldTheDispatchBeyondItsBound) {
    const std::wstring log = logDir_ + L"\\hung.log";
    HWND tv = StartTv(log, true);
    ASSERT_NE(nullptr, tv);
    CMainFrame frame(adapters_.ports());
    frame.LoadKeyProfile(nullptr);

    // The first key hangs the TV application (it sleeps a minute in its handler); the dispatch
    // gives up after its one-second bound, and the next key does not wait longer.
    for (std::uint32_t code : {1u, 5u}) {
        const DWORD before = GetTickCount();
        frame.DispatchKey(code);
        EXPECT_LT(GetTickCount() - before, 5000u) << "key " << code << " held the dispatch";
    }
    EXPECT_TRUE(e2e::WaitFor([&] { return !Received(log).empty(); }, kExitLimitMs));
    const std::vector<std::string> received = Received(log);
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(KeyDown(0x31), received[0]);  // Key1 of RC32Keys in RC.dat
}

TEST_F(AdaptersTest, TrayIconIsAddedOnceAndRemovedThroughTheRealShell) {
    // A window of our own stands in for the main window.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", kTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    adapters_.windows.SetMainWindow(window);
    {
        CMainFrame frame(adapters_.ports());
        EXPECT_TRUE(frame.ShowTrayIcon());
        // Present already: the add fails and leaves the icon as it is.
        EXPECT_FALSE(frame.ShowTrayIcon());
        EXPECT_TRUE(adapters_.shell.DeleteIcon(128));
        EXPECT_FALSE(adapters_.shell.DeleteIcon(128));
        // Removed by the frame's own removal too.
        EXPECT_TRUE(frame.ShowTrayIcon());
        frame.RemoveTrayIcon(128);
        EXPECT_FALSE(adapters_.shell.DeleteIcon(128));
    }
    adapters_.windows.SetMainWindow(nullptr);
    DestroyWindow(window);
}

// Wine has one logon session, attached to the console: the session functions are found at run
// time, give the system's own ids, and the registration is taken for the main window only.
TEST_F(AdaptersTest, ConsolePortFindsTheSessionFunctionsAndTheOneSessionHasTheConsole) {
    std::uint32_t own = 0xDEADBEEF, console = 0xDEADBEEF;
    ASSERT_TRUE(adapters_.console.OwnSession(&own));
    ASSERT_TRUE(adapters_.console.ConsoleSession(&console));
    DWORD expected = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &expected));
    EXPECT_EQ(own, expected);
    EXPECT_EQ(console, own);
    EXPECT_FALSE(adapters_.console.RemoteSession());

    EXPECT_EQ(adapters_.console.RegisterNotification(), Console::Registration::Failed) << "no main window yet";
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", kTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    adapters_.windows.SetMainWindow(window);
    EXPECT_EQ(adapters_.console.RegisterNotification(), Console::Registration::Done);
    adapters_.console.UnregisterNotification();
    // wtsapi32 came from the system folder.
    wchar_t loaded[MAX_PATH] = {}, system[MAX_PATH] = {};
    ASSERT_NE(nullptr, GetModuleHandleW(L"wtsapi32.dll"));
    GetModuleFileNameW(GetModuleHandleW(L"wtsapi32.dll"), loaded, MAX_PATH);
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW(loaded, (std::wstring(system) + L"\\wtsapi32.dll").c_str()));
    adapters_.windows.SetMainWindow(nullptr);
    DestroyWindow(window);
}

}  // namespace
