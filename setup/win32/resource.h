// Resource ids of setup.exe, shared by setup.rc and the C++ code.
#pragma once

// Strings
#define IDS_INSTANCE_NAME   128   // "TV Card Setup": instance mutex name and the window a second start raises

// Icons
#define IDI_SETUP           128

// Bitmaps
#define IDB_SKIN            129   // built-in 800x600 skin, used when Setup.bin cannot be decoded

// Manifests. Not 1, the program's own, which the loader reads: this one it leaves alone.
#define IDR_GDIPLUS_MANIFEST 2    // the side-by-side GDI+ assembly, for an activation context made at run time

// Dialogs
#define IDD_RESTART         131

// Controls of IDD_RESTART
#define IDC_RESTART_NOW     1001
#define IDC_RESTART_LATER   1002
#ifndef IDC_STATIC
#define IDC_STATIC          (-1)
#endif
