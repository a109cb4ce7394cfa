// The installation sequence, compared as whole traces of what the launcher does.
#include <algorithm>

#include "sequence_fixture.h"

namespace setup {
namespace {

using fake::Only;
using fake::TailFrom;
using fake::Trace;

const std::string kTessly = R"(Tessly\Utility)";
const std::string kBorrin = R"(Harlo\BorrinUtility)";

// Start, wait and close of one child from the media root.
Trace Child(const std::string& program, const std::string& folder, const std::string& at = "",
            const std::string& args = "") {
    return {"Start(\"D:\\" + program + args + "\", \"D:\\" + folder + "\")" + at,
            "WaitFor(P " + program + ", INFINITE)", "CloseHandle(P " + program + ")",
            "CloseHandle(T " + program + ")"};
}

Trace Preparation() {
    return {
        R"(KillTimer(frame, 128))",
        R"(FindWindow(null, "Lumora - InstallShield Wizard"))",
        R"(OpenKey(HKCU Applet, 0xF003F))",
        R"(DeleteValue(Applet, "Do Not Use"))",
        R"(CloseKey(Applet))",
        R"(ProductVersion(C:\WINDOWS\system32\VERSION.DLL))",
        R"(CreateKey(HKLM Tunvex, 0, 0xF003F))",
        R"(SetValue(Tunvex, "HarloMode", type 4, 4 bytes 0x0))",
        R"(CloseKey(Tunvex))",
        R"(Start("D:\Tessly\Driver\Drivloom.exe /NOREBOOT", "D:\Tessly\Driver"))",
        R"(StartWorker)",
    };
}

Trace Installer(const std::string& dir) {
    return {
        R"(WaitFor(P Driver\Drivloom.exe, INFINITE))",
        R"(CloseHandle(P Driver\Drivloom.exe))",
        R"(CloseHandle(T Driver\Drivloom.exe))",
        R"(FindWindow("Afx:00400000:0", "Nuvex Schedule Agent"))",
        "Start(\"D:\\" + dir + "\\setup.exe\", \"D:\\" + dir + "\")",
        "WaitIdle(P " + dir + "\\setup.exe, INFINITE)",
        R"(CreateEvent(manual, unset))",
        R"(PostMessage(frame, 0x8001))",
        R"(SetTimer(frame, 200, 1000))",
        R"(OpenKey(HKLM Intercast, 0xF003F) fails)",
        R"(WinExec("C:\WINDOWS\system32\regsvr32.exe /s C:\WINDOWS\system32\Propwen.dll", 0))",
    };
}

Trace Scripts(const std::string& utility) {
    return {
        R"(CreateDirectory(C:\WINDOWS\MyInstall))",
        R"(SetFileAttributes(C:\WINDOWS\MyInstall\TS.reg, 0x80))",
        R"(DeleteFile(C:\WINDOWS\MyInstall\TS.reg))",
        R"(SetFileAttributes(C:\WINDOWS\MyInstall\TSS.reg, 0x80))",
        R"(DeleteFile(C:\WINDOWS\MyInstall\TSS.reg))",
        R"(SetFileAttributes(C:\WINDOWS\MyInstall\RC.reg, 0x80))",
        R"(DeleteFile(C:\WINDOWS\MyInstall\RC.reg))",
        "CopyFile(D:\\" + utility + R"(\RC.dat, C:\WINDOWS\MyInstall\RC.reg, 0))",
        R"(WinExec("C:\WINDOWS\regedit.exe /s C:\WINDOWS\MyInstall\RC.reg", 0))",
        R"(CopyFile(D:\Tessly\Utility\TSS.dat, C:\WINDOWS\MyInstall\TSS.reg, 0))",
        R"(Start("C:\WINDOWS\regedit.exe /s C:\WINDOWS\MyInstall\TSS.reg", "C:\WINDOWS"))",
    };
}

Trace WaitInstaller(const std::string& dir) {
    return {
        "WaitFor(P " + dir + "\\setup.exe, INFINITE)",
        R"(WaitFor(E1, INFINITE))",
        R"(FindWindow(null, "Lumora - InstallShield Wizard"))",
        R"(FindWindow(null, "Lumora - InstallShield Wizard"))",
        R"(FindWindow(null, "Lumora - InstallShield Wizard"))",
        R"(KillTimer(frame, 200))",
        R"(SetEvent(E1))",
        R"(CloseHandle(E1))",
        "CloseHandle(P " + dir + "\\setup.exe)",
        "CloseHandle(T " + dir + "\\setup.exe)",
    };
}

Trace Profile() {
    return {
        R"(Sleep(1000))",
        R"(OpenKey(HKLM Tunvex, 0xF003F))",
        R"(QueryValue(Tunvex, "DeviceID", type 4, size 4))",
        R"(QueryValue(Tunvex, "SubvendorID", type 4, size 4))",
        R"(QueryValue(Tunvex, "SubsystemID", type 4, size 4))",
        R"(QueryValue(Tunvex, "IsOldBoard", type 4, size 4))",
        R"(QueryValue(Tunvex, "GPIO", type 4, size 4))",
        R"(CloseKey(Tunvex))",
    };
}

// The per-account step registered, on a machine where it was never registered before.
Trace EveryAccount() {
    return {
        R"(ReadFile(C:\WINDOWS\MyInstall\RC.reg) fails)",
        R"(ReadFile(C:\WINDOWS\MyInstall\TSS.reg) fails)",
        R"(CreateKey(HKLM Component, 0, 0xF013F))",
        R"(QueryValue(Component, "Version", type 1, size 63))",
        R"(WriteFile(C:\WINDOWS\MyInstall\PerUser.inf))",
        R"(SetValue(Component, "", type 1, 30 bytes "TV Card Remote Control Applet\0"))",
        R"(SetValue(Component, "ComponentID", type 1, 30 bytes "TV Card Remote Control Applet\0"))",
        R"(SetValue(Component, "IsInstalled", type 4, 4 bytes 0x1))",
        R"(SetValue(Component, "StubPath", type 1, 117 bytes "C:\WINDOWS\system32\rundll32.exe setupapi.dll,InstallHinfSection DefaultInstall 128 C:\WINDOWS\MyInstall\PerUser.inf\0"))",
        R"(SetValue(Component, "Version", type 1, 8 bytes "1,0,0,1\0"))",
        R"(CloseKey(Component))",
        R"(CreateKey(HKCU AccountRecord, 0, 0xF003F))",
        R"(SetValue(AccountRecord, "Version", type 1, 8 bytes "1,0,0,1\0"))",
        R"(CloseKey(AccountRecord))",
    };
}

Trace Applet(const std::string& utility) {
    return Cat({EveryAccount(), {
        R"(FindWindow(null, "TV Card Remote Control Device Monitor"))",
        R"(FindWindow(null, "TV Card Remote Control Applet"))",
        R"(FindWindow(null, "PCI TV Card Remote Control Applet"))",
        R"(SetFileAttributes(C:\WINDOWS\Pelkwatch.exe, 0x80))",
        R"(DeleteFile(C:\WINDOWS\Pelkwatch.exe))",
        R"(CopyFile(D:\Tessly\Utility\Pelkwatch.ex_, C:\WINDOWS\Pelkwatch.exe, 0))",
        R"(DeleteFile(C:\WINDOWS\Pelkwatch.exe.pending))",
        R"(SetFileAttributes(C:\WINDOWS\Pelkora.exe, 0x80))",
        R"(DeleteFile(C:\WINDOWS\Pelkora.exe))",
        R"(SetFileAttributes(C:\WINDOWS\BorrinRMT.exe, 0x80))",
        R"(DeleteFile(C:\WINDOWS\BorrinRMT.exe))",
        "CopyFile(D:\\" + utility + R"(\Pelkora.ex_, C:\WINDOWS\Pelkora.exe, 0))",
        R"(DeleteFile(C:\WINDOWS\Pelkora.exe.pending))",
        R"(GetProcAddress(CreateProcessWithTokenW) fails)",
        R"(Start("C:\WINDOWS\Pelkora.exe", "C:\WINDOWS"))",
        R"(CloseHandle(P WINDOWS\Pelkora.exe))",
        R"(CloseHandle(T WINDOWS\Pelkora.exe))",
    }});
}

Trace Hotfix() {
    return Cat({{"BringWindowToTop(frame)"},
                Child(R"(MP10\windowsmedia10-kb905592-x86-intl.exe)", "MP10", " at (260, 187)"),
                Child(R"(Extra\Setup.exe)", "Extra")});
}

Trace RedistBelowSix() {
    return Cat({Child(R"(WMF\wmfdist11.exe)", "WMF", "", " /norestart"), Hotfix(), Child(R"(MPEG4\wmpcdcs8.exe)", "MPEG4"),
                {"BringWindowToTop(frame)"},
                Child(R"(DirectX\dxsetup.exe)", "DirectX", " at (260, 190)")});
}

Trace End() {
    return {
        R"(WaitFor(P WINDOWS\regedit.exe, INFINITE))",
        R"(CloseHandle(P WINDOWS\regedit.exe))",
        R"(CloseHandle(T WINDOWS\regedit.exe))",
        R"(DialogBox(131, frame))",
        R"(SetCheck(1001, 1))",
        R"(ExitWindowsEx(2, 0))",
        R"(PostMessage(frame, 0x10))",
        R"(KillTimer(frame, 200))",  // the close handler, on the GUI thread
    };
}

// The WMF package replaced with its own start lines (the rest of the row unchanged).
Trace Redist(const Trace& wmf) {
    Trace all = RedistBelowSix();
    all.erase(all.begin(), all.begin() + 4);
    all.insert(all.begin(), wmf.begin(), wmf.end());
    return all;
}

TEST_F(SequenceTest, NoSwitchRunsTheLumoraLineAndThePlatformDecidesTheOlderRedistributables) {
    const struct {
        std::uint32_t platform;
        bool belowSix;
    } cases[] = {{0x00050001, true}, {0, true}, {0x0005FFFF, true}, {0x00060000, false}, {0x000A0000, false}};
    for (const auto& c : cases) {
        Fresh();
        world->platform = c.platform;
        const Trace redist = c.belowSix ? RedistBelowSix() : Cat({Hotfix(), {"BringWindowToTop(frame)"}});
        EXPECT_TRACE(Run(), Cat({Preparation(), Installer("Lumora"), Scripts(kTessly), WaitInstaller("Lumora"),
                                 Profile(), Applet(kTessly), redist, End()}))
            << std::hex << c.platform;
        EXPECT_EQ(world->Find(RegRoot::CurrentUser, fake::kAppletKey, "Do Not Use"), nullptr);
        EXPECT_NE(world->Find(RegRoot::LocalMachine, fake::kTunerKey, "HarloMode"), nullptr);
        EXPECT_EQ(world->Find(RegRoot::CurrentUser, fake::kAppletKey, "Profile"), nullptr);
        EXPECT_TRUE(frame->OnQueryEndSession());
    }
}

TEST_F(SequenceTest, HarloTakesTheHarloInstallerScriptAndApplet) {
    EXPECT_TRACE(Run("D:\\", 1, 0), Cat({Preparation(), Installer("Harlo"), Scripts(kBorrin),
                                     WaitInstaller("Harlo"), Profile(), Applet(kBorrin),
                                     RedistBelowSix(), End()}));
}

TEST_F(SequenceTest, BothRunsTheHarloInstallerUnwatchedAfterLumora) {
    EXPECT_TRACE(Run("D:\\", 0, 1), Cat({Preparation(), Installer("Lumora"), Scripts(kTessly),
                                     WaitInstaller("Lumora"), Child(R"(Harlo\setup.exe)", "Harlo"),
                                     Profile(), Applet(kTessly), RedistBelowSix(), End()}));
    Fresh();  // both switches set as flags: the both flag wins
    EXPECT_TRACE(Run("D:\\", 1, 1), Cat({Preparation(), Installer("Lumora"), Scripts(kTessly),
                                     WaitInstaller("Lumora"), Child(R"(Harlo\setup.exe)", "Harlo"),
                                     Profile(), Applet(kTessly), RedistBelowSix(), End()}));
}

TEST_F(SequenceTest, GuardShowsTheMessageAndClosesWithoutChangingAnything) {
    world->AddWindow("#32770", "Lumora - InstallShield Wizard");
    EXPECT_TRACE(Run(), (Trace{
                         R"(KillTimer(frame, 128))",
                         R"(FindWindow(null, "Lumora - InstallShield Wizard"))",
                         R"(MessageBox(frame, "Another instance of Setup is currently running.\n\nPlease close ALL other applications and try again.", "Setup", 0x10))",
                         R"(PostMessage(frame, 0x10))",
                     }));
    EXPECT_NE(world->Find(RegRoot::CurrentUser, fake::kAppletKey, "Do Not Use"), nullptr);
    EXPECT_FALSE(frame->OnQueryEndSession());
}

TEST_F(SequenceTest, FolderWithoutAnExactAnsiPathSaysSoAndEndsWithoutInstallingOrPrompting) {
    EXPECT_TRACE(Run(""), (Trace{
                              R"(KillTimer(frame, 128))",
                              R"(MessageBox(frame, "Setup cannot run from this folder: its name cannot be passed on to the installers.\n\nPlease copy the setup files to a folder with a plain name, such as C:\TV Card, and run Setup from there.", "Setup", 0x10))",
                              R"(PostMessage(frame, 0x10))",
                          }));
    EXPECT_FALSE(world->workerStarted);
    EXPECT_NE(world->Find(RegRoot::CurrentUser, fake::kAppletKey, "Do Not Use"), nullptr);
}

TEST_F(SequenceTest, MediaRootStartFailingFallsBackToTheRelativeForm) {
    world->failingStarts.insert(R"(D:\Tessly\Driver\Drivloom.exe /NOREBOOT)");
    Trace prep = Preparation();
    prep[9] = R"(Start("D:\Tessly\Driver\Drivloom.exe /NOREBOOT", "D:\Tessly\Driver") fails)";
    prep.insert(prep.begin() + 10, R"(Start("Driver\Drivloom.exe /NOREBOOT", "Driver"))");
    EXPECT_TRACE(Run(), Cat({prep, Installer("Lumora"), Scripts(kTessly), WaitInstaller("Lumora"),
                          Profile(), Applet(kTessly), RedistBelowSix(), End()}));
}

TEST_F(SequenceTest, WmfThatCannotStartIsReplacedByMp10Setup) {
    world->failingStarts = {R"(D:\WMF\wmfdist11.exe /norestart)", R"(WMF\wmfdist11.exe /norestart)"};
    const Trace wmf = Cat({{R"(Start("D:\WMF\wmfdist11.exe /norestart", "D:\WMF") fails)",
                            R"(Start("WMF\wmfdist11.exe /norestart", "WMF") fails)"},
                           Child(R"(MP10\mp10setup.exe)", "MP10")});
    EXPECT_TRACE(Run(), Cat({Preparation(), Installer("Lumora"), Scripts(kTessly),
                          WaitInstaller("Lumora"), Profile(), Applet(kTessly), Redist(wmf), End()}));

    // The relative form starting is enough: MP10 is not tried.
    Fresh();
    world->failingStarts = {R"(D:\WMF\wmfdist11.exe /norestart)"};
    const Trace relative = {R"(Start("D:\WMF\wmfdist11.exe /norestart", "D:\WMF") fails)",
                            R"(Start("WMF\wmfdist11.exe /norestart", "WMF"))",
                            R"(WaitFor(P WMF\wmfdist11.exe, INFINITE))",
                            R"(CloseHandle(P WMF\wmfdist11.exe))", R"(CloseHandle(T WMF\wmfdist11.exe))"};
    EXPECT_TRACE(Run(), Cat({Preparation(), Installer("Lumora"), Scripts(kTessly),
                          WaitInstaller("Lumora"), Profile(), Applet(kTessly), Redist(relative),
                          End()}));
}

TEST_F(SequenceTest, FailedStartAfterAClosedChildWaitsOnNothing) {
    // Extra ran and was closed; the codec pack then fails in both forms: no wait on the
    // handles of the closed child.
    world->failingStarts = {R"(D:\MPEG4\wmpcdcs8.exe)", R"(MPEG4\wmpcdcs8.exe)"};
    Run();
    EXPECT_TRACE(Only(TailFrom(world->trace, R"(Start("D:\MPEG4)"), {"Start(", "WaitFor(", "BringWin"}),
              (Trace{R"(Start("D:\MPEG4\wmpcdcs8.exe", "D:\MPEG4") fails)",
                     R"(Start("MPEG4\wmpcdcs8.exe", "MPEG4") fails)", "BringWindowToTop(frame)",
                     R"(Start("D:\DirectX\dxsetup.exe", "D:\DirectX") at (260, 190))",
                     R"(WaitFor(P DirectX\dxsetup.exe, INFINITE))",
                     R"(WaitFor(P WINDOWS\regedit.exe, INFINITE))"}));
}

TEST_F(SequenceTest, BlanksInTheMediaRootAndWindowsDirectoryAreQuoted) {
    world->windowsDir = R"(C:\My Windows)";
    world->systemDir = R"(C:\My Windows\system32)";
    world->screenWidth = 640;
    world->screenHeight = 480;
    Run(R"(C:\Users\x\Downloads\TV Card\)");
    EXPECT_TRACE(Only(world->trace, {"Start(", "WinExec("}),
              (Trace{
                  R"(Start(""C:\Users\x\Downloads\TV Card\Tessly\Driver\Drivloom.exe" /NOREBOOT", "C:\Users\x\Downloads\TV Card\Tessly\Driver"))",
                  R"(Start(""C:\Users\x\Downloads\TV Card\Lumora\setup.exe"", "C:\Users\x\Downloads\TV Card\Lumora"))",
                  R"(WinExec(""C:\My Windows\system32\regsvr32.exe" /s "C:\My Windows\system32\Propwen.dll"", 0))",
                  R"(WinExec(""C:\My Windows\regedit.exe" /s "C:\My Windows\MyInstall\RC.reg"", 0))",
                  R"(Start(""C:\My Windows\regedit.exe" /s "C:\My Windows\MyInstall\TSS.reg"", "C:\My Windows"))",
                  R"(Start(""C:\My Windows\Pelkora.exe"", "C:\My Windows"))",
                  R"(Start(""C:\Users\x\Downloads\TV Card\WMF\wmfdist11.exe" /norestart", "C:\Users\x\Downloads\TV Card\WMF"))",
                  R"(Start(""C:\Users\x\Downloads\TV Card\MP10\windowsmedia10-kb905592-x86-intl.exe"", "C:\Users\x\Downloads\TV Card\MP10") at (68, 43))",
                  R"(Start(""C:\Users\x\Downloads\TV Card\Extra\Setup.exe"", "C:\Users\x\Downloads\TV Card\Extra"))",
                  R"(Start(""C:\Users\x\Downloads\TV Card\MPEG4\wmpcdcs8.exe"", "C:\Users\x\Downloads\TV Card\MPEG4"))",
                  R"(Start(""C:\Users\x\Downloads\TV Card\DirectX\dxsetup.exe"", "C:\Users\x\Downloads\TV Card\DirectX") at (68, 46))",
              }));
}

TEST_F(SequenceTest, FoldersThePlatformDoesNotNameLeaveOutTheStepsBuiltOnThem) {
    // Nothing is deleted, copied or run at the root of the current drive; without a version the
    // platform counts as below 6.0, and the sequence still ends at the prompt.
    world->windowsDir = "";
    world->systemDir = "";
    Run();
    EXPECT_TRACE(Only(world->trace, {"ProductVersion", "WinExec", "CreateDirectory", "CopyFile", "DeleteFile",
                                     "SetFileAttributes", "Start(", "DialogBox"}),
                 (Trace{
                     R"(Start("D:\Tessly\Driver\Drivloom.exe /NOREBOOT", "D:\Tessly\Driver"))",
                     R"(Start("D:\Lumora\setup.exe", "D:\Lumora"))",
                     R"(Start("D:\WMF\wmfdist11.exe /norestart", "D:\WMF"))",
                     R"(Start("D:\MP10\windowsmedia10-kb905592-x86-intl.exe", "D:\MP10") at (260, 187))",
                     R"(Start("D:\Extra\Setup.exe", "D:\Extra"))",
                     R"(Start("D:\MPEG4\wmpcdcs8.exe", "D:\MPEG4"))",
                     R"(Start("D:\DirectX\dxsetup.exe", "D:\DirectX") at (260, 190))",
                     "DialogBox(131, frame)",
                 }));
}

TEST_F(SequenceTest, IntercastConflictUnregistersTheLibrary) {
    const std::string kRegister =
        R"(WinExec("C:\WINDOWS\system32\regsvr32.exe /s C:\WINDOWS\system32\Propwen.dll", 0))";
    const std::string kUnregister =
        R"(WinExec("C:\WINDOWS\system32\regsvr32.exe /s /u C:\WINDOWS\system32\Propwen.dll", 0))";
    const struct {
        const char* description;  // nullptr: the key has no such value
        bool conflict;
    } cases[] = {
        {"Philips SAA7130 Capture", true},
        {"philips saa7130 capture", true},
        {"SAA7134 Capture", false},
        {nullptr, false},
        // Longer than the 260-byte buffer: not read, so no conflict.
        {"SAA7130 ........................................................................"
         "................................................................................"
         "................................................................................"
         "...................................................................", false},
    };
    for (const auto& c : cases) {
        Fresh();
        world->AddKey(RegRoot::LocalMachine, fake::kIntercastKey);
        if (c.description)
            world->SetText(RegRoot::LocalMachine, fake::kIntercastKey, "Capture Description",
                          c.description);
        Run();
        EXPECT_TRACE(Only(world->trace, {"OpenKey(HKLM Intercast", "QueryValue(Intercast",
                                     "CloseKey(Intercast", R"(WinExec("C:\WINDOWS\system32)"}),
                  (Trace{"OpenKey(HKLM Intercast, 0xF003F)",
                         R"(QueryValue(Intercast, "Capture Description", type 1, size 260))",
                         "CloseKey(Intercast)", c.conflict ? kUnregister : kRegister}))
            << (c.description ? c.description : "no value");
    }
}

TEST_F(SequenceTest, ProfileBitWritesRC28KeysIntoAnExistingAppletKey) {
    using Setter = void (*)(fake::World&);
    const auto LM = RegRoot::LocalMachine;
    const struct {
        const char* name;
        Setter setup;
        bool written;
    } cases[] = {
        {"IsOldBoard absent, GPIO 0x40",
         [](fake::World& w) { w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x40); }, true},
        {"IsOldBoard 0, GPIO 0x40",
         [](fake::World& w) {
             w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "IsOldBoard", 0);
             w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x40);
         }, false},
        {"IsOldBoard 0, GPIO 0x40000",
         [](fake::World& w) {
             w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "IsOldBoard", 0);
             w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x40000);
         }, true},
        {"IsOldBoard 1, GPIO absent",
         [](fake::World& w) { w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "IsOldBoard", 1); },
         false},
        {"an 8-byte DeviceID does not disturb the later queries",
         [](fake::World& w) {
             w.keys[std::string("HKLM\\") + fake::kTunerKey]["DeviceID"] = {11, "12345678"};
             w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x40);
         }, true},
        {"a 2-byte IsOldBoard counts as missing",
         [](fake::World& w) {
             w.keys[std::string("HKLM\\") + fake::kTunerKey]["IsOldBoard"] = {3, std::string(2, '\0')};
             w.SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x40);
         }, true},
    };
    for (const auto& c : cases) {
        Fresh(false);
        world->AddKey(RegRoot::CurrentUser, fake::kAppletKey);
        world->AddKey(LM, fake::kTunerKey);
        c.setup(*world);
        Run();
        Trace expected = Profile();
        if (c.written)
            expected.insert(expected.end(),
                            {"OpenKey(HKCU Applet, 0xF003F)",
                             R"(SetValue(Applet, "Profile", type 1, 9 bytes "RC28Keys\0"))",
                             "CloseKey(Applet)"});
        EXPECT_TRACE(Only(TailFrom(world->trace, "Sleep("), {"Sleep(", "OpenKey(HKLM Tunvex", "QueryValue(Tunvex",
                                                          "CloseKey(Tunvex", "OpenKey(HKCU Applet", "SetValue(Applet",
                                                          "CloseKey(Applet"}),
                  expected)
            << c.name;
        EXPECT_EQ(world->Find(RegRoot::CurrentUser, fake::kAppletKey, "Profile") != nullptr, c.written)
            << c.name;
    }

    // Profile bit set but no applet key: nothing is written and the key is not created.
    Fresh(false);
    world->SetDword(LM, fake::kTunerKey, "GPIO", 0x40);
    Run();
    EXPECT_EQ(world->keys.count(std::string("HKCU\\") + fake::kAppletKey), 0u);
    EXPECT_TRACE(Only(world->trace, {"OpenKey(HKCU", "CreateKey(HKCU Applet", "SetValue(Applet"}),
              (Trace{"OpenKey(HKCU Applet, 0xF003F) fails", "OpenKey(HKCU Applet, 0xF003F) fails"}));
}

