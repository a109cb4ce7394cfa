// The launcher's application object: single instance, media root, switches, the setup window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mainframe.h"
#include "ports.h"

namespace setup {

constexpr std::uint32_t kInstanceNameId = 128;  // "TV Card Setup"

// The parent of the launcher's folder, ending in a backslash (D:\Setup\Setup.exe -> D:\).
std::string MediaRootFromModule(const std::string& modulePath);

// The launcher's own path in ANSI that names its file exactly and fits a 260-byte buffer: the
// long path when it does, else its short form when that does (plain ASCII wherever the volume has
// short names); empty when neither does, as for a folder named outside the ANSI code page on a
// volume without short names.
std::string ExactAnsiModulePath(AppHost& host);

struct Switches {
    bool harloOnly = false;
    bool both = false;
};
// The command-line text after the program name, compared whole, ignoring case.
Switches ParseSwitches(const std::string& commandLine);

class CSetupApp {
public:
    explicit CSetupApp(Ports& ports) : ports_(ports) {}
    ~CSetupApp();

    // True to enter the message loop, false to end at once.
    bool InitInstance(const std::string& commandLine);
    // After the message loop; returns the program's exit code.
    std::int32_t ExitInstance(std::int32_t loopExitCode);

    CMainFrame* MainFrame() const { return mainFrame_.get(); }
    const std::string& MediaRoot() const { return mediaRoot_; }

private:
    Ports& ports_;
    Handle mutex_ = 0;
    std::string mediaRoot_;
    // The worker thread uses the frame until the process ends: it is never destroyed before that
    // in the program (WinMain leaves with ExitProcess), only when a test drops the app.
    std::unique_ptr<CMainFrame> mainFrame_;
};

}  // namespace setup
