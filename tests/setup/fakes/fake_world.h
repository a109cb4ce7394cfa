// In-memory world for the launcher's logic: every port call is written to one trace, in order,
// so a test can compare the whole sequence of observable actions.
#pragma once

#include <cstdint>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "mainframe.h"
#include "ports.h"
#include "restartdlg.h"
#include "trace.h"

namespace setup::fake {

using traces::Trace;
using traces::Only;
using traces::TailFrom;

constexpr Hwnd kFrameWindow = 0x100;
extern const char kAppletKey[];
extern const char kTunerKey[];
extern const char kIntercastKey[];
extern const char kComponent[];         // our Active Setup component's name
extern const char kComponentKey[];      // under HKLM
extern const char kAccountRecordKey[];  // under HKCU: the account has had the component's version

struct Value {
    std::uint32_t type;
    std::string data;
};

class World final : public Registry, public Processes, public Files, public Windows, public Sync,
                    public Restart, public Dialogs, public DialogControls, public AppHost,
                    public Accounts, public Pictures {
public:
    World();
    Ports& ports() { return ports_; }
    Trace trace;

    // ---- configuration -------------------------------------------------------------------------
    // Registry: keys by "HKLM\path" / "HKCU\path"; short names in the trace for the known keys.
    std::map<std::string, std::map<std::string, Value>> keys;
    void AddKey(RegRoot root, const std::string& path);
    void SetDword(RegRoot root, const std::string& path, const std::string& name, std::uint32_t v);
    void SetText(RegRoot root, const std::string& path, const std::string& name,
                 const std::string& text);  // REG_SZ, with its terminating zero
    const Value* Find(RegRoot root, const std::string& path, const std::string& name) const;

    // A user without administrator rights may only read HKEY_LOCAL_MACHINE: an open or create
    // there that asks for more than KEY_READ fails (ERROR_ACCESS_DENIED), as on Windows.
    bool administrator = true;
    std::set<std::string> uncreatableKeys;  // "HKLM\path" that RegCreateKeyExA cannot create
    std::set<std::string> failingStarts;   // command lines that CreateProcess refuses
    std::set<std::string> failingCopies;   // sources that CopyFile refuses
    // Program files of running processes: DeleteFile refuses them (ERROR_ACCESS_DENIED), and so
    // does CopyFile onto them (ERROR_SHARING_VIOLATION), as Windows does.
    std::set<std::string> filesInUse;
    bool movesFail = false;  // MoveFileEx refuses (ERROR_ACCESS_DENIED)
    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\system32";
    std::uint32_t platform = 0x00050001;
    std::int32_t screenWidth = 1024, screenHeight = 768, border = 1;

    struct Window {
        Hwnd hwnd;
        std::string className, title;
        std::uint32_t processId;  // 0: GetWindowThreadProcessId finds no window
        bool answers = true;      // false: its thread handles no message (a hung program)
    };
    std::vector<Window> windows;  // top-level windows besides the setup window
    // Each window gets a process of its own: ids 501, 502, ... in the order they were added.
    Window& AddWindow(const std::string& className, const std::string& title);
    void RemoveWindow(const std::string& title);
    std::set<std::uint32_t> lingering;   // processes that are still running when a wait times out
    std::set<std::uint32_t> unopenable;  // processes that OpenProcess refuses

    bool eventCreates = true;
    bool workerStarts = true;
    // Runs while the worker waits on an unset event, once per round (the GUI thread's ticks).
    std::function<void()> whileEventWaits;
    // Runs after every line is written to the trace, with that line: a test reacts to an action.
    std::function<void(const std::string&)> onLog;
    // The two threads of the launcher. The setup window belongs to the GUI thread: its timers
    // can be set and killed only there (SetTimer fails for another thread's window, so such a
    // call counts as an error), and what is posted to it waits in its queue until that thread's
    // next turn, when DeliverPosted hands it to this frame's handlers. A test runs the worker's
    // steps with onGuiThread false. While the GUI thread is idle its turn comes as soon as the
    // worker posts; guiIdle false keeps it busy until the worker's next wait on an event.
    CMainFrame* frame = nullptr;
    bool onGuiThread = true;
    bool guiIdle = true;
    void OnGuiThread(const std::function<void()>& handler);
    void DeliverPosted();

    std::vector<bool> exitResults;  // ExitWindowsEx results in order; true when exhausted
    bool tokenOpens = true;
    std::int32_t dialogResult = win::kIdOk;
    std::vector<std::int32_t> dialogClicks;  // radio buttons clicked after initialisation
    std::int32_t restartNowAtEnd = -1;       // the dialog's flag when it ended

    std::string instanceName = "TV Card Setup";
    std::string modulePath = "D:\\Setup\\setup.exe";
    // The launcher's path as Windows holds it, when it is not modulePath itself. The fake's ANSI
    // code page is Latin-1: what lies beyond U+00FF has no exact form and reads as "?" through
    // GetModuleFileNameA, which gives nothing for a path of 260 characters or more.
    std::u16string modulePathWide;
    std::map<std::u16string, std::u16string> shortPaths;  // a path not listed is its own short form
    std::set<std::string> mutexes;  // named mutexes that exist
    bool windowCreates = true;
    // "Setup.bin" decodes (as a 1024 x 768 picture); the built-in 800 x 600 bitmap loads.
    bool skinFileDecodes = false;
    bool skinBitmapLoads = true;

    // Contents of the files that exist; a copy carries them, a deletion removes them.
    std::map<std::string, std::string> files;
    // The desktop user: CreateProcessWithTokenW exists from Vista on; the shell's window (one of
    // `windows`, 0 for none) and the sessions of processes (1 unless named here; the launcher is 400).
    bool withTokenStarts = false;
    Hwnd shell = 0;
    std::map<std::uint32_t, std::uint32_t> sessions;
    bool shellTokenOpens = true;
    bool tokenDuplicates = true;
    std::set<std::string> failingTokenStarts;  // command lines that CreateProcessWithTokenW refuses

    int errors = 0;  // actions on closed or unknown handles

    // ---- Registry ------------------------------------------------------------------------------
    Handle OpenKey(RegRoot root, const std::string& path, std::uint32_t access) override;
    Handle CreateKey(RegRoot root, const std::string& path, std::uint32_t options,
                     std::uint32_t access) override;
    bool QueryValue(Handle key, const std::string& name, std::uint32_t* type, void* data,
                    std::uint32_t* size) override;
    bool SetValue(Handle key, const std::string& name, std::uint32_t type, const void* data,
                  std::uint32_t size) override;
    bool DeleteValue(Handle key, const std::string& name) override;
    void CloseKey(Handle key) override;
    // ---- Processes -----------------------------------------------------------------------------
    bool Start(const std::string& commandLine, bool inheritHandles, std::uint32_t creationFlags,
               const std::string& workingDir, const StartupRecord& startup,
               ProcessRecord* process) override;
    std::uint32_t WaitFor(Handle handle, std::uint32_t timeoutMs) override;  // also Sync
    Handle Open(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    std::uint32_t WaitIdle(Handle process, std::uint32_t timeoutMs) override;
    void CloseHandle(Handle handle) override;  // also Sync and AppHost
    void Exec(const std::string& commandLine, std::int32_t show) override;
    // ---- Files ---------------------------------------------------------------------------------
    std::string WindowsDirectory() override { return windowsDir; }
    std::string SystemDirectory() override { return systemDir; }
    std::uint32_t ProductVersionMS(const std::string& path) override;
    bool MakeDirectory(const std::string& path) override;
    bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
    bool Remove(const std::string& path) override;
    bool Move(const std::string& from, const std::string& to, std::uint32_t flags) override;
    std::uint32_t LastError() override { return lastError_; }
    // ---- Windows -------------------------------------------------------------------------------
    Hwnd FindWindow(const char* className, const char* title) override;
    bool SendTimeout(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                    std::uint32_t flags, std::uint32_t timeoutMs) override;
    std::uint32_t OwnerProcess(Hwnd window) override;
    bool Post(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void BringToTop(Hwnd window) override;
    std::int32_t Alert(Hwnd owner, const std::string& text, const std::string& caption,
                       std::uint32_t style) override;
    bool SetTimer(Hwnd window, std::uint32_t id, std::uint32_t periodMs) override;
    void KillTimer(Hwnd window, std::uint32_t id) override;
    std::int32_t Metric(std::int32_t index) override;
    // ---- Sync ----------------------------------------------------------------------------------
    Handle NewEvent(bool manualReset, bool initialState) override;
    void SetEvent(Handle event) override;
    void Sleep(std::uint32_t ms) override;
    bool StartWorker(CMainFrame& frame) override;
    // ---- Restart -------------------------------------------------------------------------------
    bool ExitSession(std::uint32_t flags, std::uint32_t reason) override;
    Handle OpenToken(std::uint32_t access) override;
    void EnablePrivilege(Handle token, const std::string& privilege,
                         std::uint32_t attributes) override;
    void CloseToken(Handle token) override;
    // ---- Dialogs -------------------------------------------------------------------------------
    std::int32_t RunModal(std::int32_t templateId, Hwnd parent, CRestartDlg& dialog) override;
    void SetCheck(std::int32_t id, std::uint32_t state) override;
    // ---- AppHost -------------------------------------------------------------------------------
    std::string LoadString(std::uint32_t id) override;
    Handle OpenMutex(std::uint32_t access, bool inherit, const std::string& name) override;
    Handle CreateMutex(bool initialOwner, const std::string& name) override;
    void CoInitializeEx(std::uint32_t model) override;
    void CoUninitialize() override;
    std::string ModuleFileName() override;
    std::u16string ModuleFileNameWide() override;
    std::u16string ShortPath(const std::u16string& path) override;
    bool ToAnsi(const std::u16string& wide, std::string* ansi) override;
    Hwnd CreateMainWindow(CMainFrame& frame) override;
    void ShowWindow(Hwnd window, std::int32_t command) override;
    void UpdateWindow(Hwnd window) override;

    // ---- Accounts ------------------------------------------------------------------------------
    bool ReadAll(const std::string& path, std::string* bytes) override;
    bool WriteAll(const std::string& path, const std::string& bytes) override;
    std::u16string Widen(const std::string& text) override;  // byte for byte
    Hwnd ShellWindow() override;
    std::uint32_t OwnProcessId() override { return 400; }
    bool SessionOf(std::uint32_t processId, std::uint32_t* session) override;
    Handle OpenToken(Handle process, std::uint32_t access) override;
    Handle DuplicatePrimary(Handle token, std::uint32_t access) override;
    bool CanStartWithToken() override;
    bool StartWithToken(Handle token, std::uint32_t logonFlags, const std::string& commandLine,
                        std::uint32_t creationFlags, const std::string& workingDir,
                        const StartupRecord& startup, ProcessRecord* process) override;

    // ---- Pictures ------------------------------------------------------------------------------
    Picture DecodeFile(const std::string& name) override;
    Picture LoadBitmapResource(std::uint32_t id) override;
    void DeleteObject(Handle bitmap) override;

    bool workerStarted = false;
    bool eventSet(Handle event) const { return setEvents_.count(event) != 0; }
    std::size_t openHandles(const std::string& kind) const {
        std::size_t n = 0;
        for (const auto& o : open_) n += o.second.kind == kind;
        return n;
    }
    bool timerRunning(std::uint32_t id) const { return timers_.count(id) != 0; }

private:
    struct Object {
        std::string name;
        std::string kind;  // key, process, thread, event, token, mutex, opened process, bitmap
        std::string path;  // key: "HKLM\path"; mutex: its name; opened process: its id
    };
    Handle NewHandle(const std::string& kind, const std::string& name, const std::string& path = "");
    // The handles and ids of a process that a start gave: the thread id follows the process id.
    void Started(const std::string& commandLine, std::uint32_t processId, ProcessRecord* process);
    const Object* Live(Handle h, const char* what);
    bool Refused(RegRoot root, std::uint32_t access) const;
    std::string WindowName(Hwnd w) const;
    void Log(const std::string& line) {
        trace.push_back(line);
        if (onLog) onLog(line);
    }

    Ports ports_;
    Handle next_ = 0x1000;
    std::map<Handle, Object> open_;
    std::set<Handle> setEvents_;
    std::deque<std::uint32_t> posted_;  // messages posted to the setup window, not yet handled
    std::set<std::uint32_t> timers_;
    int events_ = 0;
    Hwnd nextWindow_ = 0x200;
    std::size_t exitCalls_ = 0;
    std::uint32_t lastError_ = 0;
};

}  // namespace setup::fake
