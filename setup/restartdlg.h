// The restart prompt on dialog template 131.
#pragma once

#include <cstdint>

#include "ports.h"

namespace setup {

constexpr std::int32_t kRestartDialog = 131;
constexpr std::int32_t kRadioRestartNow = 1001;
constexpr std::int32_t kRadioRestartLater = 1002;

class CRestartDlg {
public:
    // Preselects "restart now".
    void OnInitDialog(DialogControls& controls);
    // A click on radio button 1001 or 1002.
    void OnRadio(std::int32_t id);

    // The dialog's field keeps its established name.
    std::int32_t m_nRestartNow = 0;
};

}  // namespace setup
