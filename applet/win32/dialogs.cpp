// Dialogs port: the modal dialogs on templates 136 and 137, routed to CRemote and CUnload.
#include "adapters.h"
#include "dialogs.h"
#include "picture.h"
#include "resource.h"

#include <vector>

namespace applet::win32 {

namespace {

class DialogControlsAdapter : public DialogControls {
public:
    explicit DialogControlsAdapter(HWND dialog) : dialog_(dialog) {}
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

// The remote pictures at the dialog's scale. Above 96 DPI the dialog grows with its font while a
// template's bitmaps keep their pixel size, so each picture is replaced by its large version,
// resampled to fill its box; the template's own bitmaps go back before the controls are destroyed.
class RemotePictures {
public:
    void Fit(HWND dialog) {
        struct Remote {
            int large;
            RECT box;  // dialog units: left, top, width, height
        };
        const Remote remotes[] = {{IDR_REMOTE51_2X, {REMOTE51_BOX}},
                                  {IDR_REMOTE32_2X, {REMOTE32_BOX}},
                                  {IDR_REMOTE28_2X, {REMOTE28_BOX}}};
        for (const Remote& remote : remotes) {
            // Mapped field by field, as the dialog manager maps a control's position and size.
            RECT box = remote.box;
            MapDialogRect(dialog, &box);
            HWND control = PictureAt(dialog, box.left, box.top);
            BITMAP size{};
            HBITMAP own = control ? reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0))
                                  : nullptr;
            if (!own || !GetObjectW(own, sizeof size, &size)) continue;
            PixelRect fit = FitPicture({box.left, box.top, box.right, box.bottom}, size.bmWidth, size.bmHeight);
            if (fit.width != size.bmWidth || fit.height != size.bmHeight) {
                HBITMAP scaled = Scaled(remote.large, fit.width, fit.height);
                if (scaled) {
                    SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled));
                    swapped_.push_back({control, own, scaled});
                } else {
                    // Without the large picture: the template's, at its own size, centred.
                    fit = {box.left + (box.right - size.bmWidth) / 2, box.top + (box.bottom - size.bmHeight) / 2,
                           size.bmWidth, size.bmHeight};
                }
            }
            SetWindowPos(control, nullptr, fit.left, fit.top, fit.width, fit.height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    void Restore() {
        for (const Swap& swap : swapped_) {
            SendMessageW(swap.control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(swap.own));
            DeleteObject(swap.scaled);
        }
        swapped_.clear();
    }

private:
    struct Swap {
        HWND control;
        HBITMAP own;     // the template's bitmap
        HBITMAP scaled;  // ours
    };

    // The picture control whose top left corner the dialog manager put at x, y.
    static HWND PictureAt(HWND dialog, int x, int y) {
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
            RECT r{};
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
            if (r.left == x && r.top == y) return c;
        }
        return nullptr;
    }

    // The large picture `id` at width x height, as a 24-bit DIB section (no alpha, so the control
    // shows it as it is); null when the resource is missing or damaged.
    static HBITMAP Scaled(int id, int width, int height) {
        HMODULE module = GetModuleHandleW(nullptr);
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
        HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        Picture large;
        if (!data || !UnpackPicture(static_cast<const std::uint8_t*>(data), SizeofResource(module, found), &large))
            return nullptr;
        const Picture picture = ResamplePicture(large, width, height);
        if (picture.bits.empty()) return nullptr;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = picture.width;
        info.bmiHeader.biHeight = picture.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap || !bits) {
            if (bitmap) DeleteObject(bitmap);
            return nullptr;
        }
        CopyMemory(bits, picture.bits.data(), picture.bits.size());
        return bitmap;
    }

    std::vector<Swap> swapped_;
};

// What the remote type dialog's procedure works on.
struct RemoteSession {
    CRemote* dialog;
    RemotePictures pictures;
};

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
    RemoteSession* session = Attach<RemoteSession>(window, msg, lParam);
    if (!session) return FALSE;
    CRemote* dialog = session->dialog;
    switch (msg) {
        case WM_INITDIALOG: {
            session->pictures.Fit(window);
            CentreOnScreen(window);
            DialogControlsAdapter controls(window);
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
        case WM_DESTROY:
            // The controls still exist here.
            session->pictures.Restore();
            return FALSE;
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
            DialogControlsAdapter controls(window);
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

std::int32_t DialogsAdapter::RunRemote(CRemote& dialog) {
    RemoteSession session{&dialog, {}};
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_REMOTE), nullptr,
                                           RemoteProc, reinterpret_cast<LPARAM>(&session));
    return result == IDOK ? win::kIdOk : win::kIdCancel;
}

std::int32_t DialogsAdapter::RunUnload(CUnload& dialog) {
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UNLOAD), nullptr,
                                           UnloadProc, reinterpret_cast<LPARAM>(&dialog));
    return result == IDOK ? win::kIdOk : win::kIdCancel;
}

}  // namespace applet::win32