TEST_F(SequenceTest, RegistryRefusalsSkipOnlyTheirOwnSteps) {
    // The tuner key cannot be created (no "HarloMode", and no receiver profile later); or the
    // launcher runs without administrator rights, so every machine-wide key it opens or creates
    // for writing is refused: the Intercast conflict is not seen and the profile bit is not read.
    Trace prep = Preparation();
    prep.erase(prep.begin() + 6, prep.begin() + 9);
    prep.insert(prep.begin() + 6, "CreateKey(HKLM Tunvex, 0, 0xF003F) fails");
    for (bool administrator : {true, false}) {
        // Without the rights, the per-account step is not registered either.
        Trace applet = Applet(kTessly);
        if (!administrator) {
            applet.erase(applet.begin() + 2, applet.begin() + EveryAccount().size());
            applet.insert(applet.begin() + 2, "CreateKey(HKLM Component, 0, 0xF013F) fails");
        }
        const Trace expected = Cat({prep, Installer("Lumora"), Scripts(kTessly), WaitInstaller("Lumora"),
                                    {"Sleep(1000)", "OpenKey(HKLM Tunvex, 0xF003F) fails"}, applet,
                                    RedistBelowSix(), End()});
        Fresh(false);
        world->SetDword(RegRoot::CurrentUser, fake::kAppletKey, "Do Not Use", 1);
        if (administrator) {
            world->uncreatableKeys.insert(std::string("HKLM\\") + fake::kTunerKey);
        } else {
            world->administrator = false;
            world->SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x40);  // profile bit 1
            world->SetText(RegRoot::LocalMachine, fake::kIntercastKey, "Capture Description", "SAA7130");
        }
        EXPECT_TRACE(Run(), expected) << (administrator ? "no tuner key" : "no administrator");
        EXPECT_EQ(world->Find(RegRoot::LocalMachine, fake::kTunerKey, "HarloMode"), nullptr);
        EXPECT_EQ(world->Find(RegRoot::CurrentUser, fake::kAppletKey, "Profile"), nullptr);
        EXPECT_EQ(world->Find(RegRoot::CurrentUser, fake::kAppletKey, "Do Not Use"), nullptr);
    }
}

