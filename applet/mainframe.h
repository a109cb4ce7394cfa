// CMainFrame: the applet's hidden main window and the owner of all receiver state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ports.h"

namespace applet {

// Timers of the main window.
constexpr std::uint32_t kPresenceTimer = 130;
constexpr std::uint32_t kPresencePeriodMs = 2000;
constexpr std::uint32_t kPollTimer = 132;
constexpr std::uint32_t kPollPeriodMs = 100;
constexpr std::uint32_t kSuppressTimer = 133;
constexpr std::uint32_t kSuppressMs = 350;

// Message that the notification icon sends to the main window.
constexpr std::uint32_t kTrayCallbackMessage = 0x464;  // WM_USER + 100
// No icon with this id is ever added; it is removed with the applet's own (IDR_MAINFRAME) on every
// way out, and its clicks open the menu like the applet's own.
constexpr std::uint32_t kSecondTrayIcon = 129;

// HKEY_CURRENT_USER key of the applet: its own values and the key profiles below it.
extern const char16_t kAppletKey[];
// HKEY_LOCAL_MACHINE key of the card's tuner driver.
extern const char16_t kTunerKey[];
// HKEY_LOCAL_MACHINE key of the programs started at logon, where the applet writes itself.
extern const char16_t kRunKey[];
// The device monitor's window title, and the name of the applet's autostart value.
extern const char16_t kDeviceMonitor[];

// The card's chips, by the "DeviceID" of the tuner driver key (their PCI device ids).
constexpr std::uint32_t kSaa7130 = 0x7130;
constexpr std::uint32_t kSaa7131 = 0x7131;
constexpr std::uint32_t kSaa7133 = 0x7133;
constexpr std::uint32_t kSaa7134 = 0x7134;
constexpr std::uint32_t kSaa7135 = 0x7135;

// Board masks of the GPIO requests.
struct BoardMasks {
    std::uint32_t mode;
    std::uint32_t modeRescan;
    std::uint32_t ack1;
    std::uint32_t ack2;
};
BoardMasks MasksFor(std::uint32_t isOldBoard);

// The profile in force: where the TV application is, how its window is found, what each key sends.
struct KeyProfile {
    std::u16string appPathKey;    // "AppPathKey"
    std::u16string appPathValue;  // "AppPathValue"
    std::u16string execName;      // "AppExecName"
    std::u16string appPath;       // folder + "\" + execName
    std::u16string className;     // "FindWindowClassName"
    std::uint32_t keys[128] = {};
};

// Every string of the key profile and every path built from it lives in a field of this many
// UTF-16 units, terminator included.
constexpr std::size_t kFieldUnits = 260;

// Reads a string value into a zeroed field of kFieldUnits units. False when the value is missing,
// larger than the field, or fills the field with no terminator; *type gets the stored type.
bool ReadStringField(Registry& registry, Handle key, const std::u16string& name,
                     std::u16string* text, std::uint32_t* type = nullptr);

// Reads a value of at most four bytes as a little-endian number, a shorter one zero-extended,
// whatever its stored type. False, *value untouched, when the value is missing or larger.
bool ReadDwordValue(Registry& registry, Handle key, const std::u16string& name, std::uint32_t* value);

class CMainFrame {
public:
    explicit CMainFrame(const Ports& ports);   // sets the initial state, COM, keyboard layout
    ~CMainFrame();                              // CoUninitialize

    // Messages routed by the window procedure.
    std::int32_t OnCreate();                    // after the frame and the client view exist; 0 or -1
    void OnClose();                             // kills timers, closes the device, removes icons
    void OnTimer(std::uint32_t id);             // returns without action for ids it does not own
    bool OwnsTimer(std::uint32_t id) const;     // 130, 132 or 133
    std::intptr_t OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam);
    // WM_COMMAND; false when the main window does not handle the command (57665 goes to the app).
    bool OnCommand(std::uint32_t id);
    // WM_WTSSESSION_CHANGE: wParam's code and lParam's session id.
    void OnSessionChange(std::uint32_t code, std::uint32_t sessionId);

    // Presence check (timer 130).
    void OnPresenceCheck();
    // Poll (timer 132), suppression end (timer 133), Enable and Disable commands.
    void OnPoll();
    void OnSuppressEnd();
    void OnEnableReceiver();
    void OnDisableReceiver();
    // Key profile and dispatch.
    void LoadKeyProfile(const std::u16string* name);
    void DispatchKey(std::uint32_t code);
    // Remote type dialog (command 1002).
    void OnConfigure();
    // Autostart value, written during creation.
    void WriteAutostart();

    // Tray icon.
    bool ShowTrayIcon();
    void RemoveTrayIcon(std::uint32_t id);

    // GPIO access through the capture driver.
    void WriteRegister(std::uint32_t offset, std::uint32_t value);
    bool ReadRegister(std::uint32_t offset, std::uint32_t* value);  // false when the read failed
    bool LatchAndRead(std::uint32_t* status);
    void Acknowledge(std::uint32_t status);
    void RunGpioSetup();
    // Reads the tuner driver key; returns the receiver test (true: the card has a receiver).
    bool ReadTunerKey();

    // State, in this order.
    Handle device() const { return device_; }
    std::uint32_t deviceId() const { return deviceId_; }
    const KeyProfile& profile() const { return profile_; }
    std::uint32_t isOldBoard() const { return isOldBoard_; }
    bool receiverEnabled() const { return receiverEnabled_ != 0; }
    bool suppressed() const { return suppressed_ != 0; }
    // False while another logon session has the console: the card is then left to its applet.
    bool atConsole() const { return atConsole_; }

private:
    bool InterfaceStep(std::uint32_t index, std::u16string* path);
    // Stops the poll, closes the device if open and removes the icons: when the card goes, and
    // at shutdown.
    void CloseDevice();
    void PollOnce();
    // Asks for session notifications until the system has taken the request, then asks once
    // whether this session has the console.
    void FollowConsole();
    void SetAtConsole(bool atConsole);

    enum class Notifications { Pending, Registered, Off };

    Ports ports_;
    Handle device_ = 0;
    std::uint32_t deviceId_ = 0;
    KeyProfile profile_;
    std::uint32_t isOldBoard_ = 0;
    std::uint32_t receiverEnabled_ = 1;
    std::uint32_t suppressed_ = 0;
    std::uint32_t failedReads_ = 0;  // consecutive polls whose status read failed
    bool polling_ = false;           // a poll is in progress (its key may be being delivered)
    Notifications notifications_ = Notifications::Pending;
    bool atConsole_ = true;
    bool knowOwnSession_ = false;
    std::uint32_t ownSession_ = 0;
};

}  // namespace applet
