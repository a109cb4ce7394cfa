// Logon sessions and the physical console. By default the applet's session (1) has the console and
// the registration succeeds: one session, as on a machine without fast user switching. Applets of
// several sessions share one `attached` value (the session at the console) through `machine`.
#pragma once

#include <deque>

#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

class FakeConsole : public Console, public Tracer {
public:
    std::uint32_t session = 1;         // this process's logon session
    std::uint32_t ownConsole = 1;      // the console, unless `machine` points elsewhere
    std::uint32_t* machine = &ownConsole;
    bool remote = false;               // shown through a remote desktop
    bool sessionApis = true;           // ProcessIdToSessionId and WTSGetActiveConsoleSessionId exist
    // Answers of the next registrations, in order; Done once they are used up.
    std::deque<Registration> answers;
    int registrations = 0, unregistrations = 0;
    bool registered = false;

    Registration RegisterNotification() override {
        ++registrations;
        Registration answer = Registration::Done;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        Log(std::string("RegisterNotification()") +
            (answer == Registration::Done ? "" : answer == Registration::Failed ? " fails" : " unavailable"));
        if (answer == Registration::Done) registered = true;
        return answer;
    }
    void UnregisterNotification() override {
        Log("UnregisterNotification()");
        ++unregistrations;
        registered = false;
    }
    bool OwnSession(std::uint32_t* id) override {
        Log(sessionApis ? "OwnSession() = " + std::to_string(session) : "OwnSession() fails");
        if (!sessionApis) return false;
        *id = session;
        return true;
    }
    bool ConsoleSession(std::uint32_t* id) override {
        Log(sessionApis ? "ConsoleSession() = " + std::to_string(*machine) : "ConsoleSession() fails");
        if (!sessionApis) return false;
        *id = *machine;
        return true;
    }
    bool RemoteSession() override {
        Log(std::string("RemoteSession() = ") + (remote ? "1" : "0"));
        return remote;
    }
};

}  // namespace applet::fake