// WM_CLOSE, with an answer awaited for five seconds at most, less when Windows finds the program hung.
std::string SendClose(const std::string& title, const char* result = "") {
    return "SendMessageTimeout(" + title + ", 0x10, 0x2, 5000)" + result;
}

// A program closed before its files are replaced: its process is opened while the window still
// names it, and after the close the sequence waits up to ten seconds for it to end.
Trace CloseAndWait(const std::string& title, std::uint32_t pid, const char* waitResult = "",
                   const char* sendResult = "") {
    const std::string id = std::to_string(pid);
    return {"GetWindowThreadProcessId(" + title + ") = " + id, "OpenProcess(0x100000, 0, " + id + ")",
            SendClose(title, sendResult), "WaitFor(process " + id + ", 10000)" + waitResult,
            "CloseHandle(process " + id + ")"};
}

TEST_F(SequenceTest, RunningAppletAndDeviceMonitorAreClosedByTitleAndWaitedFor) {
    const std::vector<std::string> closing = {"GetWindowThreadProcessId(", "OpenProcess(", "SendMessageTimeout(",
                                              "WaitFor(process", "CloseHandle(process"};
    const struct {
        std::vector<const char*> titles;  // processes 501, 502, ... in this order
        Trace closed;
    } cases[] = {
        {{"PCI TV Card Remote Control Applet"}, CloseAndWait("PCI TV Card Remote Control Applet", 501)},
        {{"PCI TV Card Remote Control Applet", "TV Card Remote Control Applet",
          "TV Card Remote Control Device Monitor", "Nuvex Schedule Agent"},
         Cat({CloseAndWait("TV Card Remote Control Device Monitor", 503),
              CloseAndWait("TV Card Remote Control Applet", 502)})},
    };
    for (const auto& c : cases) {
        Fresh();
        for (const char* t : c.titles) world->AddWindow("any", t);
        Run();
        EXPECT_TRACE(Only(world->trace, closing), c.closed);
    }
    // The schedule agent is closed only with its class, and not waited for; one that does not
    // answer holds nothing up either.
    for (bool answers : {true, false}) {
        Fresh();
        world->AddWindow("Afx:00400000:0", "Nuvex Schedule Agent").answers = answers;
        Run();
        EXPECT_TRACE(Only(world->trace, closing), (Trace{SendClose("Nuvex Schedule Agent", answers ? "" : " times out")}));
        EXPECT_EQ(world->trace.back(), "KillTimer(frame, 200)") << "the sequence did not reach its end";
    }
}

