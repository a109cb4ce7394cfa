// Windows, messages and the main window's timers on a virtual clock.
//
// Timers fire in time order through CMainFrame::OnTimer. As with WM_TIMER, a timer whose handler
// overran its period (a Sleep or a wait inside the handler advances the same clock) fires once
// more right after, not once per missed period. SetTimer on a running id restarts it.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "fakes/common.h"
#include "mainframe.h"
#include "ports.h"

namespace applet::fake {

class FakeWindows : public Windows, public Tracer {
public:
    struct Window {
        std::u16string title;
        std::u16string className;
        bool hung = false;
        std::string name;  // as the trace shows it: the title, else the class
    };
    struct Message {
        std::string kind;  // "post", "send", "sendTimeout"
        Handle window;
        std::uint32_t msg;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        std::uint64_t at;  // virtual time
    };

    explicit FakeWindows(VirtualClock& clock) : clock_(clock) {}

    Handle mainWindow = 0;                 // set when the main window is created
    std::vector<Message> messages;         // Post / Send / SendTimeout, in order
    std::vector<std::pair<std::uint32_t, std::uint64_t>> fired;  // timer id and time of each tick
    // Called for every message sent or posted (after it is recorded); a test can act on it, e.g.
    // remove a window that receives WM_CLOSE. Its result is Send's result.
    std::function<std::intptr_t(const Message&)> onMessage;
    // SendMessageTimeout to a window that is not hung takes this long.
    std::uint32_t sendDelayMs = 0;

    // --- test set-up ------------------------------------------------------------------------
    Handle AddWindow(const std::u16string& title, const std::u16string& className = u"") {
        Handle h = next_++;
        windows_[h] = {title, className, false, N(title.empty() ? className : title)};
        return h;
    }
    void Rename(Handle h, const std::string& name) { windows_.at(h).name = name; }
    std::string Name(Handle h) const {
        auto it = windows_.find(h);
        return it != windows_.end() ? it->second.name : h ? "gone window" : "no window";
    }
    void RemoveWindow(Handle h) { windows_.erase(h); }
    bool Exists(Handle h) const { return windows_.count(h) != 0; }
    void SetHung(Handle h, bool hung) { windows_.at(h).hung = hung; }

    // --- timers as the tests see them -------------------------------------------------------
    bool Running(std::uint32_t id) const { return timers_.count(id) != 0; }
    std::uint32_t Period(std::uint32_t id) const {
        auto it = timers_.find(id);
        return it == timers_.end() ? 0 : it->second.period;
    }
    std::size_t RunningTimers() const { return timers_.size(); }
    std::uint64_t Now() const { return clock_.now; }
    int Ticks(std::uint32_t id) const {
        int n = 0;
        for (auto& f : fired) n += f.first == id;
        return n;
    }

    // Runs the virtual clock forward by `ms`, firing due timers in time order on `frame`.
    void Advance(std::uint64_t ms, CMainFrame& frame) {
        std::uint64_t end = clock_.now + ms;
        for (;;) {
            auto due = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (it->second.due <= end && (due == timers_.end() || it->second.due < due->second.due))
                    due = it;
            if (due == timers_.end()) break;
            std::uint32_t id = due->first;
            std::uint64_t generation = due->second.generation;
            if (due->second.due > clock_.now) clock_.now = due->second.due;
            std::uint64_t firedAt = clock_.now;
            fired.push_back({id, firedAt});
            frame.OnTimer(id);
            auto again = timers_.find(id);
            if (again != timers_.end() && again->second.generation == generation) {
                std::uint64_t next = firedAt + again->second.period;
                again->second.due = next > clock_.now ? next : clock_.now;
            }
        }
        if (clock_.now < end) clock_.now = end;
    }
    void RunFor(std::uint64_t ms) { Advance(ms, *frame); }
    CMainFrame* frame = nullptr;  // for RunFor and for WM_CLOSE sent to the main window

