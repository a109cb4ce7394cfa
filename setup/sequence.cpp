// The installation sequence: its preparation on the GUI thread, then the worker thread's steps.
#include "commandline.h"
#include "mainframe.h"
#include "names.h"

namespace setup {

namespace {

const char kGuardText[] =
    "Another instance of Setup is currently running.\n\n"
    "Please close ALL other applications and try again.";
const char kGuardCaption[] = "Setup";
const char kFolderText[] =
    "Setup cannot run from this folder: its name cannot be passed on to the installers.\n\n"
    "Please copy the setup files to a folder with a plain name, such as C:\\TV Card, and run Setup from there.";
constexpr std::uint32_t kPlatformSix = 0x00060000;
// The pause between the installers and the per-account set-up.
constexpr std::uint32_t kSettleMs = 1000;

}  // namespace

bool CMainFrame::LumoraLine() const { return ctx_.both != 0 || ctx_.harloOnly == 0; }

bool CMainFrame::BelowSix() const { return ctx_.platformVersion < kPlatformSix; }

void CMainFrame::StartInstall() {
    Windows& w = ports_.windows;
    Registry& reg = ports_.registry;

    // No exact ANSI path to the media (see CSetupApp): every start and copy would fail, so
    // nothing is installed and no restart is offered.
    if (mediaRoot_.empty()) {
        w.Alert(window_, kFolderText, kGuardCaption, win::kMbIconHand);
        w.Post(window_, win::kWmClose, 0, 0);
        return;
    }
    if (w.FindWindow(nullptr, kWizardTitle) != 0) {
        w.Alert(window_, kGuardText, kGuardCaption, win::kMbIconHand);
        w.Post(window_, win::kWmClose, 0, 0);
        return;
    }

    // An applet the user had uninstalled starts again after this installation.
    if (Handle key = reg.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyAllAccess)) {
        reg.DeleteValue(key, "Do Not Use");
        reg.CloseKey(key);
    }

    ctx_.platformVersion = 0;
    const std::string system = ports_.files.SystemDirectory();
    if (!system.empty()) ctx_.platformVersion = ports_.files.ProductVersionMS(system + "\\VERSION.DLL");

    ResetSlot(ctx_.startupA, ctx_.processA);
    ctx_.driverInstaller = 1;

    if (Handle key = reg.CreateKey(RegRoot::LocalMachine, kTunerKey, 0, win::kKeyAllAccess)) {
        const std::uint32_t zero = 0;
        reg.SetValue(key, "HarloMode", win::kRegDword, &zero, sizeof zero);
        reg.CloseKey(key);
    }

    StartMediaFirst("Tessly\\Driver\\Drivloom.exe", " /NOREBOOT", "Tessly\\Driver",
                    "Driver\\Drivloom.exe", "Driver");

    if (!ports_.sync.StartWorker(*this)) {
        // Without the worker nothing would ever end the launcher or lift the shutdown guard.
        ctx_.shutdownPermission = 1;
        w.Post(window_, win::kWmClose, 0, 0);
    }
}

