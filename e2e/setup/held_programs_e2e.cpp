// Old programs that hold their files in the Windows directory through an installation: a device
// monitor whose window has stopped answering, and an applet of which this session sees no window
// (as one in another logon session). The installation still reaches the restart prompt, and after
// the restart the new programs stand there. Two phases, run by held_programs.sh with a restart of
// the Wine session between them (every program ends, and the next boot carries out the pending
// renames, as a Windows restart does); neither phase makes sense alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "harness.h"
#include "launcher_run.h"

using namespace launcher_run;

namespace {

const std::wstring kMedia = Backslashed(e2e::Widen(SETUP_E2E_MEDIA));
const std::wstring kLog = kMedia + L"\\standin.log";
const std::wstring kNewMonitor = kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_";
const std::wstring kNewApplet = kMedia + L"\\Tessly\\Utility\\Pelkora.ex_";
constexpr DWORD kInstallLimitMs = 240000;

const std::wstring kWindows = WindowsDir();
const std::wstring kMonitor = kWindows + L"\\Pelkwatch.exe";
const std::wstring kApplet = kWindows + L"\\Pelkora.exe";
const std::wstring kPendingSuffix = L".pending";

bool RemoveWithin(const std::wstring& path, DWORD limitMs) {
    return e2e::WaitFor([&] {
        RemoveFile(path);
        return !FileExists(path);
    }, limitMs);
}

// Nothing of an earlier run: files, scheduled renames, the log.
void CleanUp() {
    SCOPED_TRACE("clean-up");
    for (const auto& f : {kMonitor, kApplet}) {
        ForgetPendingRename(f + kPendingSuffix);
        EXPECT_TRUE(RemoveWithin(f, 20000)) << Narrow(f);
        EXPECT_TRUE(RemoveWithin(f + kPendingSuffix, 20000)) << Narrow(f);
    }
    RemoveFile(kLog);
}

// A program of an earlier installation: the device-monitor stand-in with a tail of its own, so
// that its file differs from every file of the media. Returns its bytes.
std::string PlaceOldProgram(const std::wstring& path, const std::string& tail) {
    if (!e2e::CopyTo(kNewMonitor, path)) return "";
    HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "";
    DWORD written = 0;
    WriteFile(f, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr);
    CloseHandle(f);
    return e2e::ReadFile(path);
}

// The log entries of a program that runs from outside the media (logged under its full path).
bool Logged(const std::string& event, const std::wstring& path) {
    return !EventsOf(ReadLog(kLog), event, path).empty();
}

TEST(HeldPrograms, BeforeTheRestart) {
    ASSERT_TRUE(CloseAll(kAppletTitle, 20000));
    ASSERT_TRUE(CloseAll(kMonitorTitle, 20000));
    CleanUp();
    const std::string oldMonitor = PlaceOldProgram(kMonitor, "old device monitor");
    const std::string oldApplet = PlaceOldProgram(kApplet, "old applet in another session");
    ASSERT_FALSE(oldMonitor.empty());
    ASSERT_FALSE(oldApplet.empty());
    // Both run until the restart ends them (at most ten minutes); started in the media root, so
    // that they find the stand-ins' log.
    e2e::Process monitor = e2e::Start(L"\"" + kMonitor + L"\" /hang=600000", kMedia);
    e2e::Process applet = e2e::Start(L"\"" + kApplet + L"\" /nowindow=600000", kMedia);
    ASSERT_TRUE(monitor.started());
    ASSERT_TRUE(applet.started());
    ASSERT_TRUE(e2e::WaitFor([] { return Logged("HANG", kMonitor) && Logged("START", kApplet); }));
    ASSERT_EQ(e2e::CountTitled(kMonitorTitle), 1);
    ASSERT_EQ(e2e::FindTitle(kAppletTitle), nullptr);

    const DWORD started = GetTickCount();
    e2e::Process launcher = e2e::Start(L"\"" + kMedia + L"\\Setup\\setup.exe\"", kMedia + L"\\Setup");
    ASSERT_TRUE(launcher.started());
    HWND prompt = WaitForRestartPrompt(kInstallLimitMs);
    ASSERT_NE(prompt, nullptr) << "the installation stopped at the window that does not answer";
    std::printf("[ timing ] launcher start to restart prompt past a hung device monitor: %lu ms\n",
                static_cast<unsigned long>(GetTickCount() - started));
    ASSERT_TRUE(AnswerRestartNo(prompt));
    ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0); }, 60000));

    // The monitor never handled the close; both old programs still run and hold their files. The
    // new ones wait beside them, and the restart is to put them in place.
    EXPECT_FALSE(Logged("CLOSE", kMonitor));
    EXPECT_TRUE(monitor.Running());
    EXPECT_TRUE(applet.Running());
    EXPECT_EQ(e2e::ReadFile(kMonitor), oldMonitor);
    EXPECT_EQ(e2e::ReadFile(kApplet), oldApplet);
    EXPECT_EQ(e2e::ReadFile(kMonitor + kPendingSuffix), e2e::ReadFile(kNewMonitor));
    EXPECT_EQ(e2e::ReadFile(kApplet + kPendingSuffix), e2e::ReadFile(kNewApplet));
    EXPECT_TRUE(ReplacedAtRestart(kMonitor + kPendingSuffix, kMonitor));
    EXPECT_TRUE(ReplacedAtRestart(kApplet + kPendingSuffix, kApplet));
    // The launcher started what stands at the applet's place now: the old file, which without
    // arguments shows a device monitor's window.
    EXPECT_TRUE(e2e::WaitFor([] { return e2e::CountTitled(kMonitorTitle) == 2; }, 60000));
    EXPECT_EQ(e2e::FindTitle(kAppletTitle), nullptr);
}

TEST(HeldPrograms, AfterTheRestart) {
    // The restart ended the old programs and put the new ones in their places.
    EXPECT_EQ(e2e::FindTitle(kMonitorTitle), nullptr);
    EXPECT_EQ(e2e::ReadFile(kMonitor), e2e::ReadFile(kNewMonitor));
    EXPECT_EQ(e2e::ReadFile(kApplet), e2e::ReadFile(kNewApplet));
    for (const auto& f : {kMonitor, kApplet}) {
        EXPECT_FALSE(FileExists(f + kPendingSuffix)) << Narrow(f);
        EXPECT_FALSE(ReplacedAtRestart(f + kPendingSuffix, f)) << Narrow(f);
    }
    // And the applet runs: it shows its window.
    e2e::Process applet = e2e::Start(L"\"" + kApplet + L"\"", kWindows);
    ASSERT_TRUE(applet.started());
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::WindowSearch().Process(applet.id()).Title(kAppletTitle).First() != nullptr; },
                             60000));

    EXPECT_TRUE(CloseAll(kAppletTitle, 30000));
    applet.WaitExit(20000);
    CleanUp();
    e2e::DeleteTree(HKEY_CURRENT_USER, kAppletKey);
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kTssKey);
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kTunerKey);
}

}  // namespace
