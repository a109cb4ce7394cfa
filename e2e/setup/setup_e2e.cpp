// The real setup.exe on a media tree laid out by the media builder, under Wine: what it starts, in
// which order and where, what it leaves in the Windows directory and the registry, and how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "launcher_run.h"

using namespace launcher_run;

namespace {

// A media root with a blank in it, as when the media was copied to a folder like "TV Card".
const std::wstring kMedia = Backslashed(e2e::Widen(SETUP_E2E_MEDIA));
const std::wstring kLauncher = kMedia + L"\\Setup\\setup.exe";
const std::wstring kLog = kMedia + L"\\standin.log";
constexpr DWORD kInstallLimitMs = 240000;

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += static_cast<char>(c);
    return s;
}

std::vector<std::string> Names(const std::vector<LogEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.name);
    return out;
}

COLORREF ScreenPixel(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool Near(COLORREF c, int r, int g, int b, int tolerance) {
    return std::abs(GetRValue(c) - r) <= tolerance && std::abs(GetGValue(c) - g) <= tolerance &&
           std::abs(GetBValue(c) - b) <= tolerance;
}

// A pixel of the built-in skin (800 x 600, 24-bit, bottom-up) as the source tree holds it.
COLORREF BuiltInSkinPixel(int x, int y) {
    const std::string bmp = e2e::ReadFile(Backslashed(e2e::Widen(SETUP_SKIN_BMP)));
    const size_t at = 54 + static_cast<size_t>(599 - y) * 2400 + static_cast<size_t>(x) * 3;
    if (bmp.size() < at + 3) return CLR_INVALID;
    return RGB(static_cast<unsigned char>(bmp[at + 2]), static_cast<unsigned char>(bmp[at + 1]),
               static_cast<unsigned char>(bmp[at]));
}

// The screen's pixels in a box of a window's client area, 0x00RRGGBB, row by row.
std::vector<std::uint32_t> ClientPixels(HWND window, RECT box) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&box), 2);
    return e2e::ScreenPixels(box);
}

