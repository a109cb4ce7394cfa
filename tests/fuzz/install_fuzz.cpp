// The installation sequence over arbitrary patterns of failures: starts, copies, deletes, folder
// creation, registry operations, the watch's event, timer and message, the worker thread, the
// restart calls; arbitrary child lifetimes (ended at once, running while the GUI thread handles its
// messages and timer ticks, or never ending), a wizard window that comes and goes, odd media roots
// and system folders, and arbitrary registry contents.
//
// The GUI thread is modelled at the worker's calls: before any call of the worker, the GUI thread
// may handle what was posted to the window or a tick of the watch timer, and be asked whether the
// session may end; another program may close the window.
//
// Invariants: the sequence reaches the restart prompt (unless a child never ends, the window was
// closed from outside, or the guard or a failed worker start ends it early, as designed); it waits
// on, uses and closes only handles it owns and still holds, and leaves none open; it starts nothing
// twice and tries nothing more than twice; it touches no file but the ones it installs, in a known
// Windows directory (a program file held by a running program only by a copy beside it that the
// restart moves into its place), and writes no registry value but its own; it waits for no other
// program's answer without limit; it refuses to let the session end until the restart decision.
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <set>

#include "fake_world.h"
#include "fuzz_input.h"
#include "mainframe.h"
#include "setupapp.h"

