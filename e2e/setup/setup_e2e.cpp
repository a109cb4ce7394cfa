// The real setup.exe on a media tree laid out by the media builder, under Wine: what it starts, in
// which order and where, what it leaves in the Windows directory and the registry, and how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "launcher_fixture.h"

using namespace launcher_e2e;

namespace {

// Where white ink lies in the top-left corner of the setup window, whose built-in picture has no
// pixel brighter than (18, 45, 96) there: the count of pure white pixels, and the first column
// and row with any near-white one.
struct Ink {
    int white = 0, left = -1, top = -1;
};
Ink TitleInk(HWND frame) {
    const RECT box{0, 0, 480, 64};
    const std::vector<std::uint32_t> pixels = e2e::GrabScreen(e2e::ClientToScreenRect(frame, box)).rgb;
    Ink ink;
    for (int y = 0; y < box.bottom && !pixels.empty(); ++y)
        for (int x = 0; x < box.right; ++x) {
            const std::uint32_t c = pixels[static_cast<size_t>(y) * box.right + x];
            if (c == 0xFFFFFF) ++ink.white;
            if (((c >> 16) & 0xFF) < 0xE0 || ((c >> 8) & 0xFF) < 0xE0 || (c & 0xFF) < 0xE0) continue;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            if (ink.top < 0) ink.top = y;
        }
    return ink;
}

// A window titled like the Lumora wizard, owned by the test (WaitFor pumps its messages).
HWND OpenWizardLookalike() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SetupE2eWizard";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, kWizardTitle, WS_OVERLAPPEDWINDOW, 40, 40, 300, 200, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// A program of an earlier installation, in the Windows directory: the device-monitor stand-in with a
// tail of its own, so that its file differs from every file of the media.
bool PlaceOldProgram(const std::wstring& path, const std::string& tail) {
    std::string bytes = e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_");
    if (bytes.empty()) return false;
    bytes += tail;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(f);
    return ok;
}

TEST_F(Launcher, InstallsFromTheMediaInOrderAndEndsWithTheRestartPrompt) {
    // An earlier installation: the applet switched off by its user in this profile, a tuner key
    // whose wiring word asks for the 28-key remote (IsOldBoard absent: old board), and its device
    // monitor and an older applet running from the Windows directory. Each takes 1.5 s to end
    // after its window has gone, and holds its file until then.
    ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1));
    ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", 0x40));
    ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"HarloMode", 7));
    const std::wstring oldMonitorFile = windir_ + L"\\Pelkwatch.exe", oldAppletFile = windir_ + L"\\Pelkora.exe";
    ASSERT_TRUE(PlaceOldProgram(oldMonitorFile, "old device monitor"));
    ASSERT_TRUE(PlaceOldProgram(oldAppletFile, "old applet"));
    // Started in the media root, so that they find its stand-in log.
    e2e::Process monitor = e2e::Start(L"\"" + oldMonitorFile + L"\" /linger=1500", kMedia);
    e2e::Process oldApplet = e2e::Start(L"\"" + oldAppletFile + L"\" /applet /linger=1500", kMedia);
    ASSERT_TRUE(monitor.started());
    ASSERT_TRUE(oldApplet.started());
    ASSERT_TRUE(e2e::WaitFor([] { return e2e::FindTitle(kMonitorTitle) && e2e::FindTitle(kAppletTitle); }));

    const long long startMs = [] {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return static_cast<long long>(((ULONGLONG(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) -
                                       116444736000000000ULL) / 10000ULL);
    }();
    const DWORD started = GetTickCount();
    e2e::Process launcher = StartLauncher();
    ASSERT_TRUE(launcher.started());

    // The picture window: 800 x 600 plus the border, centred.
    HWND frame = nullptr;
    ASSERT_TRUE(e2e::WaitFor([&] { return (frame = e2e::FindTitle(kFrameTitle)) != nullptr; }));
    RECT r;
    GetWindowRect(frame, &r);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN), b = GetSystemMetrics(SM_CXBORDER);
    EXPECT_EQ(r.left, (cx - 800) / 2);
    EXPECT_EQ(r.top, (cy - 600) / 2);
    EXPECT_EQ(r.right - r.left, 800 + b);
    EXPECT_EQ(r.bottom - r.top, 600 + b);
    // The whole picture shows once the wizard has gone, while the watch waits out its ticks.
    EXPECT_TRUE(e2e::WaitFor([] {
        return Events(ReadLog(kLog), "HIDE", "Lumora\\setup.exe").size() == 2 && !e2e::FindTitle(kWizardTitle);
    }, 60000));
    e2e::SaveScreenshot(L"setup-window");
    // While it installs, the launcher refuses to let the logon end.
    DWORD_PTR answer = 1;
    EXPECT_TRUE(SendMessageTimeoutW(frame, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer));
    EXPECT_EQ(answer, 0u);

    // A second launcher raises nothing of its own and ends at once.
    {
        e2e::Process second = StartLauncher();
        ASSERT_TRUE(second.started());
        DWORD code = 1;
        EXPECT_TRUE(e2e::WaitFor([&] { return second.WaitExit(0, &code); }, 60000));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(e2e::CountTitled(kFrameTitle), 1);
    }

    // The restart prompt ends the sequence: "Yes" is preselected.
    HWND prompt = WaitForRestartPrompt(kInstallLimitMs);
    ASSERT_NE(prompt, nullptr) << "no restart prompt with \"Yes\" preselected";
    const DWORD installMs = GetTickCount() - started;
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::Drawn(GetDlgItem(prompt, IDOK)); }, 60000));
    e2e::SaveScreenshot(L"setup-restart-dialog");
    EXPECT_EQ(SendDlgItemMessageW(prompt, kRestartLater, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    const std::vector<std::wstring> texts = ChildTexts(prompt);
    for (const wchar_t* text : {L"It is highly recommended that you restart Windows in order for the new installation to take effect.",
                                L"Do you want Setup to restart Windows?", L"Yes, I want Setup to restart Windows now.",
                                L"No, I will restart Windows latter.", L"OK", L"Cancel"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << Narrow(text);

    // "No": the launcher closes its window and ends; Windows is not restarted.
    ASSERT_TRUE(AnswerRestartNo(prompt));
    DWORD code = 1;
    ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0, &code); }, 60000));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(e2e::FindTitle(kFrameTitle), nullptr);

    // The stand-ins started in the fixed order, each in its own folder with the media-root path,
    // quoted because of the blank in it.
    const std::vector<LogEntry> log = ReadLog(kLog);
    std::vector<LogEntry> starts;  // those of the launcher: the old programs log their full path
    for (const auto& e : Events(log, "START"))
        if (e.name.find(':') == std::string::npos) starts.push_back(e);
    // Wine's own VERSION.DLL carries version 5.1.2600.2180 (in Wine 8 for both widths, whatever
    // Windows version the prefix reports to GetVersionEx), so the launcher takes the platform for
    // one below 6.0 and runs every redistributable.
    ASSERT_EQ(Names(starts), (std::vector<std::string>{"Tessly\\Driver\\Drivloom.exe", "Lumora\\setup.exe",
                                                       "WMF\\wmfdist11.exe", "MP10\\windowsmedia10-kb905592-x86-intl.exe",
                                                       "Extra\\Setup.exe", "MPEG4\\wmpcdcs8.exe", "DirectX\\dxsetup.exe"}));
    const std::string media = Narrow(kMedia);
    for (const auto& e : starts) {
        const std::string folder = e.name.substr(0, e.name.rfind('\\'));
        std::string args = e.name == "Tessly\\Driver\\Drivloom.exe" ? " /NOREBOOT"
                           : e.name == "WMF\\wmfdist11.exe"           ? " /norestart"
                                                                       : "";
        EXPECT_EQ(e.cmd, "\"" + media + "\\" + e.name + "\"" + args);
        EXPECT_EQ(e.cwd, media + "\\" + folder);
    }
    // The hotfix and DirectX are placed in the middle of the screen.
    for (const auto& e : starts) {
        if (e.name == "MP10\\windowsmedia10-kb905592-x86-intl.exe")
            EXPECT_EQ(e.extra, "pos=" + std::to_string((cx - 503) / 2) + "," + std::to_string((cy - 393) / 2));
        else if (e.name == "DirectX\\dxsetup.exe")
            EXPECT_EQ(e.extra, "pos=" + std::to_string((cx - 504) / 2) + "," + std::to_string((cy - 388) / 2));
        else
            EXPECT_EQ(e.extra, "") << e.name;
    }

    // The wizard outlived its bootstrapper: the sequence went on only after its window had stayed
    // away for three ticks, and after step 29's pause. Then it closed the old device monitor and
    // the old applet, and waited each time until the program had ended: the applet was closed only
    // after the monitor had ended, and both had ended before the next installer started.
    const std::vector<LogEntry> hides = Events(log, "HIDE", "Lumora\\setup.exe");
    ASSERT_EQ(hides.size(), 2u);
    const std::vector<LogEntry> shows = Events(log, "SHOW", "Lumora\\setup.exe");
    ASSERT_EQ(shows.size(), 2u);
    EXPECT_LT(shows[1].ms - hides[0].ms, 2000) << "the wizard's gap stretched past two watch periods: the machine is too slow";
    const std::vector<LogEntry> monitorClose = EventsOf(log, "CLOSE", oldMonitorFile);
    const std::vector<LogEntry> monitorEnd = EventsOf(log, "END", oldMonitorFile);
    const std::vector<LogEntry> appletClose = EventsOf(log, "CLOSE", oldAppletFile);
    const std::vector<LogEntry> appletEnd = EventsOf(log, "END", oldAppletFile);
    ASSERT_EQ(monitorClose.size(), 1u);
    ASSERT_EQ(monitorEnd.size(), 1u);
    ASSERT_EQ(appletClose.size(), 1u);
    ASSERT_EQ(appletEnd.size(), 1u);
    EXPECT_GE(monitorClose[0].ms, hides.back().ms + 2900);
    EXPECT_GE(monitorEnd[0].ms, monitorClose[0].ms + 1400);  // 1.5 s, give or take the clocks' steps
    EXPECT_GE(appletClose[0].ms, monitorEnd[0].ms);
    EXPECT_GE(appletEnd[0].ms, appletClose[0].ms + 1400);
    EXPECT_LT(appletEnd[0].ms, starts[2].ms);
    EXPECT_TRUE(monitor.WaitExit(20000));
    EXPECT_TRUE(oldApplet.WaitExit(20000));

    // The Windows directory: the new applet and device monitor in place of the old ones.
    EXPECT_EQ(e2e::ReadFile(windir_ + L"\\MyInstall\\RC.reg"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\RC.dat"));
    EXPECT_EQ(e2e::ReadFile(windir_ + L"\\MyInstall\\TSS.reg"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\TSS.dat"));
    const std::string applet = e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkora.ex_");
    ASSERT_FALSE(applet.empty());
    EXPECT_EQ(e2e::ReadFile(windir_ + L"\\Pelkora.exe"), applet);
    EXPECT_EQ(e2e::ReadFile(windir_ + L"\\Pelkwatch.exe"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_"));

    // The registry: both scripts imported by the registry editor, the tuner and applet values.
    DWORD value = 99;
    EXPECT_TRUE(e2e::GetDword(HKEY_LOCAL_MACHINE, kTssKey, L"Imported", &value));
    EXPECT_EQ(value, 1u);
    const auto keys = KeysOfScript(kMedia + L"\\Tessly\\Utility\\RC.dat");
    ASSERT_FALSE(keys.empty());
    for (const auto& [root, path] : keys)
        EXPECT_TRUE(e2e::WaitFor([&] { return KeyExists(root, path); }, 30000)) << Narrow(path);
    value = 99;
    EXPECT_TRUE(e2e::GetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"HarloMode", &value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use"));
    std::wstring profile;
    EXPECT_TRUE(e2e::GetString(HKEY_CURRENT_USER, kAppletKey, L"Profile", &profile));
    EXPECT_EQ(profile, L"RC28Keys");

    // The new applet runs on after the launcher (the old one has ended); the test closes it.
    EXPECT_TRUE(e2e::WaitFor([&] {
        HWND applet = e2e::FindTitle(kAppletTitle);
        return applet && e2e::ProcessOf(applet) != oldApplet.id();
    }, 60000));
    EXPECT_TRUE(CloseAll(kAppletTitle, 30000));

    // How long one installation from the stand-in media takes, next to what is fixed: the start
    // timer, three watch ticks after the wizard's last window, step 29's pause and the times the
    // stand-ins show their windows (wizard 2 x 1.5 s + 0.6 s gap, hotfix and DirectX 0.6 s each).
    const long long wizardMs = hides.back().ms - startMs;
    std::printf("[ timing ] launcher start to restart prompt: %lu ms; wizard gone after %lld ms; "
                "wizard gone to next installer: %lld ms\n",
                static_cast<unsigned long>(installMs), wizardMs, starts[2].ms - hides.back().ms);
    RecordProperty("install_ms", static_cast<int>(installMs));
}

TEST_F(Launcher, TheSwitchesChooseTheInstallersAndTheUtilityFolderAndANewBoardGetsNoProfile) {
    const struct {
        const wchar_t* args;
        std::vector<std::string> installers;  // started after the driver installer
        const wchar_t* utility;               // where RC.dat and the applet are copied from
    } cases[] = {
        // The Lumora installer, watched, then the Harlo installer once the wizard has gone.
        {L"/both", {"Lumora\\setup.exe", "Harlo\\setup.exe"}, L"\\Tessly\\Utility"},
        {L"/Harlo", {"Harlo\\setup.exe"}, L"\\Harlo\\BorrinUtility"},
    };
    // The media builder marks the Harlo line's copies, so that the two sources can be told apart.
    ASSERT_NE(e2e::ReadFile(kMedia + L"\\Harlo\\BorrinUtility\\RC.dat"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\RC.dat"));
    ASSERT_NE(e2e::ReadFile(kMedia + L"\\Harlo\\BorrinUtility\\Pelkora.ex_"),
              e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkora.ex_"));
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.args));
        CleanUp();
        // New board (IsOldBoard 0): bit 18 of the wiring word decides, and it is clear.
        ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1));
        ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", 0));
        ASSERT_TRUE(e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", 0x40));

        e2e::Process launcher = StartLauncher(c.args);
        ASSERT_TRUE(launcher.started());
        HWND prompt = WaitForRestartPrompt(kInstallLimitMs);
        ASSERT_NE(prompt, nullptr);
        ASSERT_TRUE(AnswerRestartNo(prompt));
        ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0); }, 60000));

        const std::vector<LogEntry> log = ReadLog(kLog);
        const std::vector<LogEntry> starts = Events(log, "START");
        std::vector<std::string> expected = {"Tessly\\Driver\\Drivloom.exe"};
        expected.insert(expected.end(), c.installers.begin(), c.installers.end());
        expected.push_back("WMF\\wmfdist11.exe");
        ASSERT_GE(starts.size(), expected.size());
        EXPECT_EQ(Names(std::vector<LogEntry>(starts.begin(), starts.begin() + expected.size())), expected);
        const std::vector<LogEntry> hides = Events(log, "HIDE", "Lumora\\setup.exe");
        if (c.installers.size() == 2) {
            ASSERT_FALSE(hides.empty());
            EXPECT_GE(starts[2].ms, hides.back().ms + 1900);
        } else {
            EXPECT_TRUE(hides.empty());
        }

        const std::wstring utility = kMedia + c.utility;
        EXPECT_EQ(e2e::ReadFile(windir_ + L"\\MyInstall\\RC.reg"), e2e::ReadFile(utility + L"\\RC.dat"));
        EXPECT_EQ(e2e::ReadFile(windir_ + L"\\Pelkora.exe"), e2e::ReadFile(utility + L"\\Pelkora.ex_"));
        // Both lines take the TSS script and the device monitor from Tessly\Utility.
        EXPECT_EQ(e2e::ReadFile(windir_ + L"\\MyInstall\\TSS.reg"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\TSS.dat"));
        EXPECT_EQ(e2e::ReadFile(windir_ + L"\\Pelkwatch.exe"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_"));
        EXPECT_FALSE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use"));
        EXPECT_FALSE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKey, L"Profile"));
        EXPECT_TRUE(e2e::WaitFor([] { return e2e::FindTitle(kAppletTitle) != nullptr; }, 60000));
    }
}

TEST_F(Launcher, GuardMessageWhenTheWizardIsAlreadyOpen) {
    HWND wizard = OpenWizardLookalike();
    ASSERT_NE(wizard, nullptr);
    ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1));

    e2e::Process launcher = StartLauncher();
    ASSERT_TRUE(launcher.started());
    HWND box = nullptr;
    // Shown only once its texts are in place: found by its class and title before that.
    ASSERT_TRUE(e2e::WaitFor([&] { return (box = FindWindowW(L"#32770", L"Setup")) && IsWindowVisible(box); }, 60000));
    HWND frame = e2e::FindTitle(kFrameTitle);
    EXPECT_NE(frame, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), frame);
    const std::vector<std::wstring> texts = ChildTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        L"Another instance of Setup is currently running.\n\nPlease close ALL other applications and try again."),
              texts.end());
    // No "Setup.bin" in the launcher's folder: the built-in picture, stretched to the window
    // rectangle, with the title written on it in white from (12, 8).
    Ink title;
    EXPECT_TRUE(e2e::WaitFor([&] {
        return ShowsBuiltInSkin(frame) && (title = TitleInk(frame)).white > 200 && e2e::Drawn(GetDlgItem(box, IDOK));
    }, 60000));
    e2e::SaveScreenshot(L"setup-guard");
    EXPECT_TRUE(ShowsBuiltInSkin(frame)) << std::hex << e2e::ScreenPixel(frame, kSkinProbe.x, kSkinProbe.y)
                                         << " vs " << BuiltInSkinAtProbe();
    EXPECT_GT(title.white, 200);
    // The first letter's ink starts a little right of and below the text's origin.
    EXPECT_GE(title.left, 12);
    EXPECT_LE(title.left, 18);
    EXPECT_GE(title.top, 8);
    EXPECT_LE(title.top, 20);
    // The window menu has no working Close: the class is registered with CS_NOCLOSE, and the rest.
    EXPECT_EQ(GetClassLongW(frame, GCL_STYLE),
              static_cast<DWORD>(CS_NOCLOSE | CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));

    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0); }, 60000));
    DestroyWindow(wizard);

    // Nothing was started and nothing changed.
    EXPECT_TRUE(Events(ReadLog(kLog), "START").empty());
    EXPECT_TRUE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use"));
    EXPECT_FALSE(e2e::ValueExists(HKEY_LOCAL_MACHINE, kTunerKey, L"HarloMode"));
}

