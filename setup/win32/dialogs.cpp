// Dialogs port: the restart dialog, run modally from its template.
#include "adapters.h"
#include "restartdlg.h"

namespace setup::win32 {

namespace {

class Controls : public DialogControls {
public:
    explicit Controls(HWND dialog) : dialog_(dialog) {}
    void SetCheck(std::int32_t id, std::uint32_t state) override {
        SendDlgItemMessageA(dialog_, id, BM_SETCHECK, state, 0);
    }

private:
    HWND dialog_;
};

INT_PTR CALLBACK RestartDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* dialog = reinterpret_cast<CRestartDlg*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(hwnd, DWLP_USER, lp);
        Controls controls(hwnd);
        reinterpret_cast<CRestartDlg*>(lp)->OnInitDialog(controls);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
        case IDCANCEL:  // also the close box
            EndDialog(hwnd, LOWORD(wp));
            return TRUE;
        default:
            if (HIWORD(wp) == BN_CLICKED && dialog) {
                dialog->OnRadio(LOWORD(wp));
                return TRUE;
            }
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::int32_t DialogsAdapter::RunModal(std::int32_t templateId, Hwnd parent, CRestartDlg& dialog) {
    return static_cast<std::int32_t>(DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId), As<HWND>(parent),
                                                     RestartDlgProc, reinterpret_cast<LPARAM>(&dialog)));
}

}  // namespace setup::win32
