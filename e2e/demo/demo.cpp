// The product at work, for scripts/demo.sh: a simulated card in the machine, the real setup.exe
// installing from the media (restart prompt answered "No"), the installed applet finding the card
// and showing its icon, and a short script of remote keys reaching the stand-in TV application.
// Writes a readable transcript and screenshots into one folder.
//
//   demo MEDIA_ROOT OUTPUT_FOLDER CARD_DOUBLE_SYS TVAPP_EXE
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "applet_util.h"
#include "card.h"
#include "harness.h"
#include "launcher_run.h"

using namespace launcher_run;

namespace {

constexpr DWORD kInstallLimitMs = 600000;
constexpr DWORD kLimitMs = 30000;

std::string Hex(unsigned long v, int digits = 8) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%0*lX", digits, v);
    return buf;
}

std::string Dword(HKEY root, const wchar_t* key, const wchar_t* name) {
    DWORD v = 0;
    if (!e2e::GetDword(root, key, name, &v)) return e2e::ValueExists(root, key, name) ? "(not a DWORD)" : "(absent)";
    return Hex(v);
}

std::string Text(HKEY root, const wchar_t* key, const wchar_t* name) {
    std::wstring v;
    if (!e2e::GetString(root, key, name, &v)) return e2e::ValueExists(root, key, name) ? "(not a string)" : "(absent)";
    return "\"" + Narrow(v) + "\"";
}

// One key of the script: its code on the remote, what it is, what the profile makes of it.
struct ScriptKey {
    unsigned int code;
    const char* name;
};
const ScriptKey kScript[] = {
    {1, "digit 1"},      {2, "digit 2"},     {3, "digit 3"},  {13, "channel up"}, {14, "channel down"},
    {15, "volume up"},   {16, "volume down"}, {11, "mute"},    {18, "power (the TV application runs)"},
    {18, "power (no TV application)"},
};

std::string KeyName(unsigned int vk) {
    if (vk >= '0' && vk <= '9') return std::string("'") + static_cast<char>(vk) + "'";
    switch (vk) {
        case VK_PRIOR: return "VK_PRIOR (Page Up)";
        case VK_NEXT: return "VK_NEXT (Page Down)";
        case VK_VOLUME_UP: return "VK_VOLUME_UP";
        case VK_VOLUME_DOWN: return "VK_VOLUME_DOWN";
        case VK_VOLUME_MUTE: return "VK_VOLUME_MUTE";
        default: return Hex(vk, 2);
    }
}

class Demo {
public:
    Demo(std::wstring media, std::wstring out, std::wstring sys, std::wstring tvapp)
        : media_(std::move(media)), out_(std::move(out)), sys_(std::move(sys)), tvapp_(std::move(tvapp)),
          report_(Narrow(out_ + L"\\transcript.txt"), std::ios::binary) {}

    int Run() {
        if (!PlugTheCard() || !Install() || !AppletOnTheCard()) return 1;
        Face();
        const bool keys = Keys();
        End();
        return keys ? 0 : 1;
    }

private:
    void Say(const std::string& line) {
        report_ << line << "\n" << std::flush;
    }
    // Into the folder that SCREENSHOT_DIR names (the output folder: scripts/demo.sh sets it).
    void Shot(const wchar_t* name) {
        Say(std::string("  [screenshot ") + Narrow(name) + ".png]");
        e2e::SaveScreenshot(name);
    }

    // Waits until a control shows its text on the screen (before a screenshot).
    static void WaitDrawn(HWND control) {
        e2e::WaitFor([&] { return e2e::Drawn(control); }, kLimitMs);
    }

