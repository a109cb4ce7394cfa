// The end of the installation: the restart prompt, the restart it may ask for, and the close.
#include "mainframe.h"
#include "restartdlg.h"

namespace setup {

void CMainFrame::RestartPromptAndEnd() {
    Restart& r = ports_.restart;
    CRestartDlg dialog;
    const std::int32_t result = ports_.dialogs.RunModal(kRestartDialog, window_, dialog);
    if (result == win::kIdOk && dialog.m_nRestartNow == 1) {
        ctx_.shutdownPermission = 1;
        if (!r.ExitSession(win::kEwxReboot, 0)) {
            if (Handle token = r.OpenToken(win::kTokenAdjustPrivileges | win::kTokenQuery)) {
                r.EnablePrivilege(token, "SeShutdownPrivilege", win::kSePrivilegeEnabled);
                r.CloseToken(token);
                r.ExitSession(win::kEwxReboot, 0);
            }
        }
    }
    ctx_.shutdownPermission = 1;
    ports_.windows.Post(window_, win::kWmClose, 0, 0);
}

}  // namespace setup
