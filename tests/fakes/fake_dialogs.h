// Runs the modal dialogs without a screen: initialisation on recording controls, scripted clicks,
// then OK (CUnload::OnOK runs, as the dialog's OK handler) or Cancel. The timers that the real
// modal loop goes on dispatching are the system's doing, not the applet's: no fake runs them here.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "dialogs.h"
#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

class FakeDialogControls : public DialogControls, public Tracer {
public:
    std::map<std::uint32_t, bool> checks, enabled;
    void SetCheck(std::uint32_t id, bool checked) override {
        checks[id] = checked;
        Log("SetCheck(" + std::to_string(id) + ", " + (checked ? "1" : "0") + ")");
    }
    void Enable(std::uint32_t id, bool on) override {
        enabled[id] = on;
        Log("Enable(" + std::to_string(id) + ", " + (on ? "1" : "0") + ")");
    }
    // A radio group: clicking one button checks it and clears the others.
    void Click(std::uint32_t id) {
        for (auto& c : checks) c.second = false;
        checks[id] = true;
    }
};

class FakeDialogs : public Dialogs, public Tracer {
public:
    std::vector<std::uint32_t> clicks;     // radio clicks applied after initialisation
    std::int32_t result = win::kIdOk;      // how the dialog ends
    int remoteRuns = 0;
    FakeDialogControls controls;           // controls of the last dialog run
    bool initResult = false;               // what the last CRemote::OnInitDialog returned

    std::int32_t RunRemote(CRemote& dialog) override {
        ++remoteRuns;
        Log("RunRemote()");
        controls = FakeDialogControls();
        controls.trace = trace;
        initResult = dialog.OnInitDialog(controls);
        Script([&](std::uint32_t id) { dialog.OnRadio(id); });
        return result;
    }
    std::int32_t RunUnload(CUnload& dialog) override {
        Log("RunUnload()");
        controls = FakeDialogControls();
        controls.trace = trace;
        dialog.OnInitDialog(controls);
        Script([&](std::uint32_t id) { dialog.OnRadio(id); });
        if (result == win::kIdOk) dialog.OnOK();
        return result;
    }

private:
    void Script(const std::function<void(std::uint32_t)>& radio) {
        for (auto id : clicks) {
            Log("click " + std::to_string(id));
            controls.Click(id);
            radio(id);
        }
    }
};

}  // namespace applet::fake
