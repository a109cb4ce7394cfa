// The simulated card: loads the capture-driver double (testbed/carddouble) as a Wine service and
// drives it through its control device: keys, removal and return, faults, counters, the request
// trace, and waits for the applet's polls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "card_protocol.h"

namespace e2e {

class Card {
public:
    // Loads the double from `sysPath` (a Windows path) if it is not running yet, opens its control
    // device and resets it: present, no key, counters at zero. Check ok().
    explicit Card(const std::wstring& sysPath);
    ~Card();
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    bool ok() const { return control_ != INVALID_HANDLE_VALUE; }
    const std::wstring& error() const { return error_; }

    bool Reset();
    // One press of a remote key; *pressTime gets the double's clock at the press (100 ns units).
    bool Press(unsigned int code, long long* pressTime = nullptr);
    bool Hold(unsigned int code);
    bool Release();
    bool SetPresent(bool present);
    bool SetReadBytes(unsigned int bytes);
    bool FailReads(unsigned int count);
    bool SetCamera(bool listed);
    bool SetLevels(unsigned int outputs);
    bool MakeStale();

    CardState State();
    // Requests from sequence number `from` on (at most the last CARD_TRACE_SIZE).
    std::vector<CardRequest> Trace(unsigned int from);
    // Waits until the applet has polled `polls` more times, or until the receiver has let go of the
    // last press (even when that happened before the call); false when limitMs passed first.
    bool WaitPolls(unsigned int polls, DWORD limitMs, CardState* after = nullptr);
    bool WaitTaken(DWORD limitMs, CardState* after = nullptr);
    // Waits until `condition` holds for the card's state, checking after every poll of the applet
    // and at least every 100 ms (so that it also ends while nothing polls).
    template <class Condition>
    bool WaitState(Condition condition, DWORD limitMs, CardState* last = nullptr);

    // The device path that SetupAPI reports for the card's interface.
    static std::wstring InterfacePath();

private:
    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned = nullptr);
    bool Set(unsigned int id, unsigned int value);
    bool Wait(unsigned int what, unsigned int count, DWORD limitMs, CardState* after);

    HANDLE control_ = INVALID_HANDLE_VALUE;
    unsigned int lastPressTaken_ = 0;  // the total of presses taken once the last press is
    std::wstring error_;
};

// The double's clock (system time in 100 ns units) read from user mode.
long long CardClock();

template <class Condition>
bool Card::WaitState(Condition condition, DWORD limitMs, CardState* last) {
    const DWORD start = GetTickCount();
    CardState state = State();
    while (!condition(state)) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= limitMs) {
            if (last) *last = state;
            return false;
        }
        WaitPolls(1, limitMs - spent < 100 ? limitMs - spent : 100);
        state = State();
    }
    if (last) *last = state;
    return true;
}

}  // namespace e2e
