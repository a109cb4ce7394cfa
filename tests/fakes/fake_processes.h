// Child processes on the virtual clock, Sleep, and the program's own module path.
#pragma once

#include <map>
#include <vector>

#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

class FakeProcesses : public Processes, public Tracer {
public:
    static constexpr std::int64_t kRunsForever = -1;

    explicit FakeProcesses(VirtualClock& clock) : clock_(clock) {}

    std::u16string modulePath = u"C:\\Windows\\Ravlet.exe";
    std::vector<std::u16string> starts;           // every Start, also the failed ones
    struct WaitCall { Handle process; std::uint32_t timeout; std::uint32_t result; std::uint64_t at; };
    std::vector<WaitCall> waits;
    int closes = 0;

    // A program that can be started: it ends `runsForMs` after its start (or never).
    void AddProgram(const std::u16string& path, std::int64_t runsForMs) { programs_[Lower(path)] = runsForMs; }
    std::size_t OpenProcesses() const { return running_.size(); }

    Handle Start(const std::u16string& path) override {
        starts.push_back(path);
        auto it = programs_.find(Lower(path));
        Log("Start(" + N(path) + ")" + (it == programs_.end() ? " fails" : ""));
        if (it == programs_.end()) return 0;
        Handle h = next_++;
        running_[h] = it->second < 0 ? -1 : static_cast<std::int64_t>(clock_.now) + it->second;
        return h;
    }
    std::uint32_t WaitFor(Handle process, std::uint32_t timeoutMs) override {
        auto it = running_.find(process);
        std::uint32_t result = 0xFFFFFFFF;  // WAIT_FAILED
        if (it != running_.end()) {
            std::uint64_t limit = clock_.now + timeoutMs;
            if (it->second >= 0 && static_cast<std::uint64_t>(it->second) <= limit) {
                if (static_cast<std::uint64_t>(it->second) > clock_.now) clock_.now = it->second;
                result = 0;
            } else {
                clock_.now = limit;
                result = win::kWaitTimeout;
            }
        }
        waits.push_back({process, timeoutMs, result, clock_.now});
        Log("WaitFor(process, " + std::to_string(timeoutMs) + ")" +
            (result == win::kWaitTimeout ? " times out" : result == 0 ? "" : " fails"));
        return result;
    }
    void CloseHandle(Handle process) override {
        Log("CloseHandle(process)");
        if (running_.erase(process)) ++closes;
        else ++badCloses;
    }
    void Sleep(std::uint32_t ms) override {
        Log("Sleep(" + std::to_string(ms) + ")");
        clock_.now += ms;
    }
    // As the adapter reports GetModuleFileNameW: a path that does not fit the buffer with its
    // terminator (the call cut it short) comes back as no path at all.
    std::u16string ModuleFileName(std::uint32_t capacity) override {
        Log("ModuleFileName(" + std::to_string(capacity) + ")" + (modulePath.size() >= capacity ? " fails" : ""));
        if (modulePath.size() >= capacity) return u"";
        return modulePath;
    }
    int badCloses = 0;

private:
    VirtualClock& clock_;
    std::map<std::u16string, std::int64_t> programs_;
    std::map<Handle, std::int64_t> running_;  // end time, -1: never
    Handle next_ = 0x4000;
};

}  // namespace applet::fake
