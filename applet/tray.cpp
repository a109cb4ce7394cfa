// The notification-area icon and its menu.
#include "mainframe.h"
#include "win32/resource.h"

namespace applet {

namespace {

constexpr std::uint32_t kTrayFlags = 7;  // NIF_MESSAGE | NIF_ICON | NIF_TIP
constexpr std::size_t kTipUnits = 80;    // copy limit, terminator included

std::u16string TooltipFor(std::uint32_t deviceId) {
    switch (deviceId) {
        case kSaa7130: return u"SAA7130 TV Card Remote Control Receiver";
        case kSaa7131: return u"SAA7131 TV Card Remote Control Receiver";
        case kSaa7133: return u"SAA7133 TV Card Remote Control Receiver";
        case kSaa7134: return u"SAA7134 TV Card Remote Control Receiver";
        case kSaa7135: return u"SAA7135 TV Card Remote Control Receiver";
        default: return u"SAA713x TV Card Remote Control Receiver";
    }
}

}  // namespace

bool CMainFrame::ShowTrayIcon() {
    TrayIcon icon;
    icon.cbSize = kTrayRecordSize;
    icon.id = IDR_MAINFRAME;
    icon.flags = kTrayFlags;
    icon.callbackMessage = kTrayCallbackMessage;
    icon.iconResource = IDR_MAINFRAME;
    icon.tip = TooltipFor(deviceId_).substr(0, kTipUnits - 1);
    // An icon already present is left as it is, tooltip included.
    return ports_.shell.AddIcon(icon);
}

void CMainFrame::RemoveTrayIcon(std::uint32_t id) { ports_.shell.DeleteIcon(id); }

std::intptr_t CMainFrame::OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam) {
    const bool press = lParam == win::kWmLButtonDown || lParam == win::kWmRButtonDown;
    const bool ours = wParam == IDR_MAINFRAME || wParam == kSecondTrayIcon;
    if (!press || !ours) return 0;

    // Enabled or greyed by the receiver-enabled flag only.
    const MenuItemState items[] = {
        {ID_RECEIVER_ENABLE, receiverEnabled_ == 0},
        {ID_RECEIVER_DISABLE, receiverEnabled_ != 0},
        {ID_CONFIGURE, true},
        {ID_APP_EXIT, true},
    };
    ports_.shell.TrackTrayMenu(IDR_MAINFRAME, items, sizeof items / sizeof items[0]);
    return 0;
}

}  // namespace applet
