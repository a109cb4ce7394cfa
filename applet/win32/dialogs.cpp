// Dialogs port: the modal dialogs on templates 136 and 137, routed to CRemote and CUnload.
#include "adapters.h"
#include "dialogs.h"
#include "resource.h"

namespace {

class Win32DialogControls : public DialogControls {
public:
    explicit Win32DialogControls(HWND dialog) : dialog_(dialog) {}
    void SetCheck(std::uint32_t id, bool checked) override {
        SendMessageW(GetDlgItem(dialog_, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void Enable(std::uint32_t id, bool enabled) override { EnableWindow(GetDlgItem(dialog_, id), enabled); }

private:
    HWND dialog_;
};

// The dialogs have no owner, so they would open at the top left corner of the screen.
void CentreOnScreen(HWND dialog) {
    RECT box{};
    GetWindowRect(dialog, &box);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    SetWindowPos(dialog, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

template <class Dialog>
Dialog* Attach(HWND window, UINT msg, LPARAM lParam) {
    if (msg == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lParam);
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
}

// OK and Cancel are the framework defaults; the close box arrives as IDCANCEL.
bool EndOnButton(HWND window, WORD id) {
    if (id != IDOK && id != IDCANCEL) return false;
    EndDialog(window, id);
    return true;
}

INT_PTR CALLBACK RemoteProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    CRemote* dialog = Attach<CRemote>(window, msg, lParam);
    if (!dialog) return FALSE;
    switch (msg) {
        case WM_INITDIALOG: {
            CentreOnScreen(window);
            Win32DialogControls controls(window);
            return dialog->OnInitDialog(controls) ? TRUE : FALSE;
        }
        case WM_COMMAND: {
            const WORD id = LOWORD(wParam);
            if (id >= IDC_REMOTE51 && id <= IDC_REMOTE28) {
                if (HIWORD(wParam) == BN_CLICKED) {
                    dialog->OnRadio(id);
                    // The group's own unchecking passes over hidden and disabled buttons; the
                    // choice is one of four, so clear the other three too.
                    CheckRadioButton(window, IDC_REMOTE51, IDC_REMOTE28, id);
                }
                return TRUE;
            }
            return EndOnButton(window, id) ? TRUE : FALSE;
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK UnloadProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    CUnload* dialog = Attach<CUnload>(window, msg, lParam);
    if (!dialog) return FALSE;
    switch (msg) {
        case WM_INITDIALOG: {
            CentreOnScreen(window);
            Win32DialogControls controls(window);
            dialog->OnInitDialog(controls);
            return TRUE;
        }
        case WM_COMMAND: {
            const WORD id = LOWORD(wParam);
            if (id == IDC_UNLOAD_ONCE || id == IDC_UNINSTALL) {
                if (HIWORD(wParam) == BN_CLICKED) dialog->OnRadio(id);
                return TRUE;
            }
            if (id == IDOK) dialog->OnOK();
            return EndOnButton(window, id) ? TRUE : FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

std::int32_t Win32Dialogs::RunRemote(CRemote& dialog) {
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_REMOTE), nullptr,
                                           RemoteProc, reinterpret_cast<LPARAM>(&dialog));
    return result == IDOK ? win::kIdOk : win::kIdCancel;
}

std::int32_t Win32Dialogs::RunUnload(CUnload& dialog) {
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UNLOAD), nullptr,
                                           UnloadProc, reinterpret_cast<LPARAM>(&dialog));
    return result == IDOK ? win::kIdOk : win::kIdCancel;
}
