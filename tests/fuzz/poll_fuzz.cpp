// The poll over arbitrary answers of the capture driver: any status word, failing requests and
// short byte counts, on the virtual clock, with the card going and coming, the board variant
// changing, the receiver switched off and on, and a TV application that is slow, hung, or closes
// the applet while it takes a key.
//
// Invariants: a key comes only from a read that succeeded with the value field in its answer and
// the ready line low, and it is the key read; at most one key per suppression window; the requests
// of a cycle carry the masks of the board in force, and the acknowledge writes are the value read
// masked by them; every request goes to the open device.
#include "fakes/scenario.h"
#include "fuzz_input.h"

using namespace applet;
using namespace applet::fake;

namespace {

constexpr std::uint32_t kVkBase = 0x40;   // key code n sends virtual key 0x40 + n
constexpr std::uint32_t kValueEnd = 12;   // an answer covers the value field from this count on
constexpr std::uint32_t kReadyLine = 0x4000;
constexpr std::uint32_t kPowerKey = 18;
constexpr std::uint64_t kWindowMs = 350;  // the suppression after a dispatched key
const std::u16string kTvClass = u"TvAppWindow";

std::string Hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

// The capture driver answering every request as the input says; enumeration, opening and closing
// as the fake does. Checks each request against the ones before it.
class ScriptedDriver : public FakeCaptureDevices {
public:
    explicit ScriptedDriver(fuzz::Input& in) : in_(in) {}

    CMainFrame* frame = nullptr;
    FakeWindows* windows = nullptr;
    Handle tv = 0;
    bool powerKey = false;

    // The receiver was switched off: the suppression it was in is over.
    void EndWindow() { windowOpen_ = false; }

    bool Control(Handle device, std::uint32_t code, GPIO_REQUEST* record, std::uint32_t* returned) override {
        CheckDispatches();
        FUZZ_CHECK(device != 0 && device == frame->device(), "a request on a handle that is not the open device");
        FUZZ_CHECK(record->reserved0 == 0 && record->reserved3 == 0 && record->reserved4 == 0,
                   "a request with its reserved words set");
        const BoardMasks m = MasksFor(frame->isOldBoard());
        *returned = 0;
        if (code == kIoctlRead) {
            FUZZ_CHECK(record->offset == kStatusReg && state_ == kMode2, "a read out of its place in the cycle");
            FUZZ_CHECK(record->value == 0, "a read request with its value field set");
            Answer(record, returned);
            if (OpenedPath(device).empty()) {  // the card went away: its handle answers nothing
                ok_ = lastReadGood_ = false;
                *returned = 0;
            }
            state_ = kRead;
            lastValue_ = record->value;
            dispatched_ = false;
            return ok_;
        }
        FUZZ_CHECK(code == kIoctlWrite, "a request that is neither read nor write: " + Hex(code));
        const std::uint32_t v = record->value;
        if (record->offset == kModeReg) {
            // After a good read the acknowledge must come before the next cycle.
            FUZZ_CHECK(state_ == kIdle || state_ == kMode1 || (state_ == kRead && !lastReadGood_),
                       "a cycle begins before the read value was acknowledged");
            if (state_ == kMode1) {
                FUZZ_CHECK(v == m.modeRescan, "second mode write " + Hex(v) + ", board mask " + Hex(m.modeRescan));
                state_ = kMode2;
            } else {
                FUZZ_CHECK(v == m.mode, "first mode write " + Hex(v) + ", board mask " + Hex(m.mode));
                state_ = kMode1;
            }
        } else {
            FUZZ_CHECK(record->offset == kStatusReg, "a write to register " + Hex(record->offset));
            if (state_ == kRead) {
                FUZZ_CHECK(v == (lastValue_ & m.ack1), "first acknowledge " + Hex(v) + " of the value read " +
                                                           Hex(lastValue_) + " (mask " + Hex(m.ack1) + ")");
                state_ = kAck1;
                if (dispatched_) {
                    // The suppression window begins when the dispatched key is acknowledged.
                    windowOpen_ = true;
                    windowStart_ = windows->Now();
                }
            } else {
                FUZZ_CHECK(state_ == kAck1, "a status write outside an acknowledge");
                FUZZ_CHECK(v == (lastValue_ & m.ack2), "second acknowledge " + Hex(v) + " of the value read " +
                                                           Hex(lastValue_) + " (mask " + Hex(m.ack2) + ")");
                state_ = kIdle;
            }
        }
        const std::uint8_t b = in_.Byte();
        if (OpenedPath(device).empty()) return false;
        *returned = (b & 1) ? b >> 3 : sizeof(GPIO_REQUEST);  // results of writes are not examined
        return (b & 1) == 0;
    }

    void CloseDevice(Handle device) override {
        CheckDispatches();  // a key being delivered may be what closes the device
        FakeCaptureDevices::CloseDevice(device);
        // A cycle cut short by the device's loss, and the suppression with it, are over.
        state_ = kIdle;
        windowOpen_ = false;
    }

