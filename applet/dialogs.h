// The two modal dialogs of the applet, as plain state with handlers; the adapter shows them.
#pragma once

#include <cstdint>
#include <string>

#include "ports.h"

namespace applet {

// "Choose Remote Controller", template 136.
class CRemote {
public:
    CRemote(Registry& registry, std::uint32_t isOldBoard, std::uint32_t deviceId);
    bool OnInitDialog(DialogControls& controls);   // checks and the 51-key rule; returns TRUE
    void OnRadio(std::uint32_t id);                // clicks of 1003..1006

    // The dialog's data field keeps its established name.
    std::int32_t m_nRemoteType = 0;

private:
    Registry& registry_;
    std::uint32_t isOldBoard_;
    std::uint32_t deviceId_;
};

// Remote type from a profile name, and the profile name of a remote type.
std::int32_t RemoteTypeFromProfile(const std::u16string& name);
std::u16string ProfileFromRemoteType(std::int32_t type);

// "Unload Remote Control Receiver", template 137.
class CUnload {
public:
    explicit CUnload(const Ports& ports);
    void OnInitDialog(DialogControls& controls);   // choice 0, radio 1007 checked
    void OnRadio(std::uint32_t id);                // 1007: 0, 1008: 1
    void OnOK();                                   // uninstall when chosen, device monitor asked to close

    // The dialog's data field keeps its established name.
    std::uint32_t m_nChoice = 0;

private:
    Ports ports_;
};

}  // namespace applet
