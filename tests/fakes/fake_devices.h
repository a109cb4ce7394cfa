// Capture-interface enumeration and a simulated SAA713x card behind the capture driver.
//
// The card: mode register 0x1B0 (a 1 bit makes a pin an output; bit 31 is the rescan bit, whose
// change from 0 to 1 latches the pin levels) and status register 0x1B4 (a read returns the latched
// levels; a write sets the levels that output pins drive). The receiver drives input pins 8..14:
// the ready line (bit 14) is low while a key code waits, the code sits in bits 8..13. It releases a
// key it has presented once it sees the acknowledge pulse: a status write driving pin 15 (an
// output) low, followed by the next status write. A held key keeps presenting.
#pragma once

#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <ostream>
#include <set>
#include <vector>

#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

constexpr std::uint32_t kIoctlWrite = 0x232D04;
constexpr std::uint32_t kIoctlRead = 0x232D08;
constexpr std::uint32_t kModeReg = 0x1B0;
constexpr std::uint32_t kStatusReg = 0x1B4;

// One device-control request as the applet sent it: for a read, `value` is the value field sent
// (a fresh record carries 0).
struct GpioCall {
    std::uint32_t code;
    std::uint32_t offset;
    std::uint32_t value;
    bool operator==(const GpioCall& o) const {
        return code == o.code && offset == o.offset && value == o.value;
    }
};
inline GpioCall W(std::uint32_t offset, std::uint32_t value) { return {kIoctlWrite, offset, value}; }
inline GpioCall R(std::uint32_t offset) { return {kIoctlRead, offset, 0}; }

inline std::string Text(const GpioCall& c) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s(0x%X, 0x%X)", c.code == kIoctlWrite ? "W" : c.code == kIoctlRead ? "R" : "?",
                  c.offset, c.value);
    return buf;
}
inline std::ostream& operator<<(std::ostream& os, const GpioCall& c) { return os << Text(c); }

class SimulatedCard {
public:
    std::uint32_t mode = 0;      // register 0x1B0
    std::uint32_t outputs = 0;   // levels last written to 0x1B4
    std::uint32_t latched = 0;   // what a status read returns
    std::uint32_t otherInputs = 0;  // levels of input pins outside the receiver's lines (8..14)

    void PressKey(std::uint32_t code) { queue_.push_back(code & 0x3F); }
    void HoldKey(std::uint32_t code) { held_ = static_cast<int>(code & 0x3F); }
    void ReleaseKey() { held_ = -1; }
    bool KeyWaiting() const { return held_ >= 0 || !queue_.empty(); }
    std::size_t QueuedKeys() const { return queue_.size(); }
    std::uint32_t consumedKeys = 0;   // queued keys released after an acknowledge

    // Levels the pins show now: outputs drive their written level, inputs what is wired to them.
    std::uint32_t Pins() const {
        std::uint32_t inputs = otherInputs & ~0x7F00u;
        if (KeyWaiting())
            inputs |= (static_cast<std::uint32_t>(held_ >= 0 ? held_ : queue_.front()) << 8);
        else
            inputs |= 0x4000;  // ready line high: nothing waits
        std::uint32_t dir = mode & 0x0FFFFFFF;
        return ((outputs & dir) | (inputs & ~dir)) & 0x0FFFFFFF;
    }
    void Write(std::uint32_t offset, std::uint32_t value) {
        if (offset == kModeReg) {
            bool rise = !(mode & 0x80000000u) && (value & 0x80000000u);
            mode = value;
            if (rise) {
                latched = Pins();
                presented_ = !(latched & 0x4000);
            }
        } else if (offset == kStatusReg) {
            bool pin15Output = mode & 0x8000;
            if (ackArmed_) {
                ackArmed_ = false;
                if (presented_) {
                    presented_ = false;
                    if (held_ < 0 && !queue_.empty()) {
                        queue_.pop_front();
                        ++consumedKeys;
                    }
                }
            }
            if (pin15Output && !(value & 0x8000)) ackArmed_ = true;
            outputs = value;
        }
    }
    std::uint32_t Read(std::uint32_t offset) const { return offset == kModeReg ? mode : latched; }

private:
    std::deque<std::uint32_t> queue_;
    int held_ = -1;
    bool presented_ = false;
    bool ackArmed_ = false;
};

class FakeCaptureDevices : public CaptureDevices, public Tracer {
public:
    struct Interface {
        std::u16string path;
        bool detailFails = false;
        bool openFails = false;
    };

    SimulatedCard card;
    // The card that the requests reach: this one's own, or one that the applets of several logon
    // sessions share (each process enumerates and opens it on its own).
    SimulatedCard* target = &card;
    std::vector<Interface> interfaces;        // in enumeration order

    // Failure injection.
    bool allSetsFail = false;                  // SetupDiGetClassDevsW fails
    std::set<int> failSetCreation;             // 0-based numbers of creation attempts that fail
    bool requestsFail = false;                 // DeviceIoControl fails (record untouched)
    std::uint32_t returnedBytes = 20;          // bytes reported (and copied back) by a successful request