// Where white ink lies in the top-left corner of the setup window, whose built-in picture has no
// pixel brighter than (18, 45, 96) there: the count of pure white pixels, and the first column
// and row with any near-white one.
struct Ink {
    int white = 0, left = -1, top = -1;
};
Ink TitleInk(HWND frame) {
    const RECT box{0, 0, 480, 64};
    const std::vector<std::uint32_t> pixels = ClientPixels(frame, box);
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

// Whether a button shows its text yet: dark pixels on its face.
bool Drawn(HWND control) {
    RECT r;
    GetClientRect(control, &r);
    int dark = 0;
    for (std::uint32_t c : ClientPixels(control, r))
        dark += ((c >> 16) & 0xFF) < 0x50 && ((c >> 8) & 0xFF) < 0x50 && (c & 0xFF) < 0x50;
    return dark > 10;
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

// The DLLs that each test lays beside setup.exe, as into a download folder (testbed/planted). For
// programs named setup.exe, Wine is told to take them "native, builtin": it then looks for them as
// Windows does, in the program's folder first; its default prefers its built-in ones and would
// hide a planted file. (The same order in WINEDLLOVERRIDES of a Windows-side environment does not
// reach the child under Wine 8; the per-program registry setting does.)
const wchar_t* const kPlanted[] = {L"version.dll", L"gdiplus.dll"};
const wchar_t kLauncherDefaults[] = L"Software\\Wine\\AppDefaults\\setup.exe";

e2e::Process StartLauncher(const std::wstring& args = L"") {
    return e2e::Start(L"\"" + kLauncher + L"\"" + (args.empty() ? L"" : L" " + args), kMedia + L"\\Setup");
}

// What the planted DLLs left beside the launcher: "<dll>.loaded" when a process loaded one,
// "<dll>.<function>" when a program called into it. Wine's own user32 imports version.dll, so under
// that load order the planted one is loaded into every program beside it; only calls into it
// count for that one.
std::vector<std::string> PlantedEvidence() {
    std::vector<std::string> found;
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((kMedia + L"\\Setup\\*.dll.*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return found;
    do {
        const std::wstring name = f.cFileName;
        // The pattern also matches the DLLs themselves.
        if (name.find(L".dll.") != std::wstring::npos && name != L"version.dll.loaded") found.push_back(Narrow(name));
    } while (FindNextFileW(h, &f));
    FindClose(h);
    return found;
}

void RemovePlanted() {
    for (const wchar_t* dll : kPlanted) {
        RemoveFile(kMedia + L"\\Setup\\" + dll);
        for (const wchar_t* tail : {L".loaded", L".GetFileVersionInfoSizeA", L".GetFileVersionInfoA",
                                    L".VerQueryValueA", L".GdiplusStartup"})
            RemoveFile(kMedia + L"\\Setup\\" + dll + tail);
    }
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

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The log entries of a program that runs from outside the media (logged under its full path).
std::vector<LogEntry> EventsOf(const std::vector<LogEntry>& log, const std::string& event, const std::wstring& path) {
    std::vector<LogEntry> out;
    for (const auto& e : log)
        if (e.event == event && Lower(e.name) == Lower(Narrow(path))) out.push_back(e);
    return out;
}

DWORD OwnerOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

class Launcher : public ::testing::Test {
protected:
    // Nothing of an earlier run may remain, and nothing of this one is left for the next test:
    // windows, the log, installed files, registry keys.
    void SetUp() override {
        ASSERT_TRUE(CloseAll(kFrameTitle, 20000));
        ASSERT_TRUE(CloseAll(kWizardTitle, 20000));
        CleanUp();
        RemovePlanted();
        for (const wchar_t* dll : kPlanted) {
            ASSERT_TRUE(e2e::CopyTo(Backslashed(e2e::Widen(PLANTED_DIR)) + L"\\" + dll, kMedia + L"\\Setup\\" + dll));
            ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, std::wstring(kLauncherDefaults) + L"\\DllOverrides",
                                       std::wstring(dll, wcslen(dll) - 4), L"native,builtin"));
        }
    }

    // No launcher of this test loaded a planted DLL or called into one.
    void TearDown() override {
        CloseAll(kFrameTitle, 20000);
        CleanUp();
        EXPECT_EQ(PlantedEvidence(), std::vector<std::string>{});
        RemovePlanted();
        e2e::DeleteTree(HKEY_CURRENT_USER, kLauncherDefaults);
    }

    void CleanUp() {
        EXPECT_TRUE(CloseAll(kAppletTitle, 20000));
        EXPECT_TRUE(CloseAll(kMonitorTitle, 20000));
        RemoveFile(kLog);
        // A closed program may still be ending and hold its file for a moment.
        for (const wchar_t* f : {L"\\MyInstall\\RC.reg", L"\\MyInstall\\TSS.reg", L"\\Pelkora.exe", L"\\Pelkwatch.exe"})
            EXPECT_TRUE(e2e::WaitFor([&] {
                RemoveFile(windir_ + f);
                return !FileExists(windir_ + f);
            }, 20000)) << Narrow(f);
        e2e::DeleteTree(HKEY_CURRENT_USER, kAppletKey);
        e2e::DeleteTree(HKEY_LOCAL_MACHINE, kTssKey);
        e2e::DeleteTree(HKEY_LOCAL_MACHINE, kTunerKey);
    }

    const std::wstring windir_ = WindowsDir();
};

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
    EXPECT_TRUE(e2e::WaitFor([&] { return Drawn(GetDlgItem(prompt, IDOK)); }, 60000));
    e2e::SaveScreenshot(L"setup-restart-dialog");
    EXPECT_EQ(SendDlgItemMessageW(prompt, 1002, BM_GETCHECK, 0, 0), BST_UNCHECKED);
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
        return applet && OwnerOf(applet) != oldApplet.id();
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
    const COLORREF expected = BuiltInSkinPixel(60 * 800 / 801, 400 * 600 / 601);
    auto skinShown = [&] {
        return Near(ScreenPixel(frame, 60, 400), GetRValue(expected), GetGValue(expected), GetBValue(expected), 6);
    };
    Ink title;
    EXPECT_TRUE(e2e::WaitFor([&] { return skinShown() && (title = TitleInk(frame)).white > 200; }, 60000));
    e2e::SaveScreenshot(L"setup-guard");
    EXPECT_TRUE(skinShown()) << std::hex << ScreenPixel(frame, 60, 400) << " vs " << expected;
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
            return Near(ScreenPixel(frame, 60, 400), 0xFF, 0x80, 0x00, 16) && Near(ScreenPixel(frame, 740, 400), 0x00, 0xA0, 0x40, 16);
        };
        EXPECT_TRUE(e2e::WaitFor(shown, 60000));
        if (!sideBySide) e2e::SaveScreenshot(L"setup-window-setup-bin");
        EXPECT_TRUE(Near(ScreenPixel(frame, 60, 400), 0xFF, 0x80, 0x00, 16)) << std::hex << ScreenPixel(frame, 60, 400);
        EXPECT_TRUE(Near(ScreenPixel(frame, 740, 400), 0x00, 0xA0, 0x40, 16)) << std::hex << ScreenPixel(frame, 740, 400);

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

// ---- Faults -----------------------------------------------------------------------------------
// Each run installs from a copy of the media in which some files are missing, with a broken
// "Setup.bin" beside the launcher and registry values of the wrong type or size. Every file the
// sequence uses on this platform is missing in one of the runs; within a run, each missing file is
// followed in the sequence by present ones, whose effects show that the sequence went on. The
// stand-ins show no windows here, so a run takes a few seconds; the combinations of failures are
// the install fuzz target's business.

// A value as another program may have stored it.
struct StoredValue {
    HKEY root;
    const wchar_t* key;
    const wchar_t* name;
    DWORD type;
    std::string data;
};

struct FaultRun {
    const char* what;
    const wchar_t* switches;
    std::vector<std::string> missing;  // media files, relative to the media root
    std::string skin;                  // "Setup.bin" beside the launcher
    std::vector<StoredValue> values;
    bool profile;                      // "Profile" = "RC28Keys" written
    DWORD registered;                  // the library registered (1) or, on an Intercast conflict, unregistered (0)
};

const wchar_t kIntercastKey[] = L"SOFTWARE\\INTEL\\Intercast\\Drivers";
const wchar_t kPropwenKey[] = L"SOFTWARE\\Orvane\\TV Card Setup\\Propwen";  // what the stand-in records

// A 24-bit BMP of the given size, of which only `keep` bytes are written (all when 0).
std::string Bmp(LONG width, LONG height, size_t keep) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    const ULONGLONG pixels = ULONGLONG((width * 3 + 3) & ~3) * height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    const size_t total = keep ? keep : bytes.size() + static_cast<size_t>(pixels);
    while (bytes.size() < total) bytes.push_back(static_cast<char>(bytes.size() * 7));
    return bytes.substr(0, total);
}

// The stand-ins the sequence starts, in order, without the ones whose file is missing.
std::vector<std::string> ExpectedStarts(const std::wstring& switches, const std::vector<std::string>& missing) {
    const bool harloLine = _wcsicmp(switches.c_str(), L"/Harlo") == 0;
    const bool both = _wcsicmp(switches.c_str(), L"/BOTH") == 0;
    std::vector<std::string> order = {"Tessly\\Driver\\Drivloom.exe", harloLine ? "Harlo\\setup.exe" : "Lumora\\setup.exe"};
    if (both) order.push_back("Harlo\\setup.exe");
    // Wine's VERSION.DLL says 5.1: the platform is below 6.0 (see the test of the whole order). The
    // MP10 set-up stands in for a Media Format package that cannot be started.
    const bool noWmf = std::find(missing.begin(), missing.end(), "WMF\\wmfdist11.exe") != missing.end();
    order.push_back(noWmf ? "MP10\\mp10setup.exe" : "WMF\\wmfdist11.exe");
    order.push_back("MP10\\windowsmedia10-kb905592-x86-intl.exe");
    order.push_back("Extra\\Setup.exe");
    order.insert(order.end(), {"MPEG4\\wmpcdcs8.exe", "DirectX\\dxsetup.exe"});
    std::vector<std::string> started;
    for (const auto& name : order)
        if (std::find(missing.begin(), missing.end(), name) == missing.end()) started.push_back(name);
    return started;
}

TEST_F(Launcher, MissingMediaFilesBrokenSkinsAndOddRegistryValuesStillEndAtTheRestartPrompt) {
    const std::string oversize = "SAA7130" + std::string(293, '.');  // 300 bytes: more than the 260 read
    const FaultRun runs[] = {
        {"no switch", L"",
         {"Tessly\\Driver\\Drivloom.exe", "Tessly\\Utility\\RC.dat", "Tessly\\Utility\\Pelkwatch.ex_",
          "WMF\\wmfdist11.exe", "MP10\\windowsmedia10-kb905592-x86-intl.exe"},
         Bmp(64, 64, 2000),  // truncated
         {{HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", REG_BINARY, std::string(8, '\0')},  // too large: missing, old board
          {HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", REG_BINARY, e2e::DwordBytes(0x40)},               // 4 bytes: taken
          {HKEY_LOCAL_MACHINE, kIntercastKey, L"Capture Description", REG_BINARY, oversize}},  // not read
         true, 1},
        {"/Harlo", L"/Harlo",
         {"Harlo\\setup.exe", "Harlo\\BorrinUtility\\RC.dat", "Harlo\\BorrinUtility\\Pelkora.ex_", "Extra\\Setup.exe",
          "MPEG4\\wmpcdcs8.exe"},
         "Setup.bin is a text, not a picture.\r\n",
         {{HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", REG_SZ, e2e::Utf16Bytes(L"0")},  // 2 bytes: missing, old board
          {HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", REG_DWORD, e2e::DwordBytes(0x40000)},  // the new board's bit only
          {HKEY_LOCAL_MACHINE, kIntercastKey, L"Capture Description", REG_EXPAND_SZ, e2e::Utf16Bytes(L"philips saa7130 capture")}},
         false, 0},
        {"/BOTH", L"/BOTH",
         {"Lumora\\setup.exe", "Tessly\\Utility\\TSS.dat", "Tessly\\Utility\\Pelkora.ex_", "DirectX\\dxsetup.exe"},
         Bmp(40000, 40000, 4096),  // claims 4.8 GB of pixels
         {{HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", REG_QWORD, std::string(8, '\0')},
          {HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", REG_DWORD_BIG_ENDIAN, e2e::DwordBytes(0x40)},
          // Only the text before the first zero counts: the chip's name after it is no conflict.
          {HKEY_LOCAL_MACHINE, kIntercastKey, L"Capture Description", REG_MULTI_SZ,
           e2e::Utf16Bytes(L"x") + e2e::Utf16Bytes(L"SAA7130") + std::string(2, '\0')}},
         true, 1},
    };

    // The library the launcher registers, in the system directory for these runs.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring library = std::wstring(system) + L"\\Propwen.dll";
    ASSERT_TRUE(e2e::CopyTo(Backslashed(e2e::Widen(SETUP_PROPWEN_DLL)), library));

    for (const FaultRun& run : runs) {
        SCOPED_TRACE(run.what);
        CleanUp();
        e2e::DeleteTree(HKEY_LOCAL_MACHINE, kIntercastKey);
        e2e::DeleteTree(HKEY_LOCAL_MACHINE, kPropwenKey);
        const std::wstring media = e2e::TempDir(L"setup-e2e-faults") + L"\\TV Card";
        ASSERT_TRUE(CopyTree(kMedia, media));
        RemoveFile(media + L"\\standin.log");
        {
            std::ofstream ini(Narrow(media + L"\\standin.ini"), std::ios::binary | std::ios::trunc);
            ini << "[standin]\r\nLog=standin.log\r\n";  // every stand-in ends at once, without a window
        }
        for (const auto& name : run.missing) ASSERT_TRUE(DeleteFileW((media + L"\\" + e2e::Widen(name)).c_str()));
        {
            std::ofstream skin(Narrow(media + L"\\Setup\\Setup.bin"), std::ios::binary | std::ios::trunc);
            skin << run.skin;
        }
        ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1));
        for (const auto& v : run.values) ASSERT_TRUE(e2e::SetRaw(v.root, v.key, v.name, v.type, v.data));
        const Tree windowsBefore = Snapshot(windir_);
        const Tree mediaBefore = Snapshot(media);

        e2e::Process launcher = e2e::Start(L"\"" + media + L"\\Setup\\setup.exe\"" + (*run.switches ? L" " : L"") +
                                               run.switches,
                                           media + L"\\Setup");
        ASSERT_TRUE(launcher.started());
        HWND prompt = nullptr;
        ASSERT_TRUE(e2e::WaitFor([&] { return (prompt = e2e::FindTitle(kRestartTitle)) != nullptr; }, kInstallLimitMs));
        // The broken picture was not used: the built-in one shows, stretched to the window.
        HWND frame = e2e::FindTitle(kFrameTitle);
        ASSERT_NE(frame, nullptr);
        e2e::Pump(300);
        e2e::SaveScreenshot(L"setup-faults-" + e2e::Widen(run.what[0] == '/' ? run.what + 1 : "noswitch"));
        const COLORREF expected = BuiltInSkinPixel(60 * 800 / 801, 400 * 600 / 601);
        const COLORREF shown = ScreenPixel(frame, 60, 400);
        EXPECT_TRUE(Near(shown, GetRValue(expected), GetGValue(expected), GetBValue(expected), 6))
            << std::hex << shown << " vs " << expected;
        ASSERT_TRUE(AnswerRestartNo(prompt));
        DWORD code = 1;
        ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0, &code); }, 60000));
        EXPECT_EQ(code, 0u);

        // Every program present was started, in order; the missing ones were not found elsewhere.
        EXPECT_EQ(Names(Events(ReadLog(media + L"\\standin.log"), "START")), ExpectedStarts(run.switches, run.missing));

        // Each installed file is the media's, or absent when the media lacked it.
        const bool harlo = _wcsicmp(run.switches, L"/Harlo") == 0;
        const std::string line = harlo ? "Harlo\\BorrinUtility\\" : "Tessly\\Utility\\";
        auto missing = [&](const std::string& name) {
            return std::find(run.missing.begin(), run.missing.end(), name) != run.missing.end();
        };
        const struct {
            const wchar_t* installed;
            std::string source;
        } files[] = {{L"\\MyInstall\\RC.reg", line + "RC.dat"},
                     {L"\\MyInstall\\TSS.reg", "Tessly\\Utility\\TSS.dat"},
                     {L"\\Pelkwatch.exe", "Tessly\\Utility\\Pelkwatch.ex_"},
                     {L"\\Pelkora.exe", line + "Pelkora.ex_"}};
        for (const auto& f : files) {
            if (missing(f.source))
                EXPECT_FALSE(FileExists(windir_ + f.installed)) << f.source;
            else
                EXPECT_EQ(e2e::ReadFile(windir_ + f.installed), e2e::ReadFile(kMedia + L"\\" + e2e::Widen(f.source)))
                    << f.source;
        }
        // The registry scripts were imported only when they were there.
        const auto rcKeys = KeysOfScript(kMedia + L"\\" + e2e::Widen(line) + L"RC.dat");
        for (const auto& [root, path] : rcKeys) {
            if (path == kAppletKey) continue;  // there before the run
            if (missing(line + "RC.dat"))
                EXPECT_FALSE(KeyExists(root, path)) << Narrow(path);
            else
                EXPECT_TRUE(e2e::WaitFor([&] { return KeyExists(root, path); }, 30000)) << Narrow(path);
        }
        EXPECT_EQ(e2e::ValueExists(HKEY_LOCAL_MACHINE, kTssKey, L"Imported"), !missing("Tessly\\Utility\\TSS.dat"));
        // The values of the wrong type or size gave what the rules for missing values give.
        std::wstring profile;
        EXPECT_EQ(e2e::GetString(HKEY_CURRENT_USER, kAppletKey, L"Profile", &profile), run.profile);
        if (run.profile) {
            EXPECT_EQ(profile, L"RC28Keys");
        }
        DWORD registered = 99, calls = 0;
        EXPECT_TRUE(e2e::WaitFor([&] { return e2e::GetDword(HKEY_LOCAL_MACHINE, kPropwenKey, L"Calls", &calls); }, 30000));
        EXPECT_EQ(calls, 1u);
        EXPECT_TRUE(e2e::GetDword(HKEY_LOCAL_MACHINE, kPropwenKey, L"Registered", &registered));
        EXPECT_EQ(registered, run.registered);
        // The installed applet starts and runs on the odd tuner values.
        if (!missing(line + "Pelkora.ex_"))
            EXPECT_TRUE(e2e::WaitFor([] { return e2e::FindTitle(kAppletTitle) != nullptr; }, 60000));
        else
            EXPECT_EQ(e2e::FindTitle(kAppletTitle), nullptr);

        // Nothing else was touched: in the Windows directory only what the installation names, on
        // the media only the stand-ins' log.
        const std::vector<std::wstring> installed = {L"myinstall", L"myinstall\\rc.reg", L"myinstall\\tss.reg",
                                                     L"myinstall\\ts.reg", L"myinstall\\peruser.inf", L"pelkwatch.exe",
                                                     L"pelkora.exe", L"borrinrmt.exe"};
        for (const auto& path : Changes(windowsBefore, Snapshot(windir_)))
            EXPECT_TRUE(std::find(installed.begin(), installed.end(), path) != installed.end())
                << "changed in the Windows directory: " << Narrow(path);
        // (The planted version.dll copied with the media is loaded by Wine's own user32, which
        // imports it, and says so; a call from the launcher would leave more.)
        for (const auto& path : Changes(mediaBefore, Snapshot(media)))
            EXPECT_TRUE(path == L"standin.log" || path == L"setup\\version.dll.loaded")
                << "changed on the media: " << Narrow(path);
    }
    CleanUp();
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kIntercastKey);
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kPropwenKey);
    RemoveFile(library);
}

