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

}  // namespace

bool CMainFrame::LumoraLine() const { return m_ctx.both != 0 || m_ctx.harloOnly == 0; }

bool CMainFrame::BelowSix() const { return m_ctx.platformVersion < kPlatformSix; }

void CMainFrame::StartInstall() {
    Windows& w = m_ports.windows;
    Registry& reg = m_ports.registry;

    // No exact ANSI path to the media (see CSetupApp): every start and copy would fail, so
    // nothing is installed and no restart is offered.
    if (m_mediaRoot.empty()) {
        w.Alert(m_hWnd, kFolderText, kGuardCaption, win::kMbIconHand);
        w.Post(m_hWnd, win::kWmClose, 0, 0);
        return;
    }
    if (w.FindTop(nullptr, kWizardTitle) != 0) {
        w.Alert(m_hWnd, kGuardText, kGuardCaption, win::kMbIconHand);
        w.Post(m_hWnd, win::kWmClose, 0, 0);
        return;
    }

    // An applet the user had uninstalled starts again after this installation.
    if (Handle key = reg.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyAllAccess)) {
        reg.DeleteValue(key, "Do Not Use");
        reg.CloseKey(key);
    }

    m_ctx.platformVersion = 0;
    const std::string system = m_ports.files.SystemDirectory();
    if (!system.empty()) m_ctx.platformVersion = m_ports.files.ProductVersionMS(system + "\\VERSION.DLL");

    ResetSlot(m_ctx.startupA, m_ctx.processA);
    m_ctx.driverInstaller = 1;

    if (Handle key = reg.CreateKey(RegRoot::LocalMachine, kTunerKey, 0, win::kKeyAllAccess)) {
        const std::uint32_t zero = 0;
        reg.SetValue(key, "HarloMode", win::kRegDword, &zero, sizeof zero);
        reg.CloseKey(key);
    }

    StartMediaFirst("Tessly\\Driver\\Drivloom.exe", " /NOREBOOT", "Tessly\\Driver",
                    "Driver\\Drivloom.exe", "Driver");

    if (!m_ports.sync.StartWorker(*this)) {
        // Without the worker nothing would ever end the launcher or lift the shutdown guard.
        m_ctx.shutdownPermission = 1;
        w.Post(m_hWnd, win::kWmClose, 0, 0);
    }
}

void CMainFrame::RunWorker() {
    Processes& p = m_ports.processes;
    Files& f = m_ports.files;
    Windows& w = m_ports.windows;
    Sync& sync = m_ports.sync;
    InstallContext& c = m_ctx;

    m_windowsDir = f.WindowsDirectory();
    m_systemDir = f.SystemDirectory();
    const std::string& windir = m_windowsDir;
    const std::string& sysdir = m_systemDir;
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
        if (!w.Post(m_hWnd, kMsgStartWatch, 0, 0)) {
            c.watchDone = 0;
            sync.Close(event);
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
        sync.Close(event);
        c.watchDone = 0;
    }
    CloseSlot(c.processA);

    if (c.both) {
        ResetSlot(c.startupA, c.processA);
        StartMediaFirst("Harlo\\setup.exe", "", "Harlo");
        WaitAndClose(c.processA);
    }

    sync.Pause(1000);
    SetUpEveryAccount(ReceiverProfile());

    // The old applet and its device monitor must not hold the files that are replaced below:
    // each is closed and then given time to end.
    CloseByTitleAndWait(nullptr, "TV Card Remote Control Device Monitor");
    if (Hwnd applet = w.FindTop(nullptr, "TV Card Remote Control Applet"))
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
