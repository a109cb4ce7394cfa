// The setup window: its class, title font, painting of the skin that CMainFrame chose, and the
// routing of its messages to CMainFrame.
#pragma once
#include "platform.h"

#include "adapters.h"
#include "mainframe.h"
#include "unique.h"

namespace setup::win32 {

// The window's own resources beside CMainFrame, which holds the skin's picture.
struct FrameWindow {
    CMainFrame& frame;
    HINSTANCE instance;
    PicturesAdapter& pictures;  // the skin's bitmap, for painting
    UniqueGdi titleFont;
};

// Registers the window class with `background` as its brush and creates the window where the
// logic places it; `window` must outlive the window.
HWND CreateFrameWindow(FrameWindow& window, HBRUSH background);

}  // namespace setup::win32