TEST_F(SequenceTest, AProgramThatDoesNotEndOrCannotBeOpenedDoesNotHoldUpTheSequence) {
    const std::string kMonitor = "TV Card Remote Control Device Monitor";
    const std::string kApplet = "TV Card Remote Control Applet";
    const Trace findMonitor = {R"(FindWindow(null, "TV Card Remote Control Device Monitor"))"};
    const Trace findApplet = {R"(FindWindow(null, "TV Card Remote Control Applet"))"};
    const Trace replaced = {R"(SetFileAttributes(C:\WINDOWS\Pelkwatch.exe, 0x80))"};
    const struct {
        const char* name;
        void (*arrange)(fake::World&);
        Trace monitor;  // what happens to the device monitor (process 501)
    } cases[] = {
        {"still running when the wait times out: left, and the applet is closed next",
         [](fake::World& w) { w.lingering.insert(501); }, CloseAndWait(kMonitor, 501, " times out")},
        {"a window that does not answer: its program is waited for as after a handled close",
         [](fake::World& w) {
             w.windows[0].answers = false;
             w.lingering.insert(501);
         },
         CloseAndWait(kMonitor, 501, " times out", " times out")},
        {"a process that cannot be opened: closed without a wait",
         [](fake::World& w) { w.unopenable.insert(501); },
         {"GetWindowThreadProcessId(" + kMonitor + ") = 501", "OpenProcess(0x100000, 0, 501) fails",
          SendClose(kMonitor)}},
        {"a window whose program is already gone: closed without a wait",
         [](fake::World& w) { w.windows[0].processId = 0; },
         {"GetWindowThreadProcessId(" + kMonitor + ") = 0", SendClose(kMonitor)}},
    };
    for (const auto& c : cases) {
        Fresh();
        world->AddWindow("any", kMonitor);
        world->AddWindow("any", kApplet);
        c.arrange(*world);
        Run();
        const Trace expected = Cat({findMonitor, c.monitor, findApplet, CloseAndWait(kApplet, 502), replaced});
        const Trace tail = TailFrom(world->trace, findMonitor[0]);
        EXPECT_TRACE(Trace(tail.begin(), tail.begin() + std::min(tail.size(), expected.size())), expected) << c.name;
    }
}

