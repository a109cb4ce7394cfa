// An old applet that runs from the Windows directory where this session sees no window of it (as
// in another logon session) holds its file through the installation; after a restart the new
// applet stands there. Two phases, run by held_applet.sh with a restart of the Wine session
// between them (every program ends, and the next boot carries out the pending renames, as a
// Windows restart does); neither phase makes sense alone.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "launcher_run.h"

using namespace launcher_run;

namespace {

std::wstring Backslashed(std::wstring p) {
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    return p;
}

const std::wstring kMedia = Backslashed(e2e::Widen(SETUP_E2E_MEDIA));
const std::wstring kLog = kMedia + L"\\standin.log";
const std::wstring kNewApplet = kMedia + L"\\Tessly\\Utility\\Pelkora.ex_";
constexpr DWORD kInstallLimitMs = 240000;
// The old applet's bytes: the device-monitor stand-in with a tail of its own, so that its file
// differs from every file of the media.
const char kOldTail[] = "old applet in another session";

const std::wstring kWindows = WindowsDir();
const std::wstring kApplet = kWindows + L"\\Pelkora.exe";
const std::wstring kPending = kApplet + L".pending";

bool RemoveWithin(const std::wstring& path, DWORD limitMs) {
    return e2e::WaitFor([&] {
        RemoveFile(path);
        return !FileExists(path);
    }, limitMs);
}

TEST(HeldApplet, BeforeTheRestart) {
    ASSERT_TRUE(CloseAll(kAppletTitle, 20000));
    ASSERT_TRUE(CloseAll(kMonitorTitle, 20000));
    RemoveFile(kLog);
    ForgetPendingRename(kPending);
    for (const auto& f : {kApplet, kPending, kWindows + L"\\Pelkwatch.exe"}) ASSERT_TRUE(RemoveWithin(f, 20000));

    const std::string oldApplet = e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_") + kOldTail;
    ASSERT_TRUE(e2e::CopyTo(kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_", kApplet));
    {
        HANDLE f = CreateFileW(kApplet.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(f, kOldTail, sizeof kOldTail - 1, &written, nullptr);
        CloseHandle(f);
    }
    ASSERT_EQ(e2e::ReadFile(kApplet), oldApplet);
    // Runs until the restart ends it (at most ten minutes); started in the media root, so that
    // it finds the stand-ins' log.
    e2e::Process old = e2e::Start(L"\"" + kApplet + L"\" /nowindow=600000", kMedia);
    ASSERT_TRUE(old.started());
    ASSERT_TRUE(e2e::WaitFor([] { return !Events(ReadLog(kLog), "START").empty(); }));
    ASSERT_EQ(e2e::FindTitle(kAppletTitle), nullptr);

    e2e::Process launcher = e2e::Start(L"\"" + kMedia + L"\\Setup\\setup.exe\"", kMedia + L"\\Setup");
    ASSERT_TRUE(launcher.started());
    HWND prompt = WaitForRestartPrompt(kInstallLimitMs);
    ASSERT_NE(prompt, nullptr);
    ASSERT_TRUE(AnswerRestartNo(prompt));
    ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0); }, 60000));

    // The old file stands until the restart, and the new one waits beside it.
    EXPECT_TRUE(old.Running());
    EXPECT_EQ(e2e::ReadFile(kApplet), oldApplet);
    EXPECT_EQ(e2e::ReadFile(kPending), e2e::ReadFile(kNewApplet));
    EXPECT_TRUE(ReplacedAtRestart(kPending, kApplet));
    // The device monitor was not held: it is the new one already.
    EXPECT_EQ(e2e::ReadFile(kWindows + L"\\Pelkwatch.exe"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_"));
    // The launcher started what stands there now: the old file, which without arguments shows
    // the device monitor's window.
    EXPECT_TRUE(e2e::WaitFor([] { return e2e::FindTitle(kMonitorTitle) != nullptr; }, 60000));
    EXPECT_EQ(e2e::FindTitle(kAppletTitle), nullptr);
}

TEST(HeldApplet, AfterTheRestart) {
    // The restart ended the old programs and put the new applet in place of the old one.
    EXPECT_EQ(e2e::FindTitle(kMonitorTitle), nullptr);
    EXPECT_EQ(e2e::ReadFile(kApplet), e2e::ReadFile(kNewApplet));
    EXPECT_FALSE(FileExists(kPending));
    EXPECT_FALSE(ReplacedAtRestart(kPending, kApplet));
    // And it is the applet: it starts and shows its window.
    e2e::Process applet = e2e::Start(L"\"" + kApplet + L"\"", kWindows);
    ASSERT_TRUE(applet.started());
    EXPECT_TRUE(e2e::WaitFor([&] {
        HWND window = e2e::FindTitle(kAppletTitle);
        DWORD owner = 0;
        return window && GetWindowThreadProcessId(window, &owner) && owner == applet.id();
    }, 60000));

    EXPECT_TRUE(CloseAll(kAppletTitle, 30000));
    applet.WaitExit(20000);
    ForgetPendingRename(kPending);
    for (const auto& f : {kApplet, kPending, kWindows + L"\\Pelkwatch.exe"}) EXPECT_TRUE(RemoveWithin(f, 20000));
    RemoveFile(kLog);
    e2e::DeleteTree(HKEY_CURRENT_USER, kAppletKey);
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kTssKey);
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kTunerKey);
}

}  // namespace
