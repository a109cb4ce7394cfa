// Helpers for the end-to-end tests that drive the real programs under Wine.
//
// Build and run: `source scripts/wine-env.sh` (private prefix + Xvfb), then configure with
// -DCMAKE_TOOLCHAIN_FILE=$E2E_TOOLCHAIN: on machines that cannot run 32-bit Linux binaries (no
// wine32) that is the x86_64 toolchain and the tests run a 64-bit build of the same sources under
// wine64, so all Win32 code must be correct for both i686 and x86_64 (see /work/briefs/wine.md).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "screen.h"
#include "toplevel.h"
#include "tvlog.h"

namespace e2e {

// The applet's notification icon and the message it sends to the main window on a click.
constexpr UINT kTrayIconId = 128;
constexpr UINT kTrayCallbackMessage = WM_USER + 100;

// Owns a started process.
class Process {
public:
    Process() = default;
    explicit Process(const PROCESS_INFORMATION& pi);
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    bool started() const { return process_ != nullptr; }
    HANDLE handle() const { return process_; }
    DWORD id() const { return id_; }
    // Waits up to limitMs for the end; true and the exit code when it ended.
    bool WaitExit(DWORD limitMs, DWORD* exitCode = nullptr) const;
    bool Running() const;
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Starts `commandLine` (working directory `dir` when not empty). Check started().
Process Start(const std::wstring& commandLine, const std::wstring& dir = L"");

// Polls `condition` (pumping this thread's messages between polls) until it holds or limitMs
// have passed; returns the condition's last result.
bool WaitFor(const std::function<bool()>& condition, DWORD limitMs = 20000);

// Pumps this thread's messages for about `ms` (for windows the test itself owns).
void Pump(DWORD ms);

// Registry helpers for arranging and checking the real registry.
bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value);
bool GetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value);
bool GetString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring* value);
bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name);
void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name);
void DeleteTree(HKEY root, const std::wstring& path);
// Stores a value of any type and size, as another program may have left it.
bool SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const std::string& data);
// The bytes of a DWORD, and of a UTF-16 text with its terminating zero, as the registry stores them.
std::string DwordBytes(DWORD value);
std::string Utf16Bytes(const std::wstring& text);

// What Windows runs when an account logs on, for Wine, which has no logon of its own. First
// Active Setup: each component under HKLM\SOFTWARE\Microsoft\Active Setup\Installed Components
// (both registry views) with a StubPath, IsInstalled not 0, and no record of the account under
// HKCU\Software\Microsoft\Active Setup\Installed Components or one with a lower Version: its
// stub runs to its end (up to limitMs) and the record gets the component's Version. Then the Run
// values of HKLM (both views) and HKCU are started, not waited for. Only commands that contain one
// of `only` (ignoring case) run: Wine's prefix registers components of its own.
struct Logon {
    std::vector<std::wstring> stubs;  // the stubs run, in order
    std::vector<Process> started;     // the Run values' programs
    bool stubsEnded = true;           // every stub ended within the limit
};
Logon RunLogonPrograms(const std::vector<std::wstring>& only, DWORD limitMs = 60000);
// Active Setup's comparison: "1,0,0,12" and "1.0.0.12" are the same, missing parts count as 0.
int CompareVersions(const std::wstring& a, const std::wstring& b);

// Files.
std::string ReadFile(const std::wstring& path);         // empty when missing
bool CopyTo(const std::wstring& from, const std::wstring& to);
std::wstring TempDir(const std::wstring& name);          // a fresh, empty folder under %TEMP%
std::wstring Widen(const std::string& text);
// Each UTF-16 unit cut to its low byte: for messages and the ASCII texts of logs.
std::string Narrow(const std::wstring& text);

// Wine maps the Unix root to drive Z:; turns "/a/b" into "Z:\a\b" (other paths are returned as is).
std::wstring FromUnix(const std::string& path);

}  // namespace e2e