// ---- Folders ----------------------------------------------------------------------------------

bool WriteText(const std::wstring& path, const std::string& text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(f);
    return ok;
}

// A copy of the media whose stand-ins end at once, without windows, and log to its own log.
bool CopyQuietMedia(const std::wstring& to) {
    if (!CopyTree(kMedia, to)) return false;
    RemoveFile(to + L"\\standin.log");
    return WriteText(to + L"\\standin.ini", "[standin]\r\nLog=standin.log\r\n");
}

// The ANSI code page here is Western (1252): a folder named in Cyrillic has no ANSI name, and the
// launcher takes its short form. (Wine gives every long name a plain short one and cannot start a
// program whose path does not fit 260 characters, so a path without any exact ANSI form is left to
// the unit tests.)
TEST_F(Launcher, InstallsFromAFolderNamedInAnotherScript) {
    ASSERT_EQ(GetACP(), 1252u);
    const std::wstring media = e2e::TempDir(L"setup-e2e-script") + L"\\\u0414\u043C\u0438\u0442\u0440\u0438\u0439\\TV Card";
    ASSERT_TRUE(CreateDirectoryW(media.substr(0, media.rfind(L'\\')).c_str(), nullptr));
    ASSERT_TRUE(CopyQuietMedia(media));
    ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1));
    e2e::Process launcher = e2e::Start(L"\"" + media + L"\\Setup\\setup.exe\"", media + L"\\Setup");
    ASSERT_TRUE(launcher.started());
    HWND prompt = nullptr;
    ASSERT_TRUE(e2e::WaitFor([&] { return (prompt = e2e::FindTitle(kRestartTitle)) != nullptr; }, kInstallLimitMs));
    ASSERT_TRUE(AnswerRestartNo(prompt));
    ASSERT_TRUE(e2e::WaitFor([&] { return launcher.WaitExit(0); }, 60000));
    // Every stand-in started from the media, and the programs were copied.
    EXPECT_EQ(Names(Events(ReadLog(media + L"\\standin.log"), "START")), ExpectedStarts(L"", {}));
    EXPECT_EQ(e2e::ReadFile(windir_ + L"\\Pelkora.exe"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkora.ex_"));
    EXPECT_EQ(e2e::ReadFile(windir_ + L"\\Pelkwatch.exe"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\Pelkwatch.ex_"));
    EXPECT_EQ(e2e::ReadFile(windir_ + L"\\MyInstall\\RC.reg"), e2e::ReadFile(kMedia + L"\\Tessly\\Utility\\RC.dat"));
    EXPECT_FALSE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use"));
    EXPECT_FALSE(FileExists(media + L"\\Setup\\gdiplus.dll.loaded"));
    EXPECT_TRUE(e2e::WaitFor([] { return e2e::FindTitle(kAppletTitle) != nullptr; }, 60000));
}

}  // namespace
