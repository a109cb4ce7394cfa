// The setup window: its class, skin, title font, painting and the routing of its messages to
// CMainFrame.
#pragma once
#include "platform.h"

#include "mainframe.h"
#include "unique.h"

namespace setup::win32 {

// The window's own resources; CMainFrame keeps none of them.
struct FrameWindow {
    CMainFrame& frame;
    HINSTANCE instance;
    UniqueGdi skin;
    int skinWidth = 0;
    int skinHeight = 0;
    UniqueGdi titleFont;
};

// Registers the window class with `background` as its brush and creates the window where the
// logic places it; `window` must outlive the window.
HWND CreateFrameWindow(FrameWindow& window, HBRUSH background);

}  // namespace setup::win32