    // Keys that reached the TV application since the last look: each must come from the read just
    // made, be the key read, and respect the suppression window.
    void CheckDispatches() {
        for (; seen_ < windows->messages.size(); ++seen_) {
            const FakeWindows::Message& msg = windows->messages[seen_];
            if (msg.window != tv) continue;
            FUZZ_CHECK(state_ == kRead, "a key outside a poll, between its read and its acknowledge");
            FUZZ_CHECK(lastReadGood_, "a key from a failed read or an answer short of the value field");
            FUZZ_CHECK(!(lastValue_ & kReadyLine), "a key while the ready line is high: " + Hex(lastValue_));
            FUZZ_CHECK(!dispatched_, "two keys from one read");
            const std::uint32_t code = (lastValue_ >> 8) & 0x3F;
            if (code == kPowerKey && powerKey)
                FUZZ_CHECK(msg.msg == win::kWmClose, "the power key did not close the TV application");
            else
                FUZZ_CHECK(msg.msg == win::kWmKeyDown && msg.wParam == kVkBase + code,
                           "key " + std::to_string(code) + " sent as " + Hex(static_cast<std::uint32_t>(msg.wParam)));
            FUZZ_CHECK(!windowOpen_ || msg.at >= windowStart_ + kWindowMs,
                       "a second key " + std::to_string(msg.at - windowStart_) + " ms after the first was acknowledged");
            dispatched_ = true;
        }
    }

private:
    enum State { kIdle, kMode1, kMode2, kRead, kAck1 };

    void Answer(GPIO_REQUEST* record, std::uint32_t* returned) {
        ok_ = true;
        *returned = sizeof(GPIO_REQUEST);
        if (in_.Empty()) {
            record->value = kReadyLine;  // a receiver with nothing to say
        } else {
            switch (in_.Below(8)) {
                case 4:  // an answer that ends within the reserved words after the value
                    record->value = in_.Word();
                    *returned = kValueEnd + in_.Below(sizeof(GPIO_REQUEST) - kValueEnd);
                    break;
                case 5:  // short of the value field; the driver may have written it anyway
                    *returned = in_.Below(kValueEnd);
                    if (in_.Bool()) record->value = in_.Word();
                    break;
                case 6:  // the request fails, whatever the driver left behind
                    ok_ = false;
                    *returned = in_.Below(sizeof(GPIO_REQUEST) + 1);
                    if (in_.Bool()) record->value = in_.Word();
                    break;
                case 7:  // a clean key code, acknowledge pin high
                    record->value = 0x8000 | in_.Below(64) << 8;
                    break;
                default:
                    record->value = in_.Word();
            }
        }
        lastReadGood_ = ok_ && *returned >= kValueEnd;
    }

    fuzz::Input& in_;
    State state_ = kIdle;
    bool ok_ = true;
    bool lastReadGood_ = false;
    std::uint32_t lastValue_ = 0;
    bool dispatched_ = false;
    bool windowOpen_ = false;
    std::uint64_t windowStart_ = 0;
    std::size_t seen_ = 0;
};

struct Rig {
    explicit Rig(fuzz::Input& input) : in(input), driver(input) {}
    fuzz::Input& in;
    FakePorts f;
    ScriptedDriver driver;
    Ports ports{f.registry, driver, f.windows, f.shell, f.processes, f.session, f.dialogs, f.console};
    CMainFrame frame{ports};
    FakeMainWindowFactory factory{f};
    bool cardPresent = true;

    // Nothing reads the trace here; leaving it off keeps the runs quick.
    void Quiet() { f.TraceTo(nullptr); }

    void Pass(std::uint64_t ms) {
        f.windows.Advance(ms, frame);
        driver.CheckDispatches();
    }
};

}  // namespace

int FuzzPoll(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    Rig t(in);
    t.Quiet();
    FakeRegistry& reg = t.f.registry;
    const auto CU = RegRoot::CurrentUser;
    for (int code = 0; code < 64; ++code)
        reg.SetDword(CU, kAppletKeyPath, U("Key" + std::to_string(code)), kVkBase + code);
    t.driver.powerKey = in.Bool();
    if (t.driver.powerKey) reg.SetDword(CU, kAppletKeyPath, u"Key18", 1);
    reg.SetString(CU, kAppletKeyPath, u"FindWindowClassName", kTvClass);
    SetTuner(reg, 0x7134, in.Below(3), 0x4000);
    t.driver.AddInterface(kCardPath);
    t.driver.tv = t.f.windows.AddWindow(u"TV", kTvClass);
    t.driver.frame = &t.frame;
    t.driver.windows = &t.f.windows;
    if (!t.factory.CreateMainWindow(t.frame, kMainTitle)) return 0;

    for (int step = 0; step < 300 && !in.Empty(); ++step) {
        switch (in.Below(12)) {
            case 5:
                t.Pass(in.Below(4000));  // presence checks too
                break;
            case 6:
                if (t.cardPresent) t.driver.RemoveInterface(kCardPath);
                else t.driver.AddInterface(kCardPath);
                t.cardPresent = !t.cardPresent;
                break;
            case 7:
                switch (in.Below(4)) {
                    case 0: reg.RemoveValue(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard"); break;
                    case 1: reg.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"GPIO", in.Bool() ? 0x4020 : 0); break;
                    default: reg.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard", in.Below(3));
                }
                break;
            case 8:
                if (in.Bool()) {
                    t.frame.OnCommand(1001);  // Disable
                    t.driver.EndWindow();
                } else {
                    t.frame.OnCommand(1080);  // Enable
                }
                break;
            case 9:
                t.f.windows.SetHung(t.driver.tv, in.Bool());
                t.f.windows.sendDelayMs = in.Below(1500);
                break;
            case 10:
                // Rarely, the TV application's key handler makes the applet close (as the setup does).
                if (in.Below(8) == 0)
                    t.f.windows.onMessage = [&t](const FakeWindows::Message& m) -> std::intptr_t {
                        if (m.window == t.driver.tv) t.f.windows.Send(t.f.windows.mainWindow, win::kWmClose, 0, 0);
                        return 0;
                    };
                break;
            default:
                t.Pass(1 + in.Below(500));
        }
    }
    t.Pass(3000);
    FUZZ_CHECK(t.driver.badCloses == 0, "a device or interface set closed that was not open");
    FUZZ_CHECK(t.driver.OpenSets() == 0, "an interface set left open");
    return 0;
}