// The system folder's gdiplus.dll moved aside for a while, as on Windows XP, which keeps GDI+ only
// in its side-by-side store (Wine has it in both places).
class SystemGdiplusAway {
public:
    SystemGdiplusAway() {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        dll_ = std::wstring(system) + L"\\gdiplus.dll";
        moved_ = MoveFileExW(dll_.c_str(), (dll_ + L".away").c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    ~SystemGdiplusAway() {
        if (moved_) MoveFileExW((dll_ + L".away").c_str(), dll_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool moved() const { return moved_; }

private:
    std::wstring dll_;
    bool moved_ = false;
};

TEST_F(Launcher, ShowsSetupBinFromTheCurrentDirectoryInPlaceOfTheBuiltInPicture) {
    // A 1024 x 768 JPEG, orange on the left and green on the right, under the name Setup.bin.
    const std::wstring dir = e2e::TempDir(L"setup-e2e-skin");
    ASSERT_TRUE(e2e::CopyTo(Backslashed(e2e::Widen(SETUP_SKIN_JPEG)), dir + L"\\Setup.bin"));
    HWND wizard = OpenWizardLookalike();  // the guard holds the launcher at its message box
    ASSERT_NE(wizard, nullptr);

    // GDI+ from the system folder, then from the side-by-side store.
    for (bool sideBySide : {false, true}) {
        SCOPED_TRACE(sideBySide ? "side-by-side GDI+" : "system folder GDI+");
        std::unique_ptr<SystemGdiplusAway> away;
        if (sideBySide) {
            away = std::make_unique<SystemGdiplusAway>();
            ASSERT_TRUE(away->moved());
        }
        e2e::Process launcher = e2e::Start(L"\"" + kLauncher + L"\"", dir);
        ASSERT_TRUE(launcher.started());
        HWND box = nullptr;
        // Shown only once its texts are in place: found by its class and title before that.
        ASSERT_TRUE(e2e::WaitFor([&] { return (box = FindWindowW(L"#32770", L"Setup")) && IsWindowVisible(box); }, 60000));
        HWND frame = e2e::FindTitle(kFrameTitle);
        ASSERT_NE(frame, nullptr);
        // Scaled to the window: source x = client x * 1024 / window width.
        auto shown = [&] {
            return e2e::Near(e2e::ScreenPixel(frame, 60, 400), 0xFF, 0x80, 0x00, 16) && e2e::Near(e2e::ScreenPixel(frame, 740, 400), 0x00, 0xA0, 0x40, 16);
        };
        EXPECT_TRUE(e2e::WaitFor(shown, 60000));
        if (!sideBySide) {
            EXPECT_TRUE(e2e::WaitFor([&] { return e2e::Drawn(GetDlgItem(box, IDOK)); }, 60000));
            e2e::SaveScreenshot(L"setup-window-setup-bin");
        }
        EXPECT_TRUE(e2e::Near(e2e::ScreenPixel(frame, 60, 400), 0xFF, 0x80, 0x00, 16)) << std::hex << e2e::ScreenPixel(frame, 60, 400);
        EXPECT_TRUE(e2e::Near(e2e::ScreenPixel(frame, 740, 400), 0x00, 0xA0, 0x40, 16)) << std::hex << e2e::ScreenPixel(frame, 740, 400);

        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0); }, 60000));
    }
    DestroyWindow(wizard);
}

TEST_F(Launcher, ClosingTheWindowWhileAnInstallerRunsEndsOnlyTheLauncher) {
    e2e::Process launcher = StartLauncher();
    ASSERT_TRUE(launcher.started());
    ASSERT_TRUE(e2e::WaitFor([] { return e2e::FindTitle(kWizardTitle) != nullptr; }, 60000));
    HWND frame = e2e::FindTitle(kFrameTitle);
    ASSERT_NE(frame, nullptr);

    // The worker is waiting on the installer's slot right now.
    PostMessageW(frame, WM_CLOSE, 0, 0);
    DWORD code = 1;
    ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0, &code); }, 30000));
    EXPECT_EQ(code, 0u);

    // The wizard finishes on its own; nothing after it was started.
    EXPECT_TRUE(e2e::WaitFor([] { return Events(ReadLog(kLog), "HIDE", "Lumora\\setup.exe").size() == 2; }, 60000));
    EXPECT_EQ(Names(Events(ReadLog(kLog), "START")),
              (std::vector<std::string>{"Tessly\\Driver\\Drivloom.exe", "Lumora\\setup.exe"}));
}

}  // namespace
