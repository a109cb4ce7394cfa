// Registry keys and window titles that more than one part of the installation uses.
#pragma once

namespace setup {

constexpr const char* kAppletKey = "SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
constexpr const char* kTunerKey =
    "SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";
// The TV application's installer: its wizard's window, which the watch waits to see go away.
constexpr const char* kWizardTitle = "Lumora - InstallShield Wizard";

}  // namespace setup
