// Runs one installation from a media tree for scripts/demo.sh: starts the media's setup.exe,
// answers the restart prompt with "No", writes what was installed to a report file, then closes
// the installed applet.   setup_demo_driver MEDIA_ROOT REPORT_FILE
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "harness.h"
#include "launcher_run.h"

using namespace launcher_run;

namespace {

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += static_cast<char>(c);
    return s;
}

std::string Dword(HKEY root, const wchar_t* key, const wchar_t* name) {
    DWORD v = 0;
    if (!e2e::GetDword(root, key, name, &v)) return e2e::ValueExists(root, key, name) ? "(not a DWORD)" : "(absent)";
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%08lx", static_cast<unsigned long>(v));
    return buf;
}

std::string Text(HKEY root, const wchar_t* key, const wchar_t* name) {
    std::wstring v;
    if (!e2e::GetString(root, key, name, &v)) return e2e::ValueExists(root, key, name) ? "(not a string)" : "(absent)";
    return "\"" + Narrow(v) + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::wstring media = e2e::Widen(argv[1]);
    std::ofstream report(argv[2], std::ios::binary);
    auto say = [&](const std::string& line) { report << line << "\n" << std::flush; };

    // The card's driver would have written these when the card was installed.
    const wchar_t* tuner = kTunerKey;
    e2e::SetDword(HKEY_LOCAL_MACHINE, tuner, L"IsOldBoard", 0);
    e2e::SetDword(HKEY_LOCAL_MACHINE, tuner, L"GPIO", 0x00040000);
    e2e::SetDword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use", 1);
    say("before: tuner key IsOldBoard=0, GPIO=0x00040000 (as the card's driver leaves them); applet key \"Do Not Use\"=1");

    const DWORD t0 = GetTickCount();
    e2e::Process launcher = e2e::Start(L"\"" + media + L"\\Setup\\setup.exe\"", media + L"\\Setup");
    if (!launcher.started()) {
        say("setup.exe did not start");
        return 1;
    }
    HWND prompt = WaitForRestartPrompt(600000);
    if (!prompt) {
        say("no restart prompt within 10 minutes");
        launcher.Kill();
        return 1;
    }
    const DWORD installMs = GetTickCount() - t0;
    AnswerRestartNo(prompt);
    DWORD code = 1;
    const bool ended = e2e::WaitFor([&] { return launcher.WaitExit(0, &code); }, 60000);
    say("restart prompt after " + std::to_string(installMs) + " ms; answered \"No\"; setup.exe " +
        (ended ? "ended with exit code " + std::to_string(code) : std::string("did NOT end")));

    say("\nprograms started by setup.exe, in order (from the stand-ins' log; the applet is the real one):");
    const std::vector<LogEntry> log = ReadLog(media + L"\\standin.log");
    const long long first = log.empty() ? 0 : log.front().ms;
    for (const auto& e : log) {
        const std::string at = "  +" + std::to_string(e.ms - first) + " ms  ";
        if (e.event == "START") {
            say(at + e.cmd + (e.extra.empty() ? "" : "  [STARTUPINFO " + e.extra + "]"));
            say(std::string(at.size(), ' ') + "in " + e.cwd);
        } else if (e.event == "SHOW") {
            const auto cut = e.extra.rfind(" at ");
            say(at + "  window \"" + e.extra.substr(0, cut) + "\" shown" +
                (cut == std::string::npos ? "" : e.extra.substr(cut)));
        } else if (e.event == "CLOSE") {
            say(at + "  " + e.name + " closed by WM_CLOSE");
        }
    }

    say("\nfiles in the Windows directory:");
    const std::wstring windir = WindowsDir();
    for (const wchar_t* f : {L"\\MyInstall\\RC.reg", L"\\MyInstall\\TSS.reg", L"\\Pelkora.exe", L"\\Pelkwatch.exe"}) {
        const std::string data = e2e::ReadFile(windir + f);
        say("  " + Narrow(windir + f) + (FileExists(windir + f) ? "  " + std::to_string(data.size()) + " bytes" : "  (missing)"));
    }

    say("\nregistry:");
    say("  HKLM\\" + Narrow(tuner) + "  HarloMode = " + Dword(HKEY_LOCAL_MACHINE, tuner, L"HarloMode"));
    say("  HKCU\\" + Narrow(kAppletKey) + "  Do Not Use = " + Dword(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use"));
    say("  HKCU\\" + Narrow(kAppletKey) + "  Profile = " + Text(HKEY_CURRENT_USER, kAppletKey, L"Profile"));
    for (const auto& [root, path] : KeysOfScript(windir + L"\\MyInstall\\RC.reg"))
        if (path != kAppletKey)
            say("  " + std::string(root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") + Narrow(path) + "  " +
                (KeyExists(root, path) ? "imported (FindWindowClassName = " +
                                             Text(root, path.c_str(), L"FindWindowClassName") + ")"
                                       : "MISSING"));
    say("  HKLM\\" + Narrow(kTssKey) + "  Imported = " + Dword(HKEY_LOCAL_MACHINE, kTssKey, L"Imported"));

    const bool applet = e2e::WaitFor([] { return e2e::FindTitle(kAppletTitle) != nullptr; }, 30000);
    say(std::string("\napplet window \"TV Card Remote Control Applet\": ") + (applet ? "running" : "NOT running"));
    if (applet) say(std::string("closed with WM_CLOSE: ") + (CloseAll(kAppletTitle, 30000) ? "yes" : "no"));
    return ended && applet ? 0 : 1;
}
