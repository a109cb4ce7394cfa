// Every account on the machine, with the rights of the person at the screen: the per-account step
// that Windows runs at each account's next logon (Active Setup), and the start of the installed
// applet with the desktop user's token instead of the launcher's elevated one.
#include <cstring>

#include "commandline.h"
#include "mainframe.h"
#include "peraccount.h"

namespace setup {

namespace {

const char16_t kAppletKeyW[] = u"SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
// Our component; the 64-bit view on 64-bit Windows, so that Windows keeps the per-account record
// where every account's logon looks for it (the flag means nothing to 32-bit Windows).
const char kComponentKey[] =
    "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
const char16_t kUserRecordKeyW[] =
    u"Software\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
const char kComponentName[] = "TV Card Remote Control Applet";
const char kPerAccountInf[] = "\\MyInstall\\PerUser.inf";
// Room for the component's "Version" text (a guard byte stays zero past it).
constexpr std::uint32_t kVersionBuffer = 64;
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutostartName[] = "TV Card Remote Control Device Monitor";
constexpr std::uint32_t kPrimaryTokenAccess = win::kTokenQuery | win::kTokenAssignPrimary | win::kTokenDuplicate |
                                              win::kTokenAdjustDefault | win::kTokenAdjustSessionId;

void SetText(Registry& reg, Handle key, const char* name, const std::string& text) {
    reg.SetValue(key, name, win::kRegSz, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
}

RegChange TextValue(const std::u16string& key, const std::u16string& name, const std::string& ascii) {
    return RegChange{RegChange::Kind::Value, key, name, win::kRegSz, {std::u16string(ascii.begin(), ascii.end())}, {}};
}

}  // namespace

void CMainFrame::SetUpEveryAccount(bool profileBit) {
    if (windowsDir_.empty() || systemDir_.empty()) return;
    Registry& reg = ports_.registry;
    Accounts& a = ports_.accounts;

    // What this installation gave the installing account, in the same order: no "Do Not Use",
    // the two scripts as installed (a missing one gives nothing), the profile.
    std::vector<RegChange> changes{RegChange{RegChange::Kind::DeleteValue, kAppletKeyW, u"Do Not Use", 0, {}, {}}};
    const Widen widen = [&a](const std::string& text) { return a.Widen(text); };
    for (const char* script : {"\\MyInstall\\RC.reg", "\\MyInstall\\TSS.reg"}) {
        std::string bytes;
        if (!a.ReadAll(windowsDir_ + script, &bytes)) continue;
        for (RegChange& c : CurrentUserChanges(bytes, widen)) changes.push_back(std::move(c));
    }
    if (profileBit) changes.push_back(TextValue(kAppletKeyW, u"Profile", "RC28Keys"));

    const Handle component = reg.CreateKey(RegRoot::LocalMachine, kComponentKey, 0,
                                           win::kKeyAllAccess | win::kKeyWow64_64Key);
    if (component == 0) return;
    // Each installation raises the version, so that every account gets it again.
    char previous[kVersionBuffer] = {};
    std::uint32_t type = win::kRegSz;
    std::uint32_t size = sizeof previous - 1;
    if (!reg.QueryValue(component, "Version", &type, previous, &size)) previous[0] = '\0';
    const std::string version = NextComponentVersion(std::string(previous, strnlen(previous, sizeof previous)));
    // The account's own record goes with it, so that a start of the step by the launcher counts
    // as done for that account's next logon too.
    changes.push_back(TextValue(kUserRecordKeyW, u"Version", version));

    const std::string inf = windowsDir_ + kPerAccountInf;
    if (!a.WriteAll(inf, PerAccountInf(changes))) {
        reg.CloseKey(component);
        return;
    }
    // rundll32 is a GUI program and asks for no elevation; mode 128: the INF's folder is the
    // source, and never a restart. The INF's path is the rest of the line, never quoted.
    perAccountCommand_ = QuotePath(systemDir_ + "\\rundll32.exe") +
                          " setupapi.dll,InstallHinfSection DefaultInstall 128 " + inf;
    SetText(reg, component, "", kComponentName);
    SetText(reg, component, "ComponentID", kComponentName);
    const std::uint32_t one = 1;
    reg.SetValue(component, "IsInstalled", win::kRegDword, &one, sizeof one);
    SetText(reg, component, "StubPath", perAccountCommand_);
    SetText(reg, component, "Version", version);
    reg.CloseKey(component);

    // The installing account has had all of it from the registry editor already.
    const std::string record(std::begin(kUserRecordKeyW), std::end(kUserRecordKeyW) - 1);
    if (Handle user = reg.CreateKey(RegRoot::CurrentUser, record, 0, win::kKeyAllAccess)) {
        SetText(reg, user, "Version", version);
        reg.CloseKey(user);
    }
}

Handle CMainFrame::DesktopUserToken() {
    Accounts& a = ports_.accounts;
    Processes& p = ports_.processes;
    if (!a.CanStartWithToken()) return 0;  // before Vista: no elevation to shed
    const Hwnd shell = a.ShellWindow();
    const std::uint32_t shellId = shell != 0 ? ports_.windows.OwnerProcess(shell) : 0;
    if (shellId == 0) return 0;  // no desktop shell: a service or a bare session
    std::uint32_t shellSession = 0, ownSession = 0;
    if (!a.SessionOf(shellId, &shellSession) || !a.SessionOf(a.OwnProcessId(), &ownSession) ||
        shellSession != ownSession)
        return 0;
    // The shell of another account (the launcher elevated with that account's password) opens
    // only with the debug privilege, which is held just while its token is taken.
    DebugPrivilege(true);
    Handle primary = 0;
    if (const Handle shellProcess = p.Open(win::kProcessQueryInformation, false, shellId)) {
        const Handle token = a.OpenToken(shellProcess, win::kTokenDuplicate);
        p.CloseHandle(shellProcess);
        if (token != 0) {
            primary = a.DuplicatePrimary(token, kPrimaryTokenAccess);
            a.CloseToken(token);
        }
    }
    DebugPrivilege(false);
    return primary;
}

void CMainFrame::DebugPrivilege(bool enabled) {
    Restart& r = ports_.restart;
    if (Handle own = r.OpenToken(win::kTokenAdjustPrivileges | win::kTokenQuery)) {
        r.EnablePrivilege(own, "SeDebugPrivilege", enabled ? win::kSePrivilegeEnabled : 0);
        r.CloseToken(own);
    }
}

bool CMainFrame::StartAppletAsDesktopUser(const std::string& commandLine) {
    Accounts& a = ports_.accounts;
    Processes& p = ports_.processes;
    const Handle token = DesktopUserToken();
    if (token == 0) return false;

    // The person at the screen gets working keys at once, also when another account's password
    // elevated the launcher. A short registry import: waited for within the program-end limit,
    // so that the applet finds its profile when it starts.
    ProcessRecord step;
    if (!perAccountCommand_.empty() &&
        a.StartWithToken(token, 0, perAccountCommand_, 0, systemDir_, StartupRecord{}, &step)) {
        p.WaitFor(step.process, kProgramEndLimitMs);
        p.CloseHandle(step.process);
        p.CloseHandle(step.thread);
    }

    // An applet without administrator rights cannot write the machine-wide autostart value: it is
    // written here, as the applet itself writes it.
    Registry& reg = ports_.registry;
    if (Handle run = reg.OpenKey(RegRoot::LocalMachine, kRunKey, win::kKeyAllAccess)) {
        SetText(reg, run, kAutostartName, commandLine);
        reg.CloseKey(run);
    }

    ProcessRecord started;
    const bool ok = a.StartWithToken(token, 0, commandLine, 0, windowsDir_, ctx_.startupA, &started);
    if (ok) {
        ctx_.processA = started;
        ctx_.childOutstanding = started.thread != 0;
    }
    a.CloseToken(token);
    return ok;
}

}  // namespace setup
