// The fixture of the launcher's end-to-end tests: the real setup.exe on a media tree laid out by the
// media builder, with the DLLs that a download folder may hold planted beside it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "launcher_run.h"

namespace launcher_e2e {

using namespace launcher_run;

// A media root with a blank in it, as when the media was copied to a folder like "TV Card".
inline const std::wstring kMedia = Backslashed(e2e::Widen(SETUP_E2E_MEDIA));
inline const std::wstring kLauncher = kMedia + L"\\Setup\\setup.exe";
inline const std::wstring kLog = kMedia + L"\\standin.log";
constexpr DWORD kInstallLimitMs = 240000;

// A pixel of the built-in skin (800 x 600, 24-bit, bottom-up) as the source tree holds it.
inline COLORREF BuiltInSkinPixel(int x, int y) {
    const std::string bmp = e2e::ReadFile(Backslashed(e2e::Widen(SETUP_SKIN_BMP)));
    const size_t at = 54 + static_cast<size_t>(599 - y) * 2400 + static_cast<size_t>(x) * 3;
    if (bmp.size() < at + 3) return CLR_INVALID;
    return RGB(static_cast<unsigned char>(bmp[at + 2]), static_cast<unsigned char>(bmp[at + 1]),
               static_cast<unsigned char>(bmp[at]));
}

// Where the tests look at the window's picture: a point of its client area, and the pixel of the
// built-in picture that shows there once the picture is stretched to the window rectangle.
constexpr POINT kSkinProbe{60, 400};
inline COLORREF BuiltInSkinAtProbe() { return BuiltInSkinPixel(60 * 800 / 801, 400 * 600 / 601); }
inline bool ShowsBuiltInSkin(HWND frame) {
    const COLORREF expected = BuiltInSkinAtProbe();
    return e2e::Near(e2e::ScreenPixel(frame, kSkinProbe.x, kSkinProbe.y), GetRValue(expected), GetGValue(expected),
                     GetBValue(expected), 6);
}

// The DLLs that each test lays beside setup.exe, as into a download folder (testbed/planted). For
// programs named setup.exe, Wine is told to take them "native, builtin": it then looks for them as
// Windows does, in the program's folder first; its default prefers its built-in ones and would
// hide a planted file. (The same order in WINEDLLOVERRIDES of a Windows-side environment does not
// reach the child under Wine 8; the per-program registry setting does.)
inline const wchar_t* const kPlanted[] = {L"version.dll", L"gdiplus.dll"};
inline const wchar_t kLauncherDefaults[] = L"Software\\Wine\\AppDefaults\\setup.exe";

inline e2e::Process StartLauncher(const std::wstring& args = L"") {
    return e2e::Start(L"\"" + kLauncher + L"\"" + (args.empty() ? L"" : L" " + args), kMedia + L"\\Setup");
}

// What the planted DLLs left beside the launcher: "<dll>.loaded" when a process loaded one,
// "<dll>.<function>" when a program called into it. Wine's own user32 imports version.dll, so under
// that load order the planted one is loaded into every program beside it; only calls into it
// count for that one.
inline std::vector<std::string> PlantedEvidence() {
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

inline void RemovePlanted() {
    for (const wchar_t* dll : kPlanted) {
        RemoveFile(kMedia + L"\\Setup\\" + dll);
        for (const wchar_t* tail : {L".loaded", L".GetFileVersionInfoSizeA", L".GetFileVersionInfoA",
                                    L".VerQueryValueA", L".GdiplusStartup"})
            RemoveFile(kMedia + L"\\Setup\\" + dll + tail);
    }
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
        SCOPED_TRACE("clean-up");
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

}  // namespace launcher_e2e