namespace setup {
namespace {

using fake::kFrameWindow;

constexpr const char* kWizard = "Lumora - InstallShield Wizard";
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kComponentKey =
    "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
constexpr const char* kUserRecordKey =
    "Software\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
constexpr int kMostWizardSightings = 16;  // the wizard goes away in the end
constexpr int kMostWaitRounds = 1000;

// The launcher's process ends at this point of the worker: a child holds the sequence forever,
// or the window was closed and the process is on its way out.
struct Ended {
    bool held;
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "D:\Lumora\setup.exe" and "Lumora\setup.exe" are the same program: its folder and file name.
std::string Program(const std::string& commandLine) {
    std::string program;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const auto end = commandLine.find('"', 1);
        program = commandLine.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    } else {
        program = commandLine.substr(0, commandLine.find(' '));
    }
    const auto last = program.rfind('\\');
    if (last != std::string::npos && last > 0) {
        const auto before = program.rfind('\\', last - 1);
        if (before != std::string::npos) program = program.substr(before + 1);
    }
    return Lower(program);
}

// A folder the platform named: a drive or a server share, not a path relative to the current one.
bool Absolute(const std::string& dir) {
    return dir.size() >= 3 && ((std::isalpha(static_cast<unsigned char>(dir[0])) && dir[1] == ':' && dir[2] == '\\') ||
                               dir.compare(0, 2, "\\\\") == 0);
}

// Every port of the launcher, answering as the input says and passing the rest to the fake world.
class Faulty final : public Registry, public Processes, public Files, public Windows, public Sync,
                     public Restart, public Dialogs, public AppHost {
public:
    // The per-account ports are the world's own: its desktop user is Windows XP's (no token starts).
    Faulty(fuzz::Input& in, fake::World& world)
        : ports{*this, *this, *this, *this, *this, *this, *this, *this, world, world}, in_(in), world_(world) {}

    Ports ports;
    CMainFrame* frame = nullptr;
    bool armed = false;          // failures are injected from the start of the installation on
    bool workerStarted = false;
    bool onWorker = false;       // the calls now come from the worker thread
    bool closedFromOutside = false;
    bool alerted = false;
    int prompts = 0;
    bool promptReturned = false;
    std::vector<std::string> posts;  // messages posted to the setup window, in order
    std::set<std::string> started;   // programs started
    std::vector<std::string> writes; // registry changes

    // What the GUI thread does between two calls of the worker: the oldest posted message, or
    // else a watch tick; then the session may ask to end.
    bool GuiStep() {
        if (!windowAlive_) return false;
        inGui_ = true;
        bool progress = true;
        if (!queue_.empty()) {
            const std::uint32_t msg = queue_.front();
            queue_.pop_front();
            if (msg == kMsgStartWatch) {
                frame->OnStartWatch();
            } else if (msg == win::kWmClose) {
                frame->OnClose();
                windowAlive_ = false;  // the window is destroyed, the message loop ends
                timers_.clear();
                graceCalls_ = in_.Below(4);
            }
        } else if (timers_.count(kWatchTimer)) {
            frame->OnTimer(kWatchTimer);
        } else {
            progress = false;
        }
        if (onWorker && !promptReturned && windowAlive_)
            FUZZ_CHECK(!frame->OnQueryEndSession(), "the session may end while the installation runs");
        // Rarely, another program closes the window.
        if (onWorker && windowAlive_ && in_.Below(64) == 0) {
            queue_.push_back(win::kWmClose);
            closedFromOutside = true;
        }
        inGui_ = false;
        return progress;
    }

    void Drain() {
        onWorker = false;
        while (windowAlive_ && !queue_.empty()) GuiStep();
    }

    bool OwnsOpen(const char* kind) const {
        for (const auto& h : open_)
            if (h.second.kind == kind) return true;
        return false;
    }

    // ---- Registry --------------------------------------------------------------------------
    Handle OpenKey(RegRoot root, const std::string& path, std::uint32_t access) override {
        const std::uint8_t b = Step();
        FUZZ_CHECK(access == win::kKeyAllAccess, "a key opened with " + std::to_string(access));
        const bool known = (root == RegRoot::CurrentUser && path == fake::kAppletKey) ||
                           (root == RegRoot::LocalMachine &&
                            (path == fake::kTunerKey || path == fake::kIntercastKey || path == kRunKey));
        FUZZ_CHECK(known, "opens a key it does not use: " + path);
        if (Fails(b)) return 0;
        return Own(world_.OpenKey(root, path, access), "key", KeyName(root, path));
    }
    Handle CreateKey(RegRoot root, const std::string& path, std::uint32_t options, std::uint32_t access) override {
        const std::uint8_t b = Step();
        const bool own = (root == RegRoot::LocalMachine && path == fake::kTunerKey && access == win::kKeyAllAccess) ||
                         (root == RegRoot::LocalMachine && path == kComponentKey &&
                          access == (win::kKeyAllAccess | win::kKeyWow64_64Key)) ||
                         (root == RegRoot::CurrentUser && path == kUserRecordKey && access == win::kKeyAllAccess);
        FUZZ_CHECK(own && options == 0, "creates a key it does not own: " + path);
        if (Fails(b)) return 0;
        return Own(world_.CreateKey(root, path, options, access), "key", KeyName(root, path));
    }
    bool QueryValue(Handle key, const std::string& name, std::uint32_t* type, void* data,
                    std::uint32_t* size) override {
        const std::uint8_t b = Step();
        Use(key, "key", "queries a value");
        if (Fails(b)) {
            // A failed query may leave anything in the buffer and the size.
            if (b & 8) std::memset(data, b, *size);
            if (b & 16) *size = in_.Word();
            return false;
        }
        return world_.QueryValue(key, name, type, data, size);
    }
    bool SetValue(Handle key, const std::string& name, std::uint32_t type, const void* data,
                  std::uint32_t size) override {
        const std::uint8_t b = Step();
        const std::string where = Use(key, "key", "writes a value");
        const std::string bytes(static_cast<const char*>(data), size);
        const bool own = (where == "HKLM tuner" && name == "HarloMode" && type == win::kRegDword &&
                          bytes == std::string(4, '\0')) ||
                         (where == "HKCU applet" && name == "Profile" && type == win::kRegSz &&
                          bytes == std::string("RC28Keys", 9)) ||
                         (where == std::string("HKLM ") + kComponentKey &&
                          (name == "IsInstalled" ? type == win::kRegDword
                                                 : type == win::kRegSz && (name.empty() || name == "ComponentID" ||
                                                                          name == "StubPath" || name == "Version"))) ||
                         (where == std::string("HKCU ") + kUserRecordKey && name == "Version" && type == win::kRegSz) ||
                         (where == std::string("HKLM ") + kRunKey && name == "TV Card Remote Control Device Monitor" &&
                          type == win::kRegSz);
        FUZZ_CHECK(own, "writes a value that is not its own: " + where + " " + name);
        writes.push_back(where + " " + name);
        if (Fails(b)) return false;
        return world_.SetValue(key, name, type, data, size);
    }
    bool DeleteValue(Handle key, const std::string& name) override {
        const std::uint8_t b = Step();
        const std::string where = Use(key, "key", "deletes a value");
        FUZZ_CHECK(where == "HKCU applet" && name == "Do Not Use", "deletes a value that is not its own: " + name);
        writes.push_back(where + " -" + name);
        if (Fails(b)) return false;
        return world_.DeleteValue(key, name);
    }
    void CloseKey(Handle key) override {
        Step();
        Release(key, "key");
        world_.CloseKey(key);
    }

    // ---- Processes -------------------------------------------------------------------------
    bool Start(const std::string& commandLine, bool inheritHandles, std::uint32_t creationFlags,
               const std::string& workingDir, const StartupRecord& startup, ProcessRecord* process) override {
        const std::uint8_t b = Step();
        const std::string program = Program(commandLine);
        FUZZ_CHECK(startup.cb == 68, "a start-up record of " + std::to_string(startup.cb) + " bytes");
        FUZZ_CHECK(++attempts_[program] <= 2, "tries " + program + " a third time");
        FUZZ_CHECK(started.count(program) == 0, "starts " + program + " twice");
        if (Fails(b)) return false;
        if (!world_.Start(commandLine, inheritHandles, creationFlags, workingDir, startup, process)) return false;
        started.insert(program);
        Own(process->process, "process", program);
        Own(process->thread, "thread", program);
        return true;
    }
    std::uint32_t WaitFor(Handle handle, std::uint32_t timeoutMs) override {
        const std::uint8_t b = Step();
        const auto it = open_.find(handle);
        FUZZ_CHECK(it != open_.end(), closed_.count(handle) ? "waits on a handle it has closed"
                                                             : "waits on a handle it does not own");
        if (it == open_.end()) return 0xFFFFFFFF;
        FUZZ_CHECK(it->second.kind == "process" || it->second.kind == "event" || it->second.kind == "opened process",
                   "waits on a " + it->second.kind);
        if (it->second.kind == "event") return WaitEvent(handle, timeoutMs);
        // A closed program that ends within the bound, or does not.
        if (it->second.kind == "opened process") {
            FUZZ_CHECK(timeoutMs != 0xFFFFFFFFu, "waits without a bound for a program it closed");
            world_.WaitFor(handle, timeoutMs);
            return Fails(b) ? win::kWaitTimeout : 0;
        }
        // The child's lifetime: it never ends, or the GUI thread runs a while before it does.
        if (((b >> 3) & 31) == 31) throw Ended{true};
        for (int i = (b >> 3) & 3; i > 0; --i) GuiStep();
        return world_.WaitFor(handle, timeoutMs);
    }
    std::uint32_t WaitIdle(Handle process, std::uint32_t timeoutMs) override {
        const std::uint8_t b = Step();
        Use(process, "process", "waits for input idle");
        world_.WaitIdle(process, timeoutMs);
        return Fails(b) ? 0xFFFFFFFF : 0;
    }
    void CloseHandle(Handle handle) override {
        Step();
        const auto it = open_.find(handle);
        const std::string kind = it == open_.end() ? "" : it->second.kind;
        FUZZ_CHECK(kind.empty() || kind == "process" || kind == "thread" || kind == "event" || kind == "opened process",
                   "closes a " + kind + " handle as a kernel object");
        Release(handle, kind.empty() ? "process" : kind.c_str());
        world_.CloseHandle(handle);
    }
    Handle Open(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override {
        const std::uint8_t b = Step();
        FUZZ_CHECK(access == 0x100000 && !inheritHandle, "opens a program's process for more than waiting");
        if (Fails(b)) return 0;
        return Own(world_.Open(access, inheritHandle, processId), "opened process",
                   "process " + std::to_string(processId));
    }
    void Exec(const std::string& commandLine, std::int32_t show) override {
        Step();
        auto runs = [&](const std::string& program) {
            return commandLine.compare(0, program.size() + 1, program + " ") == 0 ||
                   commandLine.compare(0, program.size() + 3, "\"" + program + "\" ") == 0;
        };
        FUZZ_CHECK((Absolute(world_.systemDir) && runs(world_.systemDir + "\\regsvr32.exe")) ||
                       (Absolute(world_.windowsDir) && runs(world_.windowsDir + "\\regedit.exe")),
                   "runs a program outside the system's folders: " + commandLine);
        world_.Exec(commandLine, show);
    }

    // ---- Files -----------------------------------------------------------------------------
    std::string WindowsDirectory() override { return world_.WindowsDirectory(); }
    std::string SystemDirectory() override { return world_.SystemDirectory(); }
    std::uint32_t ProductVersionMS(const std::string& path) override { return world_.ProductVersionMS(path); }
    bool MakeDirectory(const std::string& path) override {
        const std::uint8_t b = Step();
        FUZZ_CHECK(Absolute(world_.windowsDir) && path == world_.windowsDir + "\\MyInstall",
                   "creates a folder it does not install: " + path);
        world_.MakeDirectory(path);
        return !Fails(b);
    }
    bool Copy(const std::string& from, const std::string& to, bool failIfExists) override {
        const std::uint8_t b = Step();
        CheckInstalled(to, "copies to");
        FUZZ_CHECK(!failIfExists, "a copy that does not replace an old file");
        if (Fails(b)) world_.failingCopies.insert(from);
        const bool ok = world_.Copy(from, to, failIfExists);
        world_.failingCopies.erase(from);
        lastError_ = Error(b);
        return ok;
    }
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        const std::uint8_t b = Step();
        CheckInstalled(path, "changes the attributes of");
        world_.SetAttributes(path, attributes);
        return !Fails(b);
    }
    bool Remove(const std::string& path) override {
        const std::uint8_t b = Step();
        CheckInstalled(path, "deletes");
        world_.Remove(path);
        lastError_ = Error(b);
        return !Fails(b);
    }
    bool Move(const std::string& from, const std::string& to, std::uint32_t flags) override {
        const std::uint8_t b = Step();
        CheckInstalled(from, "moves");
        CheckInstalled(to, "moves onto");
        FUZZ_CHECK(from == to + kPendingSuffix, "schedules a move other than of a file onto its own place: " + from);
        FUZZ_CHECK(flags == (win::kMovefileDelayUntilReboot | win::kMovefileReplaceExisting),
                   "a move that is not a replacement at the restart");
        world_.Move(from, to, flags);
        lastError_ = Error(b);
        return !Fails(b);
    }
    std::uint32_t LastError() override { return lastError_; }

    // ---- Windows ---------------------------------------------------------------------------
    Hwnd FindWindow(const char* className, const char* title) override {
        const std::uint8_t b = Step();
        if (!className && title && std::strcmp(title, kWizard) == 0) {
            world_.FindWindow(className, title);
            if ((b & 7) == 7 && sightings_ < kMostWizardSightings) {
                ++sightings_;
                return 0x900;
            }
            return 0;
        }
        return world_.FindWindow(className, title);
    }
    std::uint32_t OwnerProcess(Hwnd window) override {
        Step();
        return world_.OwnerProcess(window);
    }
    bool SendTimeout(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, std::uint32_t flags,
                    std::uint32_t timeoutMs) override {
        const std::uint8_t b = Step();
        FUZZ_CHECK(timeoutMs != win::kInfinite, "waits without limit for another program's answer");
        world_.SendTimeout(window, msg, wParam, lParam, flags, timeoutMs);
        return !Fails(b);
    }
    bool Post(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        const std::uint8_t b = Step();
        world_.Post(window, msg, wParam, lParam);
        if (window != kFrameWindow) return true;
        posts.push_back(msg == win::kWmClose ? "WM_CLOSE" : msg == kMsgStartWatch ? "start watch" : std::to_string(msg));
        if (!windowAlive_ || Fails(b)) return false;
        queue_.push_back(msg);
        return true;
    }
    void BringToTop(Hwnd window) override {
        Step();
        world_.BringToTop(window);
    }
    std::int32_t Alert(Hwnd owner, const std::string& text, const std::string& caption, std::uint32_t style) override {
        Step();
        alerted = true;
        return world_.Alert(owner, text, caption, style);
    }
    bool SetTimer(Hwnd window, std::uint32_t id, std::uint32_t periodMs) override {
        const std::uint8_t b = Step();
        world_.SetTimer(window, id, periodMs);
        if (!windowAlive_ || Fails(b)) return false;
        timers_.insert(id);
        return true;
    }
    void KillTimer(Hwnd window, std::uint32_t id) override {
        Step();
        timers_.erase(id);
        world_.KillTimer(window, id);
    }
    std::int32_t Metric(std::int32_t index) override { return world_.Metric(index); }

    // ---- Sync ------------------------------------------------------------------------------
    Handle NewEvent(bool manualReset, bool initialState) override {
        const std::uint8_t b = Step();
        if (Fails(b)) return 0;
        return Own(world_.NewEvent(manualReset, initialState), "event", "event");
    }
    void SetEvent(Handle event) override {
        Step();
        Use(event, "event", "sets an event");
        set_.insert(event);
        world_.SetEvent(event);
    }
    void Sleep(std::uint32_t ms) override {
        Step();
        world_.Sleep(ms);
    }
    bool StartWorker(CMainFrame& worker) override {
        const std::uint8_t b = Step();
        FUZZ_CHECK(&worker == frame, "a worker for another window");
        world_.StartWorker(worker);
        workerStarted = !Fails(b);
        return workerStarted;
    }

    // ---- Restart ---------------------------------------------------------------------------
    bool ExitSession(std::uint32_t flags, std::uint32_t reason) override {
        const std::uint8_t b = Step();
        FUZZ_CHECK(frame->OnQueryEndSession(), "asks for a restart while refusing to let the session end");
        world_.ExitSession(flags, reason);
        return !Fails(b);
    }
    Handle OpenToken(std::uint32_t access) override {
        const std::uint8_t b = Step();
        if (Fails(b)) return 0;
        return Own(world_.OpenToken(access), "token", "token");
    }
    void EnablePrivilege(Handle token, const std::string& privilege, std::uint32_t attributes) override {
        Step();
        Use(token, "token", "adjusts a token");
        world_.EnablePrivilege(token, privilege, attributes);
    }
    void CloseToken(Handle token) override {
        Step();
        Release(token, "token");
        world_.CloseToken(token);
    }

    // ---- Dialogs ---------------------------------------------------------------------------
    std::int32_t RunModal(std::int32_t templateId, Hwnd parent, CRestartDlg& dialog) override {
        const std::uint8_t b = Step();
        FUZZ_CHECK(templateId == kRestartDialog && parent == kFrameWindow, "a prompt that is not the restart prompt");
        FUZZ_CHECK(++prompts == 1, "the restart prompt shown twice");
        world_.dialogResult = (b & 8) ? win::kIdCancel : win::kIdOk;
        world_.dialogClicks.clear();
        for (int i = (b >> 4) & 3; i > 0; --i) world_.dialogClicks.push_back(in_.Bool() ? kRadioRestartNow : kRadioRestartLater);
        const std::int32_t result = world_.RunModal(templateId, parent, dialog);
        promptReturned = true;
        return result;
    }

    // ---- AppHost (not used by the sequence) -------------------------------------------------
    std::string LoadString(std::uint32_t id) override { return world_.LoadString(id); }
    Handle OpenMutex(std::uint32_t a, bool i, const std::string& n) override { return world_.OpenMutex(a, i, n); }
    Handle CreateMutex(bool o, const std::string& n) override { return world_.CreateMutex(o, n); }
    void CoInitializeEx(std::uint32_t model) override { world_.CoInitializeEx(model); }
    void CoUninitialize() override { world_.CoUninitialize(); }
    std::string ModuleFileName() override { return world_.ModuleFileName(); }
    std::u16string ModuleFileNameWide() override { return world_.ModuleFileNameWide(); }
    std::u16string ShortPath(const std::u16string& p) override { return world_.ShortPath(p); }
    bool ToAnsi(const std::u16string& w, std::string* a) override { return world_.ToAnsi(w, a); }
    Hwnd CreateMainWindow(CMainFrame& f) override { return world_.CreateMainWindow(f); }
    void ShowWindow(Hwnd window, std::int32_t command) override { world_.ShowWindow(window, command); }
    void UpdateWindow(Hwnd window) override { world_.UpdateWindow(window); }

private:
    struct Object {
        std::string kind;  // process, thread, event, key, token
        std::string name;
    };

    static std::string KeyName(RegRoot root, const std::string& path) {
        const std::string hive = root == RegRoot::CurrentUser ? "HKCU " : "HKLM ";
        if (path == fake::kAppletKey) return hive + "applet";
        if (path == fake::kTunerKey) return hive + "tuner";
        if (path == fake::kIntercastKey) return hive + "intercast";
        return hive + path;
    }

    // One decision per call of the launcher; the GUI thread may run before a call of the worker.
    std::uint8_t Step() {
        if (inGui_ || !armed) return inGui_ && armed ? in_.Byte() : 0;
        if (onWorker && !windowAlive_ && graceCalls_-- <= 0) throw Ended{false};
        const std::uint8_t b = in_.Byte();
        if (onWorker)
            for (int i = (b >> 1) & 3; i > 0; --i) GuiStep();
        return b;
    }
    static bool Fails(std::uint8_t b) { return (b & 1) != 0; }
    // What GetLastError gives after a failed call: a held file, a missing one, or anything else.
    static std::uint32_t Error(std::uint8_t b) {
        static const std::uint32_t kErrors[] = {win::kErrorAccessDenied, win::kErrorSharingViolation, 2, 0};
        return kErrors[(b >> 3) & 3];
    }

    Handle Own(Handle h, const char* kind, const std::string& name) {
        if (h != 0) open_[h] = Object{kind, name};
        return h;
    }
    // The handle must be one of ours, still open, of that kind; returns its name.
    std::string Use(Handle h, const char* kind, const char* what) {
        const auto it = open_.find(h);
        if (it == open_.end()) {
            FUZZ_CHECK(false, std::string(what) + (closed_.count(h) ? " on a handle it has closed" : " on a handle it does not own"));
            return "";
        }
        FUZZ_CHECK(it->second.kind == kind, std::string(what) + " on a " + it->second.kind);
        return it->second.name;
    }
    void Release(Handle h, const char* kind) {
        Use(h, kind, "closes");
        if (open_.erase(h)) closed_.insert(h);
    }

    void CheckInstalled(const std::string& path, const char* what) {
        static const char* const kInstalled[] = {"\\MyInstall\\TS.reg", "\\MyInstall\\TSS.reg", "\\MyInstall\\RC.reg",
                                                 "\\Pelkwatch.exe",     "\\Pelkora.exe",        "\\BorrinRMT.exe",
                                                 "\\Pelkwatch.exe.pending", "\\Pelkora.exe.pending"};
        bool named = false;
        for (const char* f : kInstalled) named = named || path == world_.windowsDir + f;
        FUZZ_CHECK(named && Absolute(world_.windowsDir), std::string(what) + " a file it does not install: " + path);
    }

    // The worker waits for the watch: the GUI thread must be able to get there.
    std::uint32_t WaitEvent(Handle event, std::uint32_t timeoutMs) {
        for (int round = 0; !set_.count(event); ++round) {
            if (!GuiStep()) {
                if (!windowAlive_) throw Ended{false};  // the process is ending anyway
                FUZZ_CHECK(false, "waits on an event that nothing will set");
                throw Ended{true};
            }
            if (round == kMostWaitRounds) {
                FUZZ_CHECK(false, "the watch never ends");
                throw Ended{true};
            }
        }
        return world_.WaitFor(event, timeoutMs);
    }

    fuzz::Input& in_;
    fake::World& world_;
    bool inGui_ = false;
    bool windowAlive_ = true;
    int graceCalls_ = 0;
    int sightings_ = 0;
    std::uint32_t lastError_ = 0;
    std::deque<std::uint32_t> queue_;
    std::set<std::uint32_t> timers_;
    std::set<Handle> set_;
    std::map<Handle, Object> open_;
    std::set<Handle> closed_;
    std::map<std::string, int> attempts_;
};

// Where the launcher may be: drives, shares, blanks, the root of a drive, no folder at all.
const char* const kModules[] = {"D:\\Setup\\setup.exe", "C:\\Users\\x\\Downloads\\TV Card\\Setup\\setup.exe",
                                "D:\\setup.exe", "\\\\server\\share\\Setup\\setup.exe", "setup.exe", "D:setup.exe"};
const char* const kWindows[] = {"C:\\WINDOWS", "C:\\My Windows", "\\\\server\\win", ""};

std::string Choose(fuzz::Input& in, const char* const* dictionary, std::uint32_t count, std::size_t maxOwn) {
    const std::uint32_t pick = in.Below(count + 1);
    return pick < count ? dictionary[pick] : in.Bytes(maxOwn);
}

// Without the characters that no Windows path holds.
std::string PathText(const std::string& text) {
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 && !std::strchr("\"<>|*?", c)) out.push_back(c);
    return out;
}

std::string Folder(fuzz::Input& in) {
    const std::uint32_t pick = in.Below(5);
    return pick < 4 ? kWindows[pick] : "C:\\" + PathText(in.Bytes(300));
}

fake::Value AnyValue(fuzz::Input& in) {
    const std::uint32_t type = in.Below(12);
    if (in.Bool()) {
        const std::uint32_t w = in.Word();
        return fake::Value{type, std::string(reinterpret_cast<const char*>(&w), 4)};
    }
    return fake::Value{type, in.Bytes(400)};
}

// The launcher's last actions, for a report.
std::string LastActions(const void* world) {
    const fake::Trace& trace = static_cast<const fake::World*>(world)->trace;
    std::string out = "last actions:";
    for (std::size_t i = trace.size() > 40 ? trace.size() - 40 : 0; i < trace.size(); ++i) out += "\n  " + trace[i];
    return out;
}

}  // namespace

}  // namespace setup

