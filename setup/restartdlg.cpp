#include "restartdlg.h"

namespace setup {

void CRestartDlg::OnInitDialog(DialogControls& controls) {
    m_nRestartNow = 1;
    controls.SetCheck(kRadioRestartNow, 1);
}

void CRestartDlg::OnRadio(std::int32_t id) {
    if (id == kRadioRestartNow)
        m_nRestartNow = 1;
    else if (id == kRadioRestartLater)
        m_nRestartNow = 0;
}

}  // namespace setup