void CMainFrame::RunWorker() {
    Processes& p = ports_.processes;
    Files& f = ports_.files;
    Windows& w = ports_.windows;
    Sync& sync = ports_.sync;
    InstallContext& c = ctx_;

    windowsDir_ = f.WindowsDirectory();
    systemDir_ = f.SystemDirectory();
    const std::string& windir = windowsDir_;
    const std::string& sysdir = systemDir_;
    // A folder the platform did not name (a failed call, a path too long for its buffer) would
    // put every path built on it at the root of the current drive: the steps built on it are
    // left out, and the rest of the sequence runs.
    const bool windowsKnown = !windir.empty();
    const bool systemKnown = !sysdir.empty();

    if (c.driverInstaller) WaitAndClose(c.processA);
    ResetSlot(c.startupA, c.processA);
    CloseByTitle("Afx:00400000:0", "Nuvex Schedule Agent");

    if (LumoraLine())
        StartMediaFirst("Lumora\\setup.exe", "", "Lumora");
    else
        StartMediaFirst("Harlo\\setup.exe", "", "Harlo");
    if (c.processA.process != 0) p.WaitIdle(c.processA.process, win::kInfinite);

    // The watch: the counter and the event are in place before the GUI thread starts timer 200.
    if (Handle event = sync.NewEvent(true, false)) {
        c.missCounter = 0;
        c.watchDone = event;
        // Without the message the watch never starts and nothing would set the event: unwatched.
        if (!w.Post(window_, kMsgStartWatch, 0, 0)) {
            c.watchDone = 0;
            sync.CloseHandle(event);
        }
    }

    ResetSlot(c.startupB, c.processB);
    const bool conflict = IntercastConflict();
    if (systemKnown)
        p.Exec(CommandLine(sysdir + "\\regsvr32.exe", conflict ? " /s /u " : " /s ") +
                   QuotePath(sysdir + "\\Propwen.dll"),
               win::kSwHide);

    if (windowsKnown) {
        f.MakeDirectory(windir + "\\MyInstall");
        ClearAndDelete(windir + "\\MyInstall\\TS.reg");
        ClearAndDelete(windir + "\\MyInstall\\TSS.reg");
        ClearAndDelete(windir + "\\MyInstall\\RC.reg");
        if (LumoraLine())
            CopyFromMedia("Tessly\\Utility\\RC.dat", "Utility\\RC.dat", windir + "\\MyInstall\\RC.reg");
        else
            CopyFromMedia("Harlo\\BorrinUtility\\RC.dat", "Harlo\\BorrinUtility\\RC.dat",
                          windir + "\\MyInstall\\RC.reg");
        p.Exec(CommandLine(windir + "\\regedit.exe", " /s ") + QuotePath(windir + "\\MyInstall\\RC.reg"),
               win::kSwHide);
        CopyFromMedia("Tessly\\Utility\\TSS.dat", "Utility\\TSS.dat", windir + "\\MyInstall\\TSS.reg");
        StartIn(c.startupB, c.processB,
                CommandLine(windir + "\\regedit.exe", " /s ") + QuotePath(windir + "\\MyInstall\\TSS.reg"),
                windir);
    }

    // The TV application's installer has ended and its wizard has stayed away for three ticks.
    if (c.processA.process != 0) p.WaitFor(c.processA.process, win::kInfinite);
    if (Handle event = c.watchDone.load()) {
        sync.WaitFor(event, win::kInfinite);
        sync.CloseHandle(event);
        c.watchDone = 0;
    }
    CloseSlot(c.processA);

    if (c.both) {
        ResetSlot(c.startupA, c.processA);
        StartMediaFirst("Harlo\\setup.exe", "", "Harlo");
        WaitAndClose(c.processA);
    }

    sync.Sleep(kSettleMs);
    SetUpEveryAccount(ReceiverProfile());

    // The old applet and its device monitor must not hold the files that are replaced below:
    // each is closed and then given time to end.
    CloseByTitleAndWait(nullptr, "TV Card Remote Control Device Monitor");
    if (Hwnd applet = w.FindWindow(nullptr, "TV Card Remote Control Applet"))
        CloseAndWait(applet);
    else
        CloseByTitleAndWait(nullptr, "PCI TV Card Remote Control Applet");

    if (windowsKnown) {
        const bool monitorHeld = ClearAndDelete(windir + "\\Pelkwatch.exe");
        InstallProgram("Tessly\\Utility\\Pelkwatch.ex_", "Utility\\Pelkwatch.ex_", windir + "\\Pelkwatch.exe",
                       monitorHeld);
        const bool appletHeld = ClearAndDelete(windir + "\\Pelkora.exe");
        ClearAndDelete(windir + "\\BorrinRMT.exe");
        if (LumoraLine())
            InstallProgram("Tessly\\Utility\\Pelkora.ex_", "Utility\\Pelkora.ex_", windir + "\\Pelkora.exe",
                           appletHeld);
        else
            InstallProgram("Harlo\\BorrinUtility\\Pelkora.ex_", "Harlo\\BorrinUtility\\Pelkora.ex_",
                           windir + "\\Pelkora.exe", appletHeld);
    }

    // The applet keeps running after the launcher ends.
    ResetSlot(c.startupA, c.processA);
    if (windowsKnown) {
        const std::string applet = CommandLine(windir + "\\" + "Pelkora.exe", "");
        if (!StartAppletAsDesktopUser(applet)) StartIn(c.startupA, c.processA, applet, windir);
    }
    CloseSlot(c.processA);

    InstallRedistributables();

    WaitAndClose(c.processB);
    RestartPromptAndEnd();
}

std::uint32_t WorkerEntry(void* frame) {
    static_cast<CMainFrame*>(frame)->RunWorker();
    return 0;
}

}  // namespace setup
