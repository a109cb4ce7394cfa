// The setup window's logic: its message handlers, the install context shared by the GUI thread
// and the worker thread, the installation sequence, the installer watch and the restart prompt.
// The definitions sit in one file per concern, named beside each group below.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "ports.h"

namespace setup {

// Timers of the setup window and the private message that asks the GUI thread to start the watch.
constexpr std::uint32_t kStartTimer = 128;
constexpr std::uint32_t kStartDelayMs = 50;
constexpr std::uint32_t kWatchTimer = 200;
constexpr std::uint32_t kWatchPeriodMs = 1000;
// Ticks in a row without the wizard's window after which the watch ends.
constexpr std::uint32_t kWatchMisses = 3;
constexpr std::uint32_t kMsgStartWatch = win::kWmApp + 1;
// How long the installation waits for a program it closed to end before it goes on without it.
constexpr std::uint32_t kProgramEndLimitMs = 10000;
// How long a window asked to close may take to answer: Windows itself calls a program hung after
// five seconds without an answer.
constexpr std::uint32_t kCloseAnswerLimitMs = 5000;
// Beside a program file that a running program holds, the new file waits under this name for the
// restart that puts it in place.
constexpr const char* kPendingSuffix = ".pending";

// Class and window properties of the setup window.
constexpr const char* kFrameTitle = "SAA713x TV Card Setup";
constexpr std::uint32_t kFrameClassStyle = 0x022B;    // NOCLOSE|OWNDC|DBLCLKS|HREDRAW|VREDRAW
constexpr std::uint32_t kFrameBackground = 0x00DC6024;
constexpr std::uint32_t kFrameWindowStyle = 0x00CF0000;  // WS_OVERLAPPEDWINDOW
constexpr std::uint32_t kFrameIcon = 128;
constexpr std::uint32_t kSkinBitmap = 129;
constexpr const char* kSkinFile = "Setup.bin";
constexpr std::int32_t kSkinWidth = 800;
constexpr std::int32_t kSkinHeight = 600;

struct WindowRect {
    std::int32_t x, y, width, height;
};

// What drives the installation. The worker writes the slots; the GUI thread reads only what is
// atomic here, so no lock is needed.
struct InstallContext {
    std::int32_t driverInstaller = 0;
    std::int32_t harloOnly = 0;
    std::int32_t both = 0;
    std::uint32_t platformVersion = 0;
    StartupRecord startupA;
    StartupRecord startupB;
    ProcessRecord processA;
    ProcessRecord processB;
    std::atomic<std::uint32_t> missCounter{0};
    std::atomic<Handle> watchDone{0};
    std::atomic<std::int32_t> shutdownPermission{0};
    // Mirrors "process record A's thread handle is not null" for the close handler.
    std::atomic<bool> childOutstanding{false};
};

class CMainFrame {
public:
    // An empty media root means the launcher's folder has no exact ANSI path: the installation
    // then only says so and ends.
    CMainFrame(Ports& ports, std::string mediaRoot);
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Centred on the screen, 800 x 600 plus the border width.
    WindowRect InitialRect() const;
    Hwnd Window() const { return window_; }
    const std::string& MediaRoot() const { return mediaRoot_; }
    InstallContext& Context() { return ctx_; }

    // Message handlers, GUI thread. The adapter calls LoadSkin and creates the font before
    // OnCreate, does the default processing after OnTimer, and destroys the window after OnClose.
    // The skin: "Setup.bin" when it decodes, else the built-in bitmap, else no picture at all.
    void LoadSkin();
    const Picture& Skin() const { return skin_; }
    void OnCreate(Hwnd window);
    void OnTimer(std::uint32_t id);
    void OnStartWatch();          // kMsgStartWatch
    void OnClose();
    bool OnQueryEndSession() const;
    void OnDestroy();  // after the adapter has deleted the font: the skin goes

    // Installation sequence: preparation on the GUI thread, the rest on the worker thread.
    void StartInstall();
    void RunWorker();
    // Installer watch, timer 200.
    void WatchTick();

private:
    // The process slots (slots.cpp).
    void ResetSlot(StartupRecord& startup, ProcessRecord& process);
    bool StartIn(StartupRecord& startup, ProcessRecord& process, const std::string& commandLine,
                 const std::string& folder);
    // Slot A: media root + program in media root + folder, else the relative form.
    bool StartMediaFirst(const std::string& program, const std::string& args,
                         const std::string& folder, const char* relProgram = nullptr,
                         const char* relFolder = nullptr);
    void WaitAndClose(ProcessRecord& process);
    void CloseSlot(ProcessRecord& process);
    // Program files and the old ones they replace (programfiles.cpp).
    bool CopyFromMedia(const std::string& source, const std::string& fallback,
                       const std::string& destination);
    // True when the file stays because a running program holds it.
    bool ClearAndDelete(const std::string& path);
    // A media-first copy of a program file; when `held`, one that fails is put in place at the
    // restart instead.
    void InstallProgram(const std::string& source, const std::string& fallback,
                        const std::string& destination, bool held);
    // Closing running programs (closing.cpp).
    // WM_CLOSE, with an answer awaited for at most kCloseAnswerLimitMs.
    void SendClose(Hwnd window);
    void CloseByTitle(const char* className, const char* title);
    // WM_CLOSE, then a wait of up to kProgramEndLimitMs for the window's program to end.
    void CloseAndWait(Hwnd window);
    void CloseByTitleAndWait(const char* className, const char* title);
    // The sequence's conditions (sequence.cpp).
    bool LumoraLine() const;
    bool BelowSix() const;
    // The capture software in the registry (cardregistry.cpp).
    bool IntercastConflict();
    // Returns the profile bit.
    bool ReceiverProfile();
    // Every account's next logon applies what the installing account got (everyaccount.cpp).
    void SetUpEveryAccount(bool profileBit);
    // The desktop shell's token, duplicated as a primary one; 0 when it cannot be had.
    Handle DesktopUserToken();
    void DebugPrivilege(bool enabled);
    // The per-account step, the autostart value and the applet, with the desktop user's rights;
    // false when they cannot be had, and the applet is not started then.
    bool StartAppletAsDesktopUser(const std::string& commandLine);
    // The packages that end the sequence (redistributables.cpp).
    void InstallRedistributables();
    // restart.cpp
    void RestartPromptAndEnd();

    Ports& ports_;
    const std::string mediaRoot_;
    Hwnd window_ = 0;
    Picture skin_;
    InstallContext ctx_;
    std::string windowsDir_;
    std::string systemDir_;
    std::string perAccountCommand_;  // the registered per-account step, empty when there is none
};

// Thread procedure of the worker: `frame` is the CMainFrame; returns the exit code 0.
std::uint32_t WorkerEntry(void* frame);

}  // namespace setup