int FuzzInstall(const std::uint8_t* data, std::size_t size) {
    using namespace setup;
    fuzz::Input in(data, size);
    fake::World world;
    const fuzz::ReportContext context(LastActions, &world);
    Faulty faulty(in, world);

    const std::string root = MediaRootFromModule(PathText(Choose(in, kModules, 6, 300)));
    // The platform names its folders with a full path, or not at all (the adapters give "").
    world.windowsDir = Folder(in);
    world.systemDir = in.Below(4) == 0 ? Folder(in) : world.windowsDir.empty() ? "" : world.windowsDir + "\\system32";
    const std::uint32_t versions[] = {0x00050001, 0, 0x00060000, in.Word()};
    world.platform = versions[in.Below(4)];
    const std::uint8_t flags = in.Byte();
    if (flags & 1) world.SetDword(RegRoot::CurrentUser, fake::kAppletKey, "Do Not Use", 1);
    if (flags & 2) world.AddKey(RegRoot::CurrentUser, fake::kAppletKey);
    if (flags & 4) {
        world.AddKey(RegRoot::LocalMachine, fake::kTunerKey);
        auto& tuner = world.keys[std::string("HKLM\\") + fake::kTunerKey];
        for (const char* name : {"DeviceID", "IsOldBoard", "GPIO"})
            if (in.Bool()) tuner[name] = AnyValue(in);
    }
    if (flags & 8) {
        world.AddKey(RegRoot::LocalMachine, fake::kIntercastKey);
        if (in.Bool()) world.keys[std::string("HKLM\\") + fake::kIntercastKey]["Capture Description"] = AnyValue(in);
    }
    const std::uint8_t windows = in.Byte();
    if (windows & 1) world.AddWindow("Afx:00400000:0", "Nuvex Schedule Agent");
    if (windows & 2) world.AddWindow("any", "TV Card Remote Control Device Monitor");
    if (windows & 4) world.AddWindow("any", "TV Card Remote Control Applet");
    if (windows & 8) world.AddWindow("any", "PCI TV Card Remote Control Applet");

    CMainFrame frame(faulty.ports, root);
    faulty.frame = &frame;
    frame.Context().harloOnly = (flags >> 4) & 1;
    frame.Context().both = (flags >> 5) & 1;
    frame.OnCreate(fake::kFrameWindow);
    faulty.armed = true;

    bool ended = false;
    try {
        frame.OnTimer(kStartTimer);
        if (faulty.workerStarted) {
            faulty.onWorker = true;
            frame.RunWorker();
        }
    } catch (const Ended&) {
        ended = true;
    }
    faulty.Drain();

    if (ended) return 0;
    if (faulty.alerted) {
        // The guard: the wizard of another setup is open, so nothing is done at all.
        FUZZ_CHECK(faulty.posts == std::vector<std::string>{"WM_CLOSE"} && faulty.started.empty() &&
                       faulty.writes.empty() && !faulty.workerStarted,
                   "the guard did more than close the window");
        return 0;
    }
    FUZZ_CHECK(!faulty.posts.empty() && faulty.posts.back() == "WM_CLOSE", "the launcher does not close at the end");
    FUZZ_CHECK(frame.OnQueryEndSession(), "the session may not end after the installation");
    if (!faulty.workerStarted) return 0;
    if (faulty.closedFromOutside) return 0;
    FUZZ_CHECK(faulty.prompts == 1, "the sequence did not reach the restart prompt");
    for (const char* kind : {"process", "thread", "event", "key", "token"})
        FUZZ_CHECK(!faulty.OwnsOpen(kind), std::string("a ") + kind + " handle left open");
    return 0;
}
