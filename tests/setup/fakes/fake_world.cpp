#include "fake_world.h"

#include "setupapp.h"

#include <cstdio>
#include <cstring>

namespace setup::fake {

const char kAppletKey[] = "SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
const char kTunerKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
const char kIntercastKey[] = "SOFTWARE\\INTEL\\Intercast\\Drivers";
const char kComponent[] = "{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
const char kComponentKey[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";
const char kAccountRecordKey[] = "Software\\Microsoft\\Active Setup\\Installed Components\\{BAED5579-97F1-427A-8BB7-07AAED4FDAD9}";

namespace {

std::string KeyId(RegRoot root, const std::string& path) {
    return (root == RegRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + path;
}

std::string ShortKey(const std::string& id) {
    const std::string path = id.substr(5);
    if (path == kAppletKey) return "Applet";
    if (path == kTunerKey) return "Tunvex";
    if (path == kIntercastKey) return "Intercast";
    if (path == "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run") return "Run";
    if (path == kComponentKey) return "Component";
    if (path == kAccountRecordKey) return "AccountRecord";
    return path;
}

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

std::string Ms(std::uint32_t ms) { return ms == win::kInfinite ? "INFINITE" : std::to_string(ms); }

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\0') out += "\\0";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

// "D:\Lumora\setup.exe /x" -> "Lumora\setup.exe": the program's folder and file name.
std::string ProgramName(const std::string& commandLine) {
    std::string program;
    if (!commandLine.empty() && commandLine[0] == '"')
        program = commandLine.substr(1, commandLine.find('"', 1) - 1);
    else
        program = commandLine.substr(0, commandLine.find(' '));
    const auto last = program.rfind('\\');
    if (last == std::string::npos || last == 0) return program;
    const auto before = program.rfind('\\', last - 1);
    return before == std::string::npos ? program : program.substr(before + 1);
}

}  // namespace

World::World()
    : ports_{*this, *this, *this, *this, *this, *this, *this, *this, *this, *this} {}

void World::AddKey(RegRoot root, const std::string& path) { keys[KeyId(root, path)]; }

void World::SetDword(RegRoot root, const std::string& path, const std::string& name,
                     std::uint32_t v) {
    keys[KeyId(root, path)][name] = Value{win::kRegDword, std::string(reinterpret_cast<char*>(&v), 4)};
}

void World::SetText(RegRoot root, const std::string& path, const std::string& name,
                    const std::string& text) {
    keys[KeyId(root, path)][name] = Value{win::kRegSz, text + '\0'};
}

const Value* World::Find(RegRoot root, const std::string& path, const std::string& name) const {
    auto k = keys.find(KeyId(root, path));
    if (k == keys.end()) return nullptr;
    auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

World::Window& World::AddWindow(const std::string& className, const std::string& title) {
    windows.push_back(Window{nextWindow_++, className, title, 501 + static_cast<std::uint32_t>(windows.size())});
    return windows.back();
}

void World::RemoveWindow(const std::string& title) {
    for (auto it = windows.begin(); it != windows.end(); ++it)
        if (it->title == title) {
            windows.erase(it);
            return;
        }
}

Handle World::NewHandle(const std::string& kind, const std::string& name, const std::string& path) {
    const Handle h = next_++;
    open_[h] = Object{name, kind, path};
    return h;
}

const World::Object* World::Live(Handle h, const char* what) {
    auto it = open_.find(h);
    if (it != open_.end()) return &it->second;
    ++errors;
    Log(std::string("ERROR: ") + what + " on a closed or unknown handle");
    return nullptr;
}

std::string World::WindowName(Hwnd w) const {
    if (w == kFrameWindow) return "frame";
    for (const auto& win : windows)
        if (win.hwnd == w) return win.title;
    return Hex(static_cast<std::uint32_t>(w));
}

// ---- Registry ----------------------------------------------------------------------------------

namespace {
constexpr std::uint32_t kKeyRead = 0x20019;
}  // namespace

bool World::Refused(RegRoot root, std::uint32_t access) const {
    return !administrator && root == RegRoot::LocalMachine && (access & ~kKeyRead) != 0;
}

Handle World::OpenKey(RegRoot root, const std::string& path, std::uint32_t access) {
    const std::string id = KeyId(root, path);
    std::string line = "OpenKey(" + id.substr(0, 4) + " " + ShortKey(id) + ", " + Hex(access) + ")";
    if (keys.count(id) == 0 || Refused(root, access)) {
        Log(line + " fails");
        return 0;
    }
    Log(line);
    return NewHandle("key", ShortKey(id), id);
}

Handle World::CreateKey(RegRoot root, const std::string& path, std::uint32_t options,
                        std::uint32_t access) {
    const std::string id = KeyId(root, path);
    const std::string line = "CreateKey(" + id.substr(0, 4) + " " + ShortKey(id) + ", " +
                             std::to_string(options) + ", " + Hex(access) + ")";
    if (uncreatableKeys.count(id) != 0 || Refused(root, access)) {
        Log(line + " fails");
        return 0;
    }
    Log(line);
    keys[id];
    return NewHandle("key", ShortKey(id), id);
}

bool World::QueryValue(Handle key, const std::string& name, std::uint32_t* type, void* data,
                       std::uint32_t* size) {
    const Object* k = Live(key, "QueryValue");
    if (!k) return false;
    Log("QueryValue(" + k->name + ", \"" + name + "\", type " + std::to_string(*type) + ", size " +
        std::to_string(*size) + ")");
    auto& values = keys[k->path];
    auto v = values.find(name);
    if (v == values.end()) return false;
    const auto needed = static_cast<std::uint32_t>(v->second.data.size());
    if (needed > *size) {
        *size = needed;  // the data is not read
        return false;
    }
    std::memcpy(data, v->second.data.data(), needed);
    *size = needed;
    *type = v->second.type;
    return true;
}

bool World::SetValue(Handle key, const std::string& name, std::uint32_t type, const void* data,
                     std::uint32_t size) {
    const Object* k = Live(key, "SetValue");
    if (!k) return false;
    std::string bytes(static_cast<const char*>(data), size);
    std::string shown;
    if (type == win::kRegDword && size == 4) {
        std::uint32_t v;
        std::memcpy(&v, data, 4);
        shown = Hex(v);
    } else {
        shown = "\"" + Escaped(bytes) + "\"";
    }
    Log("SetValue(" + k->name + ", \"" + name + "\", type " + std::to_string(type) + ", " +
        std::to_string(size) + " bytes " + shown + ")");
    keys[k->path][name] = Value{type, bytes};
    return true;
}

bool World::DeleteValue(Handle key, const std::string& name) {
    const Object* k = Live(key, "DeleteValue");
    if (!k) return false;
    Log("DeleteValue(" + k->name + ", \"" + name + "\")");
    return keys[k->path].erase(name) != 0;
}

void World::CloseKey(Handle key) {
    const Object* k = Live(key, "CloseKey");
    if (!k) return;
    Log("CloseKey(" + k->name + ")");
    open_.erase(key);
}

// ---- Processes ---------------------------------------------------------------------------------

void World::Started(const std::string& commandLine, std::uint32_t processId, ProcessRecord* process) {
    const std::string name = ProgramName(commandLine);
    process->process = NewHandle("process", "P " + name);
    process->thread = NewHandle("thread", "T " + name);
    process->processId = processId;
    process->threadId = processId + 1;
}

bool World::Start(const std::string& commandLine, bool inheritHandles, std::uint32_t creationFlags,
                  const std::string& workingDir, const StartupRecord& startup,
                  ProcessRecord* process) {
    std::string line = "Start(\"" + commandLine + "\", \"" + workingDir + "\")";
    if (startup.flags == win::kStartfUsePosition)
        line += " at (" + std::to_string(startup.x) + ", " + std::to_string(startup.y) + ")";
    else if (startup.flags != 0)
        line += " flags " + Hex(startup.flags);
    if (startup.cb != win::kStartupInfoSize) line += " cb " + std::to_string(startup.cb);
    if (inheritHandles) line += " inherit";
    if (creationFlags != 0) line += " creation " + Hex(creationFlags);
    if (failingStarts.count(commandLine) != 0) {
        Log(line + " fails");
        return false;
    }
    Log(line);
    Started(commandLine, 10, process);
    return true;
}

std::uint32_t World::WaitFor(Handle handle, std::uint32_t timeoutMs) {
    const Object* o = Live(handle, "WaitFor");
    if (!o) return 0xFFFFFFFF;
    const std::string name = o->name;
    const bool isEvent = o->kind == "event";
    if (o->kind == "opened process" && lingering.count(static_cast<std::uint32_t>(std::stoul(o->path))) != 0) {
        Log("WaitFor(" + name + ", " + Ms(timeoutMs) + ") times out");
        return win::kWaitTimeout;
    }
    Log("WaitFor(" + name + ", " + Ms(timeoutMs) + ")");
    if (!isEvent) return 0;
    for (int round = 0; round < 100 && setEvents_.count(handle) == 0; ++round)
        if (whileEventWaits) whileEventWaits();
    if (setEvents_.count(handle) == 0) {
        ++errors;
        Log("ERROR: the wait on " + name + " never ends");
    }
    return 0;
}

Handle World::Open(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
    const std::string line = "OpenProcess(" + Hex(access) + ", " + std::to_string(inheritHandle) + ", " +
                             std::to_string(processId) + ")";
    if (unopenable.count(processId) != 0) {
        Log(line + " fails");
        return 0;
    }
    Log(line);
    return NewHandle("opened process", "process " + std::to_string(processId), std::to_string(processId));
}

std::uint32_t World::WaitIdle(Handle process, std::uint32_t timeoutMs) {
    const Object* o = Live(process, "WaitIdle");
    if (o) Log("WaitIdle(" + o->name + ", " + Ms(timeoutMs) + ")");
    return 0;
}

void World::CloseHandle(Handle handle) {
    const Object* o = Live(handle, "CloseHandle");
    if (!o) return;
    if (o->kind == "mutex") {
        Log("CloseHandle(mutex " + o->path + ")");
        mutexes.erase(o->path);
    } else {
        Log("CloseHandle(" + o->name + ")");
    }
    open_.erase(handle);
}

void World::Exec(const std::string& commandLine, std::int32_t show) {
    Log("WinExec(\"" + commandLine + "\", " + std::to_string(show) + ")");
}

// ---- Files -------------------------------------------------------------------------------------

std::uint32_t World::ProductVersionMS(const std::string& path) {
    Log("ProductVersion(" + path + ")");
    return platform;
}

bool World::MakeDirectory(const std::string& path) {
    Log("CreateDirectory(" + path + ")");
    return true;
}

bool World::Copy(const std::string& from, const std::string& to, bool failIfExists) {
    const bool fails = failingCopies.count(from) != 0;
    const bool held = !fails && filesInUse.count(to) != 0;
    Log("CopyFile(" + from + ", " + to + ", " + std::to_string(failIfExists) + ")" +
        (fails ? " fails" : held ? " fails 32" : ""));
    if (fails) lastError_ = 2;  // ERROR_FILE_NOT_FOUND
    if (held) lastError_ = win::kErrorSharingViolation;
    if (fails || held) return false;
    if (files.count(from) != 0) files[to] = files[from];
    return true;
}

bool World::SetAttributes(const std::string& path, std::uint32_t attributes) {
    Log("SetFileAttributes(" + path + ", " + Hex(attributes) + ")");
    return true;
}

bool World::Remove(const std::string& path) {
    const bool held = filesInUse.count(path) != 0;
    Log("DeleteFile(" + path + ")" + (held ? " fails 5" : ""));
    if (held) {
        lastError_ = win::kErrorAccessDenied;
        return false;
    }
    files.erase(path);
    return true;
}

bool World::Move(const std::string& from, const std::string& to, std::uint32_t flags) {
    Log("MoveFileEx(" + from + ", " + to + ", " + Hex(flags) + ")" + (movesFail ? " fails 5" : ""));
    if (movesFail) lastError_ = win::kErrorAccessDenied;
    return !movesFail;
}

// ---- Windows -----------------------------------------------------------------------------------

Hwnd World::FindWindow(const char* className, const char* title) {
    Log(std::string("FindWindow(") + (className ? "\"" + std::string(className) + "\"" : "null") +
        ", " + (title ? "\"" + std::string(title) + "\"" : "null") + ")");
    for (const auto& w : windows)
        if ((!className || w.className == className) && (!title || w.title == title)) return w.hwnd;
    return 0;
}

bool World::SendTimeout(Hwnd window, std::uint32_t msg, std::uintptr_t, std::intptr_t, std::uint32_t flags,
                       std::uint32_t timeoutMs) {
    bool answers = true;
    for (const auto& w : windows)
        if (w.hwnd == window) answers = w.answers;
    Log("SendMessageTimeout(" + WindowName(window) + ", " + Hex(msg) + ", " + Hex(flags) + ", " + Ms(timeoutMs) +
        ")" + (answers ? "" : " times out"));
    if (!answers) lastError_ = 1460;  // ERROR_TIMEOUT
    return answers;
}

std::uint32_t World::OwnerProcess(Hwnd window) {
    std::uint32_t id = 0;
    for (const auto& w : windows)
        if (w.hwnd == window) id = w.processId;
    Log("GetWindowThreadProcessId(" + WindowName(window) + ") = " + std::to_string(id));
    return id;
}

bool World::Post(Hwnd window, std::uint32_t msg, std::uintptr_t, std::intptr_t) {
    Log("PostMessage(" + WindowName(window) + ", " + Hex(msg) + ")");
    if (window != kFrameWindow) return true;
    posted_.push_back(msg);
    // The GUI thread's own posts wait until its handler has returned.
    if (!onGuiThread && guiIdle) DeliverPosted();
    return true;
}

void World::OnGuiThread(const std::function<void()>& handler) {
    const bool was = onGuiThread;
    onGuiThread = true;
    handler();
    onGuiThread = was;
}

void World::DeliverPosted() {
    OnGuiThread([this] {
        while (frame && !posted_.empty()) {
            const std::uint32_t msg = posted_.front();
            posted_.pop_front();
            if (msg == kMsgStartWatch) frame->OnStartWatch();
            if (msg == win::kWmClose) frame->OnClose();  // the adapter then destroys the window
        }
    });
}

void World::BringToTop(Hwnd window) { Log("BringWindowToTop(" + WindowName(window) + ")"); }

std::int32_t World::Alert(Hwnd owner, const std::string& text, const std::string& caption,
                          std::uint32_t style) {
    Log("MessageBox(" + WindowName(owner) + ", \"" + Escaped(text) + "\", \"" + caption + "\", " +
        Hex(style) + ")");
    return win::kIdOk;
}

bool World::SetTimer(Hwnd window, std::uint32_t id, std::uint32_t periodMs) {
    Log("SetTimer(" + WindowName(window) + ", " + std::to_string(id) + ", " + Ms(periodMs) + ")");
    if (!onGuiThread) {
        ++errors;
        Log("ERROR: SetTimer on the worker thread, for a window of the GUI thread");
        return false;
    }
    timers_.insert(id);
    return true;
}

void World::KillTimer(Hwnd window, std::uint32_t id) {
    Log("KillTimer(" + WindowName(window) + ", " + std::to_string(id) + ")");
    if (!onGuiThread) {
        ++errors;
        Log("ERROR: KillTimer on the worker thread, for a window of the GUI thread");
        return;
    }
    timers_.erase(id);
}

std::int32_t World::Metric(std::int32_t index) {
    switch (index) {
    case win::kSmCxScreen: return screenWidth;
    case win::kSmCyScreen: return screenHeight;
    case win::kSmCxBorder: return border;
    default: return 0;
    }
}

// ---- Sync --------------------------------------------------------------------------------------

Handle World::NewEvent(bool manualReset, bool initialState) {
    const std::string line = std::string("CreateEvent(") + (manualReset ? "manual" : "auto") + ", " +
                             (initialState ? "set" : "unset") + ")";
    if (!eventCreates) {
        Log(line + " fails");
        return 0;
    }
    Log(line);
    return NewHandle("event", "E" + std::to_string(++events_));
}

void World::SetEvent(Handle event) {
    const Object* o = Live(event, "SetEvent");
    if (!o) return;
    Log("SetEvent(" + o->name + ")");
    setEvents_.insert(event);
}

void World::Sleep(std::uint32_t ms) { Log("Sleep(" + Ms(ms) + ")"); }

bool World::StartWorker(CMainFrame&) {
    Log(workerStarts ? "StartWorker" : "StartWorker fails");
    workerStarted = workerStarts;
    return workerStarts;
}

// ---- Restart -----------------------------------------------------------------------------------

bool World::ExitSession(std::uint32_t flags, std::uint32_t reason) {
    const bool ok = exitCalls_ < exitResults.size() ? exitResults[exitCalls_] : true;
    ++exitCalls_;
    Log("ExitWindowsEx(" + std::to_string(flags) + ", " + std::to_string(reason) + ")" +
        (ok ? "" : " fails"));
    return ok;
}

Handle World::OpenToken(std::uint32_t access) {
    Log("OpenProcessToken(" + Hex(access) + ")" + (tokenOpens ? "" : " fails"));
    return tokenOpens ? NewHandle("token", "token") : 0;
}

void World::EnablePrivilege(Handle token, const std::string& privilege, std::uint32_t attributes) {
    const Object* o = Live(token, "EnablePrivilege");
    if (o)
        Log("AdjustTokenPrivileges(" + o->name + ", \"" + privilege + "\", " +
            std::to_string(attributes) + ")");
}

void World::CloseToken(Handle token) { CloseHandle(token); }

// ---- Accounts ----------------------------------------------------------------------------------

bool World::ReadAll(const std::string& path, std::string* bytes) {
    auto it = files.find(path);
    Log("ReadFile(" + path + ")" + (it == files.end() ? " fails" : ""));
    if (it == files.end()) return false;
    *bytes = it->second;
    return true;
}

bool World::WriteAll(const std::string& path, const std::string& bytes) {
    const bool fails = failingCopies.count(path) != 0;
    Log("WriteFile(" + path + ")" + (fails ? " fails" : ""));
    if (!fails) files[path] = bytes;
    return !fails;
}

std::u16string World::Widen(const std::string& text) {
    std::u16string out;
    for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

Hwnd World::ShellWindow() {
    Log("GetShellWindow = " + (shell != 0 ? WindowName(shell) : std::string("0")));
    return shell;
}

bool World::SessionOf(std::uint32_t processId, std::uint32_t* session) {
    auto it = sessions.find(processId);
    *session = it == sessions.end() ? 1 : it->second;
    Log("ProcessIdToSessionId(" + std::to_string(processId) + ") = " + std::to_string(*session));
    return true;
}

Handle World::OpenToken(Handle process, std::uint32_t access) {
    const Object* o = Live(process, "OpenProcessToken");
    if (!o) return 0;
    Log("OpenProcessToken(" + o->name + ", " + Hex(access) + ")" + (shellTokenOpens ? "" : " fails"));
    return shellTokenOpens ? NewHandle("token", "shell token") : 0;
}

Handle World::DuplicatePrimary(Handle token, std::uint32_t access) {
    const Object* o = Live(token, "DuplicateTokenEx");
    if (!o) return 0;
    Log("DuplicateTokenEx(" + o->name + ", " + Hex(access) + ", primary)" + (tokenDuplicates ? "" : " fails"));
    return tokenDuplicates ? NewHandle("token", "user token") : 0;
}

bool World::CanStartWithToken() {
    Log(std::string("GetProcAddress(CreateProcessWithTokenW)") + (withTokenStarts ? "" : " fails"));
    return withTokenStarts;
}

bool World::StartWithToken(Handle token, std::uint32_t logonFlags, const std::string& commandLine,
                           std::uint32_t creationFlags, const std::string& workingDir,
                           const StartupRecord& startup, ProcessRecord* process) {
    const Object* o = Live(token, "CreateProcessWithTokenW");
    if (!o) return false;
    std::string line = "StartWithToken(" + o->name + ", \"" + commandLine + "\", \"" + workingDir + "\")";
    if (logonFlags != 0 || creationFlags != 0 || startup.flags != 0 || startup.cb != win::kStartupInfoSize) line += " odd parameters";
    if (failingTokenStarts.count(commandLine) != 0) {
        Log(line + " fails");
        return false;
    }
    Log(line);
    Started(commandLine, 12, process);
    return true;
}

// ---- Dialogs -----------------------------------------------------------------------------------

std::int32_t World::RunModal(std::int32_t templateId, Hwnd parent, CRestartDlg& dialog) {
    Log("DialogBox(" + std::to_string(templateId) + ", " + WindowName(parent) + ")");
    dialog.OnInitDialog(*this);
    for (std::int32_t id : dialogClicks) dialog.OnRadio(id);
    restartNowAtEnd = dialog.m_nRestartNow;
    return dialogResult;
}

void World::SetCheck(std::int32_t id, std::uint32_t state) {
    Log("SetCheck(" + std::to_string(id) + ", " + std::to_string(state) + ")");
}

// ---- AppHost -----------------------------------------------------------------------------------

std::string World::ModuleFileName() {
    if (modulePathWide.empty()) return modulePath;
    std::string ansi;
    for (char16_t c : modulePathWide) ansi.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return ansi.size() < 260 ? ansi : std::string();
}

std::u16string World::ModuleFileNameWide() {
    if (!modulePathWide.empty()) return modulePathWide;
    std::u16string wide;
    for (char c : modulePath) wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

std::u16string World::ShortPath(const std::u16string& path) {
    const auto it = shortPaths.find(path);
    return it != shortPaths.end() ? it->second : path;
}

bool World::ToAnsi(const std::u16string& wide, std::string* ansi) {
    ansi->clear();
    for (char16_t c : wide) {
        if (c > 0xFF) return false;
        ansi->push_back(static_cast<char>(c));
    }
    return true;
}

std::string World::LoadString(std::uint32_t id) { return id == kInstanceNameId ? instanceName : ""; }

Handle World::OpenMutex(std::uint32_t access, bool inherit, const std::string& name) {
    const bool exists = mutexes.count(name) != 0;
    Log("OpenMutex(" + Hex(access) + ", " + (inherit ? "inherit" : "no inherit") + ", \"" + name +
        "\")" + (exists ? "" : " fails"));
    return exists ? NewHandle("other mutex", "other mutex") : 0;
}

Handle World::CreateMutex(bool initialOwner, const std::string& name) {
    Log(std::string("CreateMutex(") + (initialOwner ? "owner" : "no owner") + ", \"" + name + "\")");
    mutexes.insert(name);
    return NewHandle("mutex", "mutex", name);
}

void World::CoInitializeEx(std::uint32_t model) { Log("CoInitializeEx(" + std::to_string(model) + ")"); }

void World::CoUninitialize() { Log("CoUninitialize()"); }

Hwnd World::CreateMainWindow(CMainFrame& mainFrame) {
    const WindowRect r = mainFrame.InitialRect();
    Log("CreateWindow(\"" + std::string(kFrameTitle) + "\", " + std::to_string(r.x) + ", " +
        std::to_string(r.y) + ", " + std::to_string(r.width) + ", " + std::to_string(r.height) + ")" +
        (windowCreates ? "" : " fails"));
    if (!windowCreates) return 0;
    mainFrame.OnCreate(kFrameWindow);
    return kFrameWindow;
}

void World::ShowWindow(Hwnd window, std::int32_t command) {
    Log("ShowWindow(" + WindowName(window) + ", " + std::to_string(command) + ")");
}

void World::UpdateWindow(Hwnd window) { Log("UpdateWindow(" + WindowName(window) + ")"); }

// ---- Pictures ----------------------------------------------------------------------------------

Picture World::DecodeFile(const std::string& name) {
    Log("DecodeFile(" + name + ")" + (skinFileDecodes ? "" : " fails"));
    return skinFileDecodes ? Picture{NewHandle("bitmap", name), 1024, 768} : Picture{};
}

Picture World::LoadBitmapResource(std::uint32_t id) {
    const std::string name = "bitmap " + std::to_string(id);
    Log("LoadImage(" + name + ")" + (skinBitmapLoads ? "" : " fails"));
    return skinBitmapLoads ? Picture{NewHandle("bitmap", name), 800, 600} : Picture{};
}

void World::DeleteObject(Handle bitmap) {
    const Object* o = Live(bitmap, "DeleteObject");
    if (!o) return;
    Log("DeleteObject(" + o->name + ")");
    open_.erase(bitmap);
}

}  // namespace setup::fake
