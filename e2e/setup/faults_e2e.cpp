// Installations whose point is a fault: media files missing, a broken "Setup.bin", registry values
// of the wrong type or size, a media folder whose name the ANSI code page cannot hold. Each still
// ends at the restart prompt, with everything that was there installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "launcher_fixture.h"

using namespace launcher_e2e;

namespace {

constexpr DWORD kUiLimitMs = 20000;

// Each run installs from a copy of the media in which some files are missing, with a broken
// "Setup.bin" beside the launcher and registry values of the wrong type or size. Every file the
// sequence uses on this platform is missing in one of the runs; within a run, each missing file is
// followed in the sequence by present ones, whose effects show that the sequence went on. The
// stand-ins show no windows here, so a run takes a few seconds; the combinations of failures are
// the install fuzz target's business.

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
        ASSERT_TRUE(CopyQuietMedia(media));
        for (const auto& name : run.missing) ASSERT_TRUE(DeleteFileW((media + L"\\" + e2e::Widen(name)).c_str()));
        ASSERT_TRUE(WriteText(media + L"\\Setup\\Setup.bin", run.skin));
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
        EXPECT_TRUE(e2e::WaitFor([&] { return ShowsBuiltInSkin(frame); }, kUiLimitMs))
            << std::hex << e2e::ScreenPixel(frame, kSkinProbe.x, kSkinProbe.y) << " vs " << BuiltInSkinAtProbe();
        EXPECT_TRUE(e2e::WaitFor([&] { return e2e::Drawn(GetDlgItem(prompt, IDOK)); }, kUiLimitMs));
        e2e::SaveScreenshot(L"setup-faults-" + e2e::Widen(run.what[0] == '/' ? run.what + 1 : "noswitch"));
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