    bool PlugTheCard() {
        Say("== a SAA7134 TV card in the machine (the capture-driver double)");
        card_.reset(new e2e::Card(sys_));
        if (!card_->ok()) {
            Say("the double did not load: " + Narrow(card_->error()));
            return false;
        }
        // What the card's driver keeps in its tuner key: a new board with the receiver wired, and
        // the wiring bit that asks the setup for the 28-key remote.
        e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"DeviceID", 0x7134);
        e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", 0);
        e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", 0x00044000);
        // Where the TV application records its folder (the profiles' "AppPathKey"), as its own
        // installer would; the applet reads it when it starts.
        e2e::SetString(HKEY_CURRENT_USER, applet_e2e::kTvPathKey, L"InstallDir", tvapp_.substr(0, tvapp_.rfind(L'\\')));
        // The stand-in TV application that the applet will start logs where this one does.
        SetEnvironmentVariableW(L"TVAPP_LOG", TvLog().c_str());
        SetEnvironmentVariableW(L"TVAPP_TIMES", L"1");
        DeleteFileW(TvLog().c_str());
        // An earlier installation whose user had uninstalled the applet.
        e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1);
        Say("  capture interface " + Narrow(e2e::Card::InterfacePath()));
        Say("  tuner key: DeviceID=0x7134, IsOldBoard=0, GPIO=0x00044000 (receiver wired, 28-key remote)");
        Say("  applet key: \"Do Not Use\"=1 (left by an earlier uninstall)");
        Say("  the stand-in TV application is installed in " + Narrow(tvapp_.substr(0, tvapp_.rfind(L'\\'))));
        return true;
    }

    bool Install() {
        Say("\n== installing: " + Narrow(media_) + "\\Setup\\setup.exe");
        const DWORD t0 = GetTickCount();
        e2e::Process launcher = e2e::Start(L"\"" + media_ + L"\\Setup\\setup.exe\"", media_ + L"\\Setup");
        if (!launcher.started()) {
            Say("setup.exe did not start");
            return false;
        }
        // The picture window while the TV application's wizard is away between its two windows.
        const std::wstring log = media_ + L"\\standin.log";
        if (e2e::WaitFor([&] { return !Events(ReadLog(log), "HIDE", "Lumora\\setup.exe").empty() &&
                                      !e2e::FindTitle(kWizardTitle) && e2e::FindTitle(kFrameTitle); },
                         kInstallLimitMs))
            Shot(L"setup-window");
        HWND prompt = nullptr;
        if (!e2e::WaitFor([&] { return (prompt = e2e::FindTitle(kRestartTitle)) != nullptr; }, kInstallLimitMs)) {
            Say("no restart prompt within 10 minutes");
            launcher.Kill();
            return false;
        }
        const DWORD installMs = GetTickCount() - t0;
        WaitDrawn(GetDlgItem(prompt, IDOK));
        Shot(L"setup-restart-prompt");
        AnswerRestartNo(prompt);
        DWORD code = 1;
        const bool ended = e2e::WaitFor([&] { return launcher.WaitExit(0, &code); }, 60000);
        Say("  restart prompt after " + std::to_string(installMs) + " ms; answered \"No\"; setup.exe " +
            (ended ? "ended with exit code " + std::to_string(code) : std::string("did NOT end")));

        Say("\n  programs started by setup.exe, in order (stand-ins; the applet is the real one):");
        const std::vector<LogEntry> entries = ReadLog(log);
        const long long first = entries.empty() ? 0 : entries.front().ms;
        for (const auto& e : entries) {
            const std::string at = "    +" + std::to_string(e.ms - first) + " ms  ";
            if (e.event == "START") Say(at + e.cmd + (e.extra.empty() ? "" : "  [STARTUPINFO " + e.extra + "]"));
            else if (e.event == "CLOSE") Say(at + "  " + e.name + " closed by WM_CLOSE");
        }
        const std::wstring windir = WindowsDir();
        Say("\n  files in the Windows directory:");
        for (const wchar_t* f : {L"\\MyInstall\\RC.reg", L"\\MyInstall\\TSS.reg", L"\\Pelkora.exe", L"\\Pelkwatch.exe"})
            Say("    " + Narrow(windir + f) +
                (FileExists(windir + f) ? "  " + std::to_string(e2e::ReadFile(windir + f).size()) + " bytes"
                                        : "  (missing)"));
        Say("\n  registry:");
        Say("    HKLM\\...\\Tunvex  HarloMode = " + Dword(HKEY_LOCAL_MACHINE, kTunerKey, L"HarloMode"));
        Say("    HKCU\\...\\TV Card Remote Control Applet\\1.0  Do Not Use = " +
            Dword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use") +
            ", Profile = " + Text(HKEY_CURRENT_USER, kAppletKey, L"Profile"));
        Say("    HKLM\\...\\Run  TV Card Remote Control Device Monitor = " +
            Text(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                 L"TV Card Remote Control Device Monitor"));
        return ended;
    }

    bool AppletOnTheCard() {
        Say("\n== the installed applet on the card");
        if (!e2e::WaitFor([&] { return (applet_ = e2e::FindTitle(kAppletTitle)) != nullptr; }, kLimitMs)) {
            Say("  the applet is NOT running");
            return false;
        }
        appletProcess_ = e2e::ProcessOf(applet_);
        const bool opened =
            card_->WaitState([](const CardState& s) { return s.openHandles == 1 && s.polls >= 2; }, kLimitMs);
        std::vector<HWND> icons;
        const bool icon = e2e::WaitFor([&] { return (icons = applet_e2e::TrayIcons()).size() == 1; }, kLimitMs);
        const CardState s = card_->State();
        Say("  Pelkora.exe has " + std::string(opened ? "" : "NOT ") + "opened the card (" + std::to_string(s.opens) +
            " open, " + std::to_string(s.polls) + " polls so far); its tray icon is " + (icon ? "shown" : "NOT shown"));
        return opened && icon;
    }

    // The tray menu from a click on the icon, and both dialogs, each photographed and cancelled.
    void Face() {
        std::vector<HWND> icons = applet_e2e::TrayIcons();
        if (icons.empty()) return;
        RECT r{};
        GetWindowRect(icons[0], &r);
        applet_e2e::ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        HWND menu = nullptr;
        if (e2e::WaitFor([&] { return (menu = applet_e2e::MenuOf(appletProcess_)) != nullptr; }, kLimitMs)) {
            e2e::WaitFor([&] {
                const std::vector<int> dark = applet_e2e::DarkPixelsPerItem(menu);
                return dark[1] > 20 && dark[2] > 20 && dark[3] > 20;
            }, kLimitMs);
            Say("  clicked the tray icon: the menu opened");
            Shot(L"tray-menu");
            applet_e2e::PressKey(VK_ESCAPE);
            e2e::WaitFor([&] { return applet_e2e::MenuOf(appletProcess_) == nullptr; }, kLimitMs);
        }
        Dialog(applet_e2e::kConfigure, applet_e2e::kRemoteDialogTitle, L"remote-type-dialog");
        Dialog(applet_e2e::kUnload, applet_e2e::kUnloadDialogTitle, L"unload-dialog");
    }

    void Dialog(WORD command, const wchar_t* title, const wchar_t* shot) {
        PostMessageW(applet_, WM_COMMAND, command, 0);
        HWND dialog = nullptr;
        if (!e2e::WaitFor([&] { return (dialog = applet_e2e::VisibleWindowOf(appletProcess_, L"#32770", title)); },
                          kLimitMs))
            return;
        WaitDrawn(GetDlgItem(dialog, IDOK));
        Say("  \"" + Narrow(title) + "\" opened and cancelled");
        Shot(shot);
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        e2e::WaitFor([&] { return !IsWindow(dialog); }, kLimitMs);
    }

    bool Keys() {
        Say("\n== remote keys with the stand-in TV application as the target (profile RC28Keys)");
        const std::wstring log = TvLog();
        tv_ = e2e::Start(L"\"" + tvapp_ + L"\"");
        if (!tv_.started() || !e2e::WaitFor([] { return applet_e2e::TvWindow() != nullptr; }, kLimitMs)) {
            Say("  the stand-in TV application did not start");
            return false;
        }
        bool ok = true;
        unsigned int phase = GetTickCount();
        for (const ScriptKey& key : kScript) {
            // Pressed at a random moment of the poll period, as a user presses.
            phase = phase * 1103515245u + 12345u;
            Sleep((phase >> 16) % 100);
            const std::size_t before = e2e::ReadTvLog(log).size();
            long long pressed = 0;
            card_->Press(key.code, &pressed);
            // The power key's start waits up to 5 s for the TV application; then 350 ms suppression.
            const bool taken = card_->WaitTaken(10000) && card_->WaitPolls(5, kLimitMs);
            e2e::WaitFor([&] { return e2e::ReadTvLog(log).size() > before; }, 2000);
            const std::vector<e2e::TvEvent> lines = e2e::ReadTvLog(log);
            std::string what = "nothing";
            if (lines.size() > before) {
                const e2e::TvEvent& l = lines[before];
                const long long latency = l.time ? (l.time - pressed) / 10000 : -1;
                if (l.what == "WM_KEYDOWN") what = "WM_KEYDOWN " + KeyName(l.wParam);
                else if (l.what == "WM_CLOSE") what = "WM_CLOSE: the TV application closed";
                else if (l.what == "START") what = "the TV application started";
                else what = l.what;
                if (latency >= 0) what += "  after " + std::to_string(latency) + " ms";
            }
            ok = ok && taken && what != "nothing";
            // A user waits for the TV application to have closed before pressing power again.
            if (lines.size() > before && lines[before].what == "WM_CLOSE")
                e2e::WaitFor([] { return applet_e2e::TvWindow() == nullptr; }, kLimitMs);
            char line[160];
            std::snprintf(line, sizeof line, "  key %2u %-34s -> %s", key.code, key.name, what.c_str());
            Say(line);
        }
        const CardState s = card_->State();
        Say("  the card saw " + std::to_string(s.polls) + " polls, " + std::to_string(s.keysTaken) +
            " keys taken, " + std::to_string(s.refusals) + " refused requests");
        return ok;
    }

    void End() {
        if (applet_) {
            PostMessageW(applet_, WM_CLOSE, 0, 0);
            e2e::WaitFor([] { return e2e::FindTitle(kAppletTitle) == nullptr; }, kLimitMs);
        }
        while (HWND w = applet_e2e::TvWindow()) {
            PostMessageW(w, WM_CLOSE, 0, 0);
            if (!e2e::WaitFor([&] { return !IsWindow(w); }, kLimitMs)) break;
        }
        CloseAll(kMonitorTitle, kLimitMs);
        Say("\n== the applet, the TV application and the device monitor are closed");
    }

    std::wstring TvLog() const { return out_ + L"\\tvapp.log"; }

    std::wstring media_, out_, sys_, tvapp_;
    std::ofstream report_;
    std::unique_ptr<e2e::Card> card_;
    HWND applet_ = nullptr;
    DWORD appletProcess_ = 0;
    e2e::Process tv_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    Demo demo(e2e::FromUnix(argv[1]), e2e::FromUnix(argv[2]), e2e::FromUnix(argv[3]), e2e::FromUnix(argv[4]));
    return demo.Run();
}