TEST_F(SequenceTest, AProgramFileHeldByARunningProgramIsReplacedAtTheRestart) {
    // The old program runs on where this session cannot close it: its file can be neither deleted
    // nor overwritten. The new one is copied beside it and moved into its place at the restart;
    // the applet's start finds the old file meanwhile. BorrinRMT.exe is only ever removed.
    const std::string kMonitor = R"(C:\WINDOWS\Pelkwatch.exe)", kApplet = R"(C:\WINDOWS\Pelkora.exe)";
    const std::string kBorrinRmt = R"(C:\WINDOWS\BorrinRMT.exe)";
    const std::string kMedia = R"(D:\Tessly\Utility\)", kHarloMedia = R"(D:\Harlo\BorrinUtility\)";
    const Trace heldMonitor = {
        "DeleteFile(" + kMonitor + ") fails 5",
        "CopyFile(" + kMedia + "Pelkwatch.ex_, " + kMonitor + ", 0) fails 32",
        R"(CopyFile(Utility\Pelkwatch.ex_, )" + kMonitor + ", 0) fails 32",
        "CopyFile(" + kMedia + "Pelkwatch.ex_, " + kMonitor + ".pending, 0)",
        "MoveFileEx(" + kMonitor + ".pending, " + kMonitor + ", 0x5)",
    };
    const Trace start = {R"(Start("C:\WINDOWS\Pelkora.exe", "C:\WINDOWS"))"};
    const struct {
        const char* name;
        int harloOnly;
        void (*arrange)(fake::World&);
        Trace files;
    } cases[] = {
        {"the device monitor's file", 0, [](fake::World& w) { w.filesInUse = {R"(C:\WINDOWS\Pelkwatch.exe)"}; },
         Cat({heldMonitor,
              {"DeleteFile(" + kApplet + ")", "DeleteFile(" + kBorrinRmt + ")",
               "CopyFile(" + kMedia + "Pelkora.ex_, " + kApplet + ", 0)", "DeleteFile(" + kApplet + ".pending)"},
              start})},
        {"the applet's and BorrinRMT.exe, on the Harlo line", 1,
         [](fake::World& w) { w.filesInUse = {R"(C:\WINDOWS\Pelkora.exe)", R"(C:\WINDOWS\BorrinRMT.exe)"}; },
         Cat({{"DeleteFile(" + kMonitor + ")", "CopyFile(" + kMedia + "Pelkwatch.ex_, " + kMonitor + ", 0)",
               "DeleteFile(" + kMonitor + ".pending)", "DeleteFile(" + kApplet + ") fails 5", "DeleteFile(" + kBorrinRmt + ") fails 5",
               "CopyFile(" + kHarloMedia + "Pelkora.ex_, " + kApplet + ", 0) fails 32",
               R"(CopyFile(Harlo\BorrinUtility\Pelkora.ex_, )" + kApplet + ", 0) fails 32",
               "CopyFile(" + kHarloMedia + "Pelkora.ex_, " + kApplet + ".pending, 0)",
               "MoveFileEx(" + kApplet + ".pending, " + kApplet + ", 0x5)"},
              start})},
        {"a move that cannot be scheduled leaves no copy behind", 0,
         [](fake::World& w) {
             w.filesInUse = {R"(C:\WINDOWS\Pelkwatch.exe)"};
             w.movesFail = true;
         },
         Cat({{heldMonitor.begin(), heldMonitor.end() - 1},
              {"MoveFileEx(" + kMonitor + ".pending, " + kMonitor + ", 0x5) fails 5",
               "DeleteFile(" + kMonitor + ".pending)", "DeleteFile(" + kApplet + ")", "DeleteFile(" + kBorrinRmt + ")",
               "CopyFile(" + kMedia + "Pelkora.ex_, " + kApplet + ", 0)", "DeleteFile(" + kApplet + ".pending)"},
              start})},
        {"a media without the new file schedules nothing", 0,
         [](fake::World& w) {
             w.filesInUse = {R"(C:\WINDOWS\Pelkwatch.exe)"};
             w.failingCopies = {R"(D:\Tessly\Utility\Pelkwatch.ex_)", R"(Utility\Pelkwatch.ex_)"};
         },
         Cat({{"DeleteFile(" + kMonitor + ") fails 5",
               "CopyFile(" + kMedia + "Pelkwatch.ex_, " + kMonitor + ", 0) fails",
               R"(CopyFile(Utility\Pelkwatch.ex_, )" + kMonitor + ", 0) fails",
               "CopyFile(" + kMedia + "Pelkwatch.ex_, " + kMonitor + ".pending, 0) fails",
               R"(CopyFile(Utility\Pelkwatch.ex_, )" + kMonitor + ".pending, 0) fails",
               "DeleteFile(" + kApplet + ")", "DeleteFile(" + kBorrinRmt + ")",
               "CopyFile(" + kMedia + "Pelkora.ex_, " + kApplet + ", 0)", "DeleteFile(" + kApplet + ".pending)"},
              start})},
    };
    for (const auto& c : cases) {
        Fresh();
        c.arrange(*world);
        Run("D:\\", c.harloOnly);
        EXPECT_TRACE(Only(TailFrom(world->trace, "SetFileAttributes(" + kMonitor), {"DeleteFile", "CopyFile", "MoveFileEx", "Start"}),
                     Cat({c.files, Only(RedistBelowSix(), {"Start"})}))
            << c.name;
        EXPECT_EQ(world->trace.back(), "KillTimer(frame, 200)") << c.name;
    }
}

