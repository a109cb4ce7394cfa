#include "mainframe.h"

#include <cctype>
#include <cstring>

#include "restartdlg.h"

namespace setup {

namespace {

const char kAppletKey[] = "SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
const char kTunerKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
const char kIntercastKey[] = "SOFTWARE\\INTEL\\Intercast\\Drivers";
const char kWizardTitle[] = "Lumora - InstallShield Wizard";
const char kGuardText[] =
    "Another instance of Setup is currently running.\n\n"
    "Please close ALL other applications and try again.";
const char kGuardCaption[] = "Setup";
const char kFolderText[] =
    "Setup cannot run from this folder: its name cannot be passed on to the installers.\n\n"
    "Please copy the setup files to a folder with a plain name, such as C:\\TV Card, and run Setup from there.";
constexpr std::uint32_t kPlatformSix = 0x00060000;
constexpr std::uint32_t kTextBuffer = 260;

// A path with a blank is quoted: unquoted, the platform would try "C:\...\TV.exe" for a program
// under "C:\...\TV Card\", and the registry editor or the registration tool would split the
// argument at the blank.
std::string QuotePath(const std::string& path) {
    if (path.find_first_of(" \t") == std::string::npos) return path;
    return "\"" + path + "\"";
}

std::string CommandLine(const std::string& program, const std::string& args) {
    return QuotePath(program) + args;
}

bool QueryDword(Registry& registry, Handle key, const char* name, std::uint32_t* value) {
    // Type and size are preset before every query: a failed query with too small a buffer
    // leaves the needed size behind, which must not become the next query's buffer size.
    std::uint32_t type = win::kRegDword;
    std::uint32_t size = sizeof(std::uint32_t);
    std::uint32_t data = 0;
    if (!registry.QueryValue(key, name, &type, &data, &size) || size != sizeof data) return false;
    *value = data;
    return true;
}

}  // namespace

CMainFrame::CMainFrame(Ports& ports, std::string mediaRoot)
    : m_ports(ports), m_mediaRoot(std::move(mediaRoot)) {}

WindowRect CMainFrame::InitialRect() const {
    Windows& w = m_ports.windows;
    const std::int32_t cx = w.Metric(win::kSmCxScreen);
    const std::int32_t cy = w.Metric(win::kSmCyScreen);
    const std::int32_t border = w.Metric(win::kSmCxBorder);
    return WindowRect{(cx - kSkinWidth) / 2, (cy - kSkinHeight) / 2, kSkinWidth + border,
                      kSkinHeight + border};
}

void CMainFrame::OnCreate(Hwnd window) {
    m_hWnd = window;
    m_ports.windows.StartTimer(m_hWnd, kStartTimer, kStartDelayMs);
}

void CMainFrame::OnTimer(std::uint32_t id) {
    if (id == kStartTimer) {
        m_ports.windows.StopTimer(m_hWnd, kStartTimer);  // fires once
        StartInstall();
    } else if (id == kWatchTimer) {
        WatchTick();
    }
}

void CMainFrame::OnStartWatch() {
    const Handle event = m_ctx.watchDone.load();
    if (event == 0) return;
    // A watch whose timer cannot run would hold the worker forever: it goes on unwatched instead,
    // as when the event could not be created.
    if (!m_ports.windows.StartTimer(m_hWnd, kWatchTimer, kWatchPeriodMs)) m_ports.sync.SetEvent(event);
}

void CMainFrame::OnClose() {
    // Slot A's handles belong to the worker, which may be waiting on them right now: they are
    // left alone and released when the process ends; the child keeps running.
    if (!m_ctx.childOutstanding.load()) m_ports.windows.StopTimer(m_hWnd, kWatchTimer);
}

bool CMainFrame::OnQueryEndSession() const { return m_ctx.shutdownPermission.load() == 1; }

void CMainFrame::WatchTick() {
    if (m_ports.windows.FindTop(nullptr, kWizardTitle) != 0) {
        m_ctx.missCounter = 0;
        return;
    }
    if (++m_ctx.missCounter >= 3) {
        // Stopped before the event is set, so no later tick can see a handle the worker closed.
        m_ports.windows.StopTimer(m_hWnd, kWatchTimer);
        if (Handle event = m_ctx.watchDone.load()) m_ports.sync.SetEvent(event);
    }
}

// ---- slots -------------------------------------------------------------------------------------

void CMainFrame::ResetSlot(StartupRecord& startup, ProcessRecord& process) {
    startup = StartupRecord{};
    process = ProcessRecord{};
    if (&process == &m_ctx.processA) m_ctx.childOutstanding = false;
}

bool CMainFrame::StartIn(StartupRecord& startup, ProcessRecord& process,
                         const std::string& commandLine, const std::string& folder) {
    ProcessRecord started;
    if (!m_ports.processes.Start(commandLine, false, 0, folder, startup, &started)) return false;
    process = started;
    if (&process == &m_ctx.processA) m_ctx.childOutstanding = process.thread != 0;
    return true;
}

bool CMainFrame::StartMediaFirst(const std::string& program, const std::string& args,
                                 const std::string& folder, const char* relProgram,
                                 const char* relFolder) {
    if (StartIn(m_ctx.startupA, m_ctx.processA, CommandLine(m_mediaRoot + program, args),
                m_mediaRoot + folder))
        return true;
    return StartIn(m_ctx.startupA, m_ctx.processA,
                   CommandLine(relProgram ? relProgram : program, args),
                   relFolder ? relFolder : folder);
}

void CMainFrame::CloseSlot(ProcessRecord& process) {
    if (process.process != 0) m_ports.processes.Close(process.process);
    if (process.thread != 0) m_ports.processes.Close(process.thread);
    // The whole record is cleared, not only the thread handle: a later start that fails must
    // not leave a closed handle behind for the next wait.
    process = ProcessRecord{};
    if (&process == &m_ctx.processA) m_ctx.childOutstanding = false;
}

void CMainFrame::WaitAndClose(ProcessRecord& process) {
    if (process.process != 0) m_ports.processes.WaitFor(process.process, win::kInfinite);
    CloseSlot(process);
}

// ---- files and windows -------------------------------------------------------------------------

bool CMainFrame::CopyFromMedia(const std::string& source, const std::string& fallback,
                               const std::string& destination) {
    Files& f = m_ports.files;
    return f.Copy(m_mediaRoot + source, destination, false) || f.Copy(fallback, destination, false);
}

bool CMainFrame::ClearAndDelete(const std::string& path) {
    Files& f = m_ports.files;
    f.SetAttributes(path, win::kFileAttributeNormal);
    if (f.Remove(path)) return false;
    // Windows refuses to delete the file of a running program (access denied) or one that a
    // program holds open (sharing violation); a missing file is no hold.
    const std::uint32_t error = f.LastError();
    return error == win::kErrorAccessDenied || error == win::kErrorSharingViolation;
}

void CMainFrame::InstallProgram(const std::string& source, const std::string& fallback,
                                const std::string& destination, bool held) {
    if (CopyFromMedia(source, fallback, destination) || !held) return;
    // The old program still runs (in another logon session, or it did not end in time) and holds
    // its file: the new one waits beside it, and the restart the sequence ends with puts it in
    // place before anything can start the old one again. Until then the old file is what stands
    // there, and what the applet's start below finds.
    const std::string pending = destination + kPendingSuffix;
    if (!CopyFromMedia(source, fallback, pending)) return;
    if (!m_ports.files.Move(pending, destination,
                            win::kMovefileDelayUntilReboot | win::kMovefileReplaceExisting))
        ClearAndDelete(pending);
}

void CMainFrame::SendClose(Hwnd window) {
    // A program that has stopped answering would otherwise hold the installation for ever,
    // behind a window without a close button that refuses log-off. One that does not answer in
    // time is treated as one that did: what follows copes with a program that is still running.
    m_ports.windows.SendWithin(window, win::kWmClose, 0, 0, win::kSmtoAbortIfHung, kCloseAnswerLimitMs);
}

void CMainFrame::CloseByTitle(const char* className, const char* title) {
    if (Hwnd window = m_ports.windows.FindTop(className, title)) SendClose(window);
}

void CMainFrame::CloseAndWait(Hwnd window) {
    // SendMessage returns once the window has handled WM_CLOSE, while its program may still be
    // ending with its file open, and Windows neither deletes nor overwrites the file of a running
    // program. The process is opened before the close, while the window still names it.
    Processes& p = m_ports.processes;
    const std::uint32_t id = m_ports.windows.OwnerProcess(window);
    const Handle process = id != 0 ? p.Open(win::kSynchronize, false, id) : 0;
    SendClose(window);
    if (process == 0) return;
    p.WaitFor(process, kProgramEndLimitMs);  // one that has not ended by then is left running
    p.Close(process);
}

void CMainFrame::CloseByTitleAndWait(const char* className, const char* title) {
    if (Hwnd window = m_ports.windows.FindTop(className, title)) CloseAndWait(window);
}

bool CMainFrame::LumoraLine() const { return m_ctx.both != 0 || m_ctx.harloOnly == 0; }

bool CMainFrame::BelowSix() const { return m_ctx.platformVersion < kPlatformSix; }

// ---- the sequence ------------------------------------------------------------------------------

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

bool CMainFrame::IntercastConflict() {
    Registry& reg = m_ports.registry;
    Handle key = reg.OpenKey(RegRoot::LocalMachine, kIntercastKey, win::kKeyAllAccess);
    if (key == 0) return false;
    char text[kTextBuffer + 1] = {};
    std::uint32_t type = win::kRegSz;
    std::uint32_t size = kTextBuffer;
    bool conflict = false;
    if (reg.QueryValue(key, "Capture Description", &type, text, &size)) {
        // The stored text need not end in a zero; the guard byte keeps the search inside.
        std::string upper(text, strnlen(text, size < kTextBuffer ? size : kTextBuffer));
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        conflict = upper.find("SAA7130") != std::string::npos;
    }
    reg.CloseKey(key);
    return conflict;
}

bool CMainFrame::ReceiverProfile() {
    Registry& reg = m_ports.registry;
    Handle key = reg.OpenKey(RegRoot::LocalMachine, kTunerKey, win::kKeyAllAccess);
    if (key == 0) return false;
    std::uint32_t scratch = 0;
    QueryDword(reg, key, "DeviceID", &scratch);
    QueryDword(reg, key, "SubvendorID", &scratch);
    QueryDword(reg, key, "SubsystemID", &scratch);
    std::uint32_t isOldBoard = 1;  // a missing value means the old board
    if (!QueryDword(reg, key, "IsOldBoard", &isOldBoard)) isOldBoard = 1;
    std::uint32_t gpio = 0;
    if (!QueryDword(reg, key, "GPIO", &gpio)) gpio = 0;
    reg.CloseKey(key);

    const bool profileBit = isOldBoard != 0 ? (gpio & 0x40) != 0 : (gpio & 0x40000) != 0;
    if (!profileBit) return false;
    if (Handle applet = reg.OpenKey(RegRoot::CurrentUser, kAppletKey, win::kKeyAllAccess)) {
        static const char kProfile[] = "RC28Keys";
        reg.SetValue(applet, "Profile", win::kRegSz, kProfile, sizeof kProfile);
        reg.CloseKey(applet);
    }
    return true;
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

    const bool belowSix = BelowSix();
    if (belowSix) {
        ResetSlot(c.startupA, c.processA);
        if (!StartMediaFirst("WMF\\wmfdist11.exe", " /norestart", "WMF"))
            StartMediaFirst("MP10\\mp10setup.exe", "", "MP10");
        WaitAndClose(c.processA);
        ResetSlot(c.startupA, c.processA);
    }

    c.startupA.flags |= win::kStartfUsePosition;
    c.startupA.x = (w.Metric(win::kSmCxScreen) - 503) / 2;
    c.startupA.y = (w.Metric(win::kSmCyScreen) - 393) / 2;
    w.BringToTop(m_hWnd);
    StartMediaFirst("MP10\\windowsmedia10-kb905592-x86-intl.exe", "", "MP10");
    WaitAndClose(c.processA);
    ResetSlot(c.startupA, c.processA);

    StartMediaFirst("Extra\\Setup.exe", "", "Extra");
    WaitAndClose(c.processA);

    if (belowSix) {
        StartMediaFirst("MPEG4\\wmpcdcs8.exe", "", "MPEG4");
        WaitAndClose(c.processA);
        ResetSlot(c.startupA, c.processA);
    }

    w.BringToTop(m_hWnd);

    if (belowSix) {
        c.startupA.flags |= win::kStartfUsePosition;
        c.startupA.x = (w.Metric(win::kSmCxScreen) - 504) / 2;
        c.startupA.y = (w.Metric(win::kSmCyScreen) - 388) / 2;
        StartMediaFirst("DirectX\\dxsetup.exe", "", "DirectX");
        WaitAndClose(c.processA);
    }

    WaitAndClose(c.processB);
    RestartPromptAndEnd();
}

void CMainFrame::RestartPromptAndEnd() {
    Restart& r = m_ports.restart;
    CRestartDlg dialog;
    const std::int32_t result = m_ports.dialogs.RunModal(kRestartDialog, m_hWnd, dialog);
    if (result == win::kIdOk && dialog.m_nRestartNow == 1) {
        m_ctx.shutdownPermission = 1;
        if (!r.ExitSession(win::kEwxReboot, 0)) {
            if (Handle token = r.OpenToken(win::kTokenAdjustPrivileges | win::kTokenQuery)) {
                r.EnablePrivilege(token, "SeShutdownPrivilege", win::kSePrivilegeEnabled);
                r.CloseToken(token);
                r.ExitSession(win::kEwxReboot, 0);
            }
        }
    }
    m_ctx.shutdownPermission = 1;
    m_ports.windows.Post(m_hWnd, win::kWmClose, 0, 0);
}

std::uint32_t WorkerEntry(void* frame) {
    static_cast<CMainFrame*>(frame)->RunWorker();
    return 0;
}

}  // namespace setup