    // Counts and traces.
    int setsCreated = 0, setsDestroyed = 0, setAttempts = 0;
    struct EnumCall { Handle set; std::uint32_t index; };
    std::vector<EnumCall> enums;               // every EnumInterface
    std::vector<std::u16string> openAttempts;  // every OpenDevice path
    int devicesOpened = 0, devicesClosed = 0;
    std::vector<GpioCall> requests;            // every Control request
    int dirtyRecords = 0;                      // requests whose reserved words were not 0

    Interface& AddInterface(const std::u16string& path) {
        interfaces.push_back({path});
        return interfaces.back();
    }
    // The card's interface goes away (removal, driver disabled): its handle stops working.
    void RemoveInterface(const std::u16string& path) {
        for (std::size_t i = 0; i < interfaces.size(); ++i)
            if (interfaces[i].path == path) {
                interfaces.erase(interfaces.begin() + static_cast<long>(i));
                break;
            }
        for (auto& d : devices_)
            if (d.second.interfacePath == path) d.second.gone = true;
    }
    std::size_t OpenSets() const { return sets_.size(); }
    std::size_t OpenDevices() const { return devices_.size(); }
    // The path exactly as OpenDevice was given it for this handle.
    std::u16string OpenedPath(Handle h) const {
        auto it = devices_.find(h);
        return it == devices_.end() ? u"" : it->second.givenPath;
    }

    // --- CaptureDevices ---------------------------------------------------------------------
    Handle OpenInterfaceSet() override {
        int attempt = setAttempts++;
        if (allSetsFail || failSetCreation.count(attempt)) {
            Log("OpenInterfaceSet() fails");
            return 0;
        }
        Log("OpenInterfaceSet()");
        Handle h = nextSet_++;
        sets_.insert(h);
        ++setsCreated;
        return h;
    }
    bool EnumInterface(Handle set, std::uint32_t index) override {
        enums.push_back({set, index});
        const bool found = sets_.count(set) && index < interfaces.size();
        Log("EnumInterface(" + std::to_string(index) + ")" + (found ? "" : " fails"));
        return found;
    }
    bool InterfacePath(Handle set, std::uint32_t index, std::u16string* path) override {
        if (!sets_.count(set) || index >= interfaces.size() || interfaces[index].detailFails) {
            Log("InterfacePath(" + std::to_string(index) + ") fails");
            return false;
        }
        *path = interfaces[index].path;
        Log("InterfacePath(" + std::to_string(index) + ")");
        return true;
    }
    void CloseInterfaceSet(Handle set) override {
        Log("CloseInterfaceSet()");
        if (sets_.erase(set)) ++setsDestroyed;
        else ++badCloses;
    }
    Handle OpenDevice(const std::u16string& path) override {
        openAttempts.push_back(path);
        // Device paths name their device whatever the letter case, as CreateFileW treats them.
        for (const auto& i : interfaces)
            if (EqualNoCase(i.path, path) && !i.openFails) {
                Log("OpenDevice(" + N(path) + ")");
                Handle h = nextDevice_++;
                devices_[h] = {path, i.path, false};
                ++devicesOpened;
                return h;
            }
        Log("OpenDevice(" + N(path) + ") fails");
        return 0;
    }
    bool Control(Handle device, std::uint32_t code, GPIO_REQUEST* record, std::uint32_t* returned) override {
        requests.push_back({code, record->offset, record->value});
        // Written only where a test reads it: the fuzz targets send many requests.
        const std::string line =
            !trace ? std::string()
            : code == kIoctlWrite ? "Control(write " + Hex(record->offset) + ", " + Hex(record->value) + ")"
            : code == kIoctlRead  ? "Control(read " + Hex(record->offset) + ")"
                                  : "Control(" + Hex(code) + ")";
        if (record->reserved0 || record->reserved3 || record->reserved4) ++dirtyRecords;
        *returned = 0;
        auto it = devices_.find(device);
        if (requestsFail || it == devices_.end() || it->second.gone || (code != kIoctlWrite && code != kIoctlRead)) {
            Log(line + " fails");
            return false;
        }
        Log(code == kIoctlRead && trace ? line + " = " + Hex(target->Read(record->offset)) : line);
        GPIO_REQUEST answer = *record;
        if (code == kIoctlWrite) {
            target->Write(record->offset, record->value);
        } else {
            answer.value = target->Read(record->offset);
        }
        // A buffered request copies back exactly the bytes the driver reports.
        const std::uint32_t copied = returnedBytes < sizeof answer ? returnedBytes : sizeof answer;
        std::memcpy(record, &answer, copied);
        *returned = returnedBytes;
        return true;
    }
    void CloseDevice(Handle device) override {
        Log("CloseDevice()");
        if (devices_.erase(device)) ++devicesClosed;
        else ++badCloses;
    }
    int badCloses = 0;

private:
    struct OpenedDevice {
        std::u16string givenPath;      // as OpenDevice received it
        std::u16string interfacePath;  // the interface it reached
        bool gone;                     // the interface went away: the handle stops working
    };
    std::set<Handle> sets_;
    std::map<Handle, OpenedDevice> devices_;
    Handle nextSet_ = 0x2000, nextDevice_ = 0x3000;
};

}  // namespace applet::fake
