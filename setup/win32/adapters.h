// Win32 implementations of the launcher's ports: each call is the ANSI function named in ports.h,
// with the parameters passed through unchanged. Each adapter has a file named for its port. What
// an adapter opens stays in its table of owners (OwnedHandles); the logic holds only the number.
#pragma once
#include "platform.h"

#include <memory>

#include "mainframe.h"
#include "ports.h"
#include "unique.h"

namespace setup::win32 {

struct FrameWindow;

template <class T>
T As(Handle h) { return reinterpret_cast<T>(h); }
inline Handle Of(const void* p) { return reinterpret_cast<Handle>(p); }

class RegistryAdapter : public Registry {
public:
    Handle OpenKey(RegRoot root, const std::string& path, std::uint32_t access) override;
    Handle CreateKey(RegRoot root, const std::string& path, std::uint32_t options, std::uint32_t access) override;
    bool QueryValue(Handle key, const std::string& name, std::uint32_t* type, void* data,
                    std::uint32_t* size) override;
    bool SetValue(Handle key, const std::string& name, std::uint32_t type, const void* data,
                  std::uint32_t size) override;
    bool DeleteValue(Handle key, const std::string& name) override;
    void CloseKey(Handle key) override;

private:
    OwnedHandles<KeyTraits> keys_;
};

class ProcessesAdapter : public Processes {
public:
    bool Start(const std::string& commandLine, bool inheritHandles, std::uint32_t creationFlags,
               const std::string& workingDir, const StartupRecord& startup, ProcessRecord* process) override;
    std::uint32_t WaitFor(Handle handle, std::uint32_t timeoutMs) override;
    Handle Open(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    std::uint32_t WaitIdle(Handle process, std::uint32_t timeoutMs) override;
    void CloseHandle(Handle handle) override;
    void Exec(const std::string& commandLine, std::int32_t show) override;

    // For the Accounts adapter, whose processes this port waits on and closes.
    Handle Adopt(HANDLE handle) { return handles_.Adopt(handle); }
    HANDLE Get(Handle handle) { return handles_.Get(handle); }

private:
    OwnedHandles<HandleTraits> handles_;  // processes and threads
};

class FilesAdapter : public Files {
public:
    std::string WindowsDirectory() override;
    std::string SystemDirectory() override;
    std::uint32_t ProductVersionMS(const std::string& path) override;
    bool MakeDirectory(const std::string& path) override;
    bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
    bool Remove(const std::string& path) override;
    bool Move(const std::string& from, const std::string& to, std::uint32_t flags) override;
    std::uint32_t LastError() override;
};

class WindowsAdapter : public Windows {
public:
    Hwnd FindWindow(const char* className, const char* title) override;
    bool SendTimeout(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, std::uint32_t flags,
                    std::uint32_t timeoutMs) override;
    std::uint32_t OwnerProcess(Hwnd window) override;
    bool Post(Hwnd window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void BringToTop(Hwnd window) override;
    std::int32_t Alert(Hwnd owner, const std::string& text, const std::string& caption,
                       std::uint32_t style) override;
    bool SetTimer(Hwnd window, std::uint32_t id, std::uint32_t periodMs) override;
    void KillTimer(Hwnd window, std::uint32_t id) override;
    std::int32_t Metric(std::int32_t index) override;
};

class SyncAdapter : public Sync {
public:
    Handle NewEvent(bool manualReset, bool initialState) override;
    void SetEvent(Handle event) override;
    std::uint32_t WaitFor(Handle handle, std::uint32_t timeoutMs) override;
    void CloseHandle(Handle handle) override;
    void Sleep(std::uint32_t ms) override;
    bool StartWorker(CMainFrame& frame) override;

private:
    OwnedHandles<HandleTraits> events_;
};

class RestartAdapter : public Restart {
public:
    bool ExitSession(std::uint32_t flags, std::uint32_t reason) override;
    Handle OpenToken(std::uint32_t access) override;
    void EnablePrivilege(Handle token, const std::string& privilege, std::uint32_t attributes) override;
    void CloseToken(Handle token) override;

private:
    OwnedHandles<HandleTraits> tokens_;
};

class DialogsAdapter : public Dialogs {
public:
    explicit DialogsAdapter(HINSTANCE instance) : instance_(instance) {}
    std::int32_t RunModal(std::int32_t templateId, Hwnd parent, CRestartDlg& dialog) override;

private:
    HINSTANCE instance_;
};

// Its tokens are its own; the processes it opens a token of and those it starts are the Processes
// adapter's, which waits on them and closes them.
class AccountsAdapter : public Accounts {
public:
    explicit AccountsAdapter(ProcessesAdapter& processes) : processes_(processes) {}
    bool ReadAll(const std::string& path, std::string* bytes) override;
    bool WriteAll(const std::string& path, const std::string& bytes) override;
    std::u16string Widen(const std::string& text) override;
    Hwnd ShellWindow() override;
    std::uint32_t OwnProcessId() override;
    bool SessionOf(std::uint32_t processId, std::uint32_t* session) override;
    Handle OpenToken(Handle process, std::uint32_t access) override;
    Handle DuplicatePrimary(Handle token, std::uint32_t access) override;
    bool CanStartWithToken() override;
    bool StartWithToken(Handle token, std::uint32_t logonFlags, const std::string& commandLine,
                        std::uint32_t creationFlags, const std::string& workingDir,
                        const StartupRecord& startup, ProcessRecord* process) override;
    void CloseToken(Handle token) override;

private:
    ProcessesAdapter& processes_;
    OwnedHandles<HandleTraits> tokens_;
};

class PicturesAdapter : public Pictures {
public:
    explicit PicturesAdapter(HINSTANCE instance) : instance_(instance) {}
    Picture DecodeFile(const std::string& name) override;
    Picture LoadBitmapResource(std::uint32_t id) override;
    void DeleteObject(Handle bitmap) override;
    // For painting: the bitmap behind a picture's number, null for none.
    HBITMAP Bitmap(Handle bitmap);

private:
    HINSTANCE instance_;
    OwnedHandles<GdiTraits> bitmaps_;
};

// The application's start-up calls, and the setup window (its class, painting and message routing
// are in frame.cpp).
class HostAdapter : public AppHost {
public:
    HostAdapter(HINSTANCE instance, PicturesAdapter& pictures);
    ~HostAdapter() override;
    std::string LoadString(std::uint32_t id) override;
    Handle OpenMutex(std::uint32_t access, bool inherit, const std::string& name) override;
    Handle CreateMutex(bool initialOwner, const std::string& name) override;
    void CloseHandle(Handle handle) override;
    void CoInitializeEx(std::uint32_t model) override;
    void CoUninitialize() override;
    std::string ModuleFileName() override;
    std::u16string ModuleFileNameWide() override;
    std::u16string ShortPath(const std::u16string& path) override;
    bool ToAnsi(const std::u16string& wide, std::string* ansi) override;
    Hwnd CreateMainWindow(CMainFrame& frame) override;
    void ShowWindow(Hwnd window, std::int32_t command) override;
    void UpdateWindow(Hwnd window) override;

private:
    HINSTANCE instance_;
    PicturesAdapter& pictures_;
    OwnedHandles<HandleTraits> mutexes_;
    UniqueGdi background_;  // the class brush, alive as long as the class
    std::unique_ptr<FrameWindow> window_;
};

}  // namespace setup::win32