TEST_F(SequenceTest, WithoutTheWatchEventTheSequenceGoesOnUnwatched) {
    world->eventCreates = false;
    Run();
    EXPECT_TRACE(Only(world->trace, {"CreateEvent", "PostMessage", "SetTimer", "WaitFor(E", "KillTimer(frame, 200"}),
              (Trace{"CreateEvent(manual, unset) fails", "PostMessage(frame, 0x10)", "KillTimer(frame, 200)"}));
}

TEST_F(SequenceTest, WorkerThatCannotStartEndsTheLauncher) {
    world->workerStarts = false;
    const Trace trace = Run();
    EXPECT_TRACE(Trace(trace.end() - 2, trace.end()),
              (Trace{"StartWorker fails", "PostMessage(frame, 0x10)"}));
    EXPECT_TRUE(frame->OnQueryEndSession());
}

// The INF's text (UTF-16LE with its mark; ASCII here).
std::string InfText(const std::string& inf) {
    std::string out;
    for (std::size_t i = 2; i + 1 < inf.size(); i += 2) out += inf[i];
    return out;
}

TEST_F(SequenceTest, EveryAccountGetsWhatTheInstallingAccountGotAndEachInstallationRaisesTheVersion) {
    const std::string kInf = R"(C:\WINDOWS\MyInstall\PerUser.inf)";
    const std::string kProfileKey = R"(HKCU,"SOFTWARE\Orvane\TV Card Remote Control Applet\1.0)";
    const std::string kRecord = R"(HKCU,"Software\Microsoft\Active Setup\Installed Components\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}","Version",0x00000000,)";
    world->files[R"(D:\Tessly\Utility\RC.dat)"] =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0\\RC51Keys]\r\n"
        "\"Key0\"=dword:00000030\r\n";
    world->files[R"(D:\Tessly\Utility\TSS.dat)"] =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\TV Card Setup\\TSS]\r\n\"Imported\"=dword:00000001\r\n";
    world->SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x40000);  // the profile bit
    Run();
    EXPECT_TRACE(Only(world->trace, {"ReadFile(", "WriteFile(", "CreateKey(HKLM Component", "SetValue(Component, \"V"}),
                 (Trace{R"(ReadFile(C:\WINDOWS\MyInstall\RC.reg))", R"(ReadFile(C:\WINDOWS\MyInstall\TSS.reg))",
                        "CreateKey(HKLM Component, 0, 0xF013F)", "WriteFile(" + kInf + ")",
                        R"(SetValue(Component, "Version", type 1, 8 bytes "1,0,0,1\0"))"}));
    // Machine-wide lines of the scripts stay out.
    EXPECT_EQ(InfText(world->files[kInf]),
              "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[DefaultInstall]\r\n"
              "DelReg=PerAccount.Del\r\nAddReg=PerAccount.Add\r\n\r\n"
              "[PerAccount.Del]\r\n" + kProfileKey + "\",\"Do Not Use\"\r\n\r\n"
              "[PerAccount.Add]\r\n" + kProfileKey + "\\RC51Keys\",,0x00000010\r\n" +
              kProfileKey + "\\RC51Keys\",\"Key0\",0x00010001,0x00000030\r\n" +
              kProfileKey + "\",\"Profile\",0x00000000,\"RC28Keys\"\r\n" + kRecord + "\"1,0,0,1\"\r\n");

    // A later installation of the other line on a board without the profile bit replaces it; the
    // script that cannot be read is left out.
    world->files[R"(D:\Harlo\BorrinUtility\RC.dat)"] =
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0\\RC32Keys]\r\n";
    world->files.erase(R"(D:\Tessly\Utility\TSS.dat)");
    world->SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0);
    Run("D:\\", 1, 0);
    const std::string inf = InfText(world->files[kInf]);
    EXPECT_NE(inf.find("\\RC32Keys\",,0x00000010\r\n" + kRecord + "\"1,0,0,2\"\r\n"), std::string::npos) << inf;
    EXPECT_EQ(inf.find("RC51Keys"), std::string::npos);
    EXPECT_EQ(inf.find("Profile"), std::string::npos);
    for (const auto* v : {world->Find(RegRoot::LocalMachine, fake::kComponentKey, "Version"),
                          world->Find(RegRoot::CurrentUser, fake::kAccountRecordKey, "Version")})
        EXPECT_TRUE(v && v->data == std::string("1,0,0,2", 8));

    // An INF that cannot be written is not registered.
    Fresh();
    world->failingCopies.insert(kInf);
    Run();
    EXPECT_EQ(world->Find(RegRoot::LocalMachine, fake::kComponentKey, "StubPath"), nullptr);
}