    // --- Windows ----------------------------------------------------------------------------
    Handle MainWindow() override { return mainWindow; }
    void SetTimer(std::uint32_t id, std::uint32_t periodMs) override {
        Log("SetTimer(" + std::to_string(id) + ", " + std::to_string(periodMs) + ")");
        auto& t = timers_[id];
        t.period = periodMs;
        t.due = clock_.now + periodMs;
        t.generation = ++generation_;
    }
    void KillTimer(std::uint32_t id) override {
        Log("KillTimer(" + std::to_string(id) + ")");
        timers_.erase(id);
    }
    // No window class has an empty name: a class of "" finds nothing.
    Handle FindWindow(const char16_t* className, const char16_t* title) override {
        auto quoted = [](const char16_t* s) { return s ? "\"" + N(s) + "\"" : std::string("null"); };
        const std::string call = "FindWindow(" + quoted(className) + ", " + quoted(title) + ")";
        for (auto& w : windows_)
            if ((!className || (*className && EqualNoCase(w.second.className, className))) &&
                (!title || EqualNoCase(w.second.title, title)))
                return Found(call, w.first);
        return Found(call, 0);
    }
    bool Post(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        const bool exists = windows_.count(window) != 0;
        Deliver("post", window, msg, wParam, lParam, "", exists ? "" : " fails");
        return exists;
    }
    std::intptr_t Send(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        // WM_CLOSE sent to the main window runs the frame's shutdown; the adapter then destroys it.
        if (window == mainWindow && msg == win::kWmClose && frame && windows_.count(window)) {
            record("send", window, msg, wParam, lParam, "", "");
            frame->OnClose();
            windows_.erase(window);
            return 0;
        }
        return Deliver("send", window, msg, wParam, lParam, "", "");
    }
    bool SendTimeout(Handle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                     std::uint32_t flags, std::uint32_t timeoutMs) override {
        const std::string args = ", " + Hex(flags) + ", " + std::to_string(timeoutMs);
        auto it = windows_.find(window);
        if (it == windows_.end()) {
            record("sendTimeout", window, msg, wParam, lParam, args, " fails");
            return false;
        }
        if (it->second.hung) {
            record("sendTimeout", window, msg, wParam, lParam, args, " fails");
            // A hung window fails at once with SMTO_ABORTIFHUNG, else after the time-out.
            if (!(flags & win::kSmtoAbortIfHung)) clock_.now += timeoutMs;
            return false;
        }
        const bool late = sendDelayMs > timeoutMs;
        Deliver("sendTimeout", window, msg, wParam, lParam, args, late ? " times out" : "");
        if (late) {
            clock_.now += timeoutMs;
            return false;
        }
        clock_.now += sendDelayMs;
        return true;
    }

private:
    struct Timer {
        std::uint32_t period = 0;
        std::uint64_t due = 0;
        std::uint64_t generation = 0;
    };
    Handle Found(const std::string& line, Handle h) {
        Log(line + " = " + Name(h));
        return h;
    }
    // "Post(window, msg, wParam, lParam)" in the trace; SendTimeout adds its flags and bound.
    void record(const char* kind, Handle w, std::uint32_t msg, std::uintptr_t wp, std::intptr_t lp,
                const std::string& more, const std::string& outcome) {
        messages.push_back({kind, w, msg, wp, lp, clock_.now});
        const std::string k = kind;
        const char* name = k == "post" ? "Post" : k == "send" ? "Send" : "SendTimeout";
        Log(std::string(name) + "(" + Name(w) + ", " + Hex(msg) + ", " + Hex(wp) + ", " +
            std::to_string(lp) + more + ")" + outcome);
    }
    std::intptr_t Deliver(const char* kind, Handle w, std::uint32_t msg, std::uintptr_t wp, std::intptr_t lp,
                          const std::string& more, const std::string& outcome) {
        record(kind, w, msg, wp, lp, more, outcome);
        return onMessage ? onMessage(messages.back()) : 0;
    }

    VirtualClock& clock_;
    std::map<std::uint32_t, Timer> timers_;
    std::map<Handle, Window> windows_;
    std::uint64_t generation_ = 0;
    Handle next_ = 0x5000;
};

}  // namespace applet::fake
