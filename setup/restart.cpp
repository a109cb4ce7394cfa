// The end of the installation: the restart prompt, the restart it may ask for, and the close.
#include "mainframe.h"
#include "restartdlg.h"

namespace setup {

void CMainFrame::RestartPromptAndEnd() {
    Restart& r = m_ports.restart;
    CRestartDlg dialog;
    const std::int32_t result = m_ports.dialogs.RunModal(kRestartDialog, m_hWnd, dialog);
    if (result == win::kIdOk && dialog.m_nRestartNow == 1) {
        m_ctx.shutdownPermission = 1;
        if (!r.ExitSession(win::kEwxReboot, 0)) {
            if (Handle token = r.OpenToken(win::kTokenAdjustPrivileges | win::kTokenQuery)) {
                r.EnablePrivilege(token, "SeShutdownPrivilege", win::kSePrivilegeEnabled);
                r.CloseToken(token);
                r.ExitSession(win::kEwxReboot, 0);
            }
        }
    }
    m_ctx.shutdownPermission = 1;
    m_ports.windows.Post(m_hWnd, win::kWmClose, 0, 0);
}

}  // namespace setup