// From the look-up of CreateProcessWithTokenW to the applet's handles closed.
Trace AppletStart(const Trace& trace) {
    Trace tail = TailFrom(trace, "GetProcAddress(");
    const auto end = std::find(tail.begin(), tail.end(), R"(CloseHandle(T WINDOWS\Pelkora.exe))");
    return Trace(tail.begin(), end == tail.end() ? end : end + 1);
}

TEST_F(SequenceTest, AppletStartsWithTheDesktopUsersRightsAfterTheAccountStepAndTheAutostartValue) {
    world->withTokenStarts = true;
    world->shell = world->AddWindow("Progman", "Program Manager").hwnd;  // process 501
    world->AddKey(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    const Trace token = {
        "GetProcAddress(CreateProcessWithTokenW)",
        "GetShellWindow = Program Manager",
        "GetWindowThreadProcessId(Program Manager) = 501",
        "ProcessIdToSessionId(501) = 1",
        "ProcessIdToSessionId(400) = 1",
        "OpenProcessToken(0x28)",
        R"(AdjustTokenPrivileges(token, "SeDebugPrivilege", 2))",
        "CloseHandle(token)",
        "OpenProcess(0x400, 0, 501)",
        "OpenProcessToken(process 501, 0x2)",
        "CloseHandle(process 501)",
        "DuplicateTokenEx(shell token, 0x18B, primary)",
        "CloseHandle(shell token)",
    };
    const Trace debugOff = {"OpenProcessToken(0x28)", R"(AdjustTokenPrivileges(token, "SeDebugPrivilege", 0))",
                            "CloseHandle(token)"};
    EXPECT_TRACE(AppletStart(Run()),
                 Cat({token, debugOff,
                      {R"(StartWithToken(user token, "C:\WINDOWS\system32\rundll32.exe setupapi.dll,InstallHinfSection DefaultInstall 128 C:\WINDOWS\MyInstall\PerUser.inf", "C:\WINDOWS\system32"))",
                       R"(WaitFor(P system32\rundll32.exe, 10000))", R"(CloseHandle(P system32\rundll32.exe))",
                       R"(CloseHandle(T system32\rundll32.exe))", "OpenKey(HKLM Run, 0xF003F)",
                       R"(SetValue(Run, "TV Card Remote Control Device Monitor", type 1, 23 bytes "C:\WINDOWS\Pelkora.exe\0"))",
                       "CloseKey(Run)", R"(StartWithToken(user token, "C:\WINDOWS\Pelkora.exe", "C:\WINDOWS"))",
                       "CloseHandle(user token)", R"(CloseHandle(P WINDOWS\Pelkora.exe))", R"(CloseHandle(T WINDOWS\Pelkora.exe))"}}));

    // Whatever part of it cannot be had, the applet starts as before, with the launcher's rights.
    const std::string kPartStart = R"(Start("C:\WINDOWS\Pelkora.exe", "C:\WINDOWS"))";
    const struct {
        const char* name;
        void (*arrange)(fake::World&);
        std::size_t tokenLines;  // how far the look-up gets
        Trace then;
    } cases[] = {
        {"before Vista", [](fake::World& w) { w.withTokenStarts = false; }, 0, {"GetProcAddress(CreateProcessWithTokenW) fails"}},
        {"no desktop shell", [](fake::World& w) { w.shell = 0; }, 1, {"GetShellWindow = 0"}},
        {"a shell of another session", [](fake::World& w) { w.sessions[501] = 2; }, 3,
         {"ProcessIdToSessionId(501) = 2", "ProcessIdToSessionId(400) = 1"}},
        {"a shell that cannot be opened", [](fake::World& w) { w.unopenable.insert(501); }, 8,
         Cat({{"OpenProcess(0x400, 0, 501) fails"}, debugOff})},
        {"a token that cannot be opened", [](fake::World& w) { w.shellTokenOpens = false; }, 9,
         Cat({{"OpenProcessToken(process 501, 0x2) fails", "CloseHandle(process 501)"}, debugOff})},
        {"a token that cannot be duplicated", [](fake::World& w) { w.tokenDuplicates = false; }, 11,
         Cat({{"DuplicateTokenEx(shell token, 0x18B, primary) fails", "CloseHandle(shell token)"}, debugOff})},
    };
    for (const auto& c : cases) {
        Fresh();
        world->withTokenStarts = true;
        world->shell = world->AddWindow("Progman", "Program Manager").hwnd;
        c.arrange(*world);
        EXPECT_TRACE(AppletStart(Run()),
                     Cat({Trace(token.begin(), token.begin() + c.tokenLines), c.then,
                          {kPartStart, R"(CloseHandle(P WINDOWS\Pelkora.exe))", R"(CloseHandle(T WINDOWS\Pelkora.exe))"}}))
            << c.name;
    }
    // The token start of the applet itself fails: the token is released and the applet starts as before.
    Fresh();
    world->withTokenStarts = true;
    world->shell = world->AddWindow("Progman", "Program Manager").hwnd;
    world->failingTokenStarts.insert(R"(C:\WINDOWS\Pelkora.exe)");
    const Trace tail = AppletStart(Run());
    EXPECT_TRACE(Trace(tail.end() - 5, tail.end()),
                 (Trace{R"(StartWithToken(user token, "C:\WINDOWS\Pelkora.exe", "C:\WINDOWS") fails)", "CloseHandle(user token)",
                        kPartStart, R"(CloseHandle(P WINDOWS\Pelkora.exe))", R"(CloseHandle(T WINDOWS\Pelkora.exe))"}));
}

}  // namespace
}  // namespace setup
