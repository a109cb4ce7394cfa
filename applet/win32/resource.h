// Resource and command ids of Ravlet, shared by Ravlet.rc and the C++ code.
#pragma once

// Shared by the title string, the tray menu and the tray icon.
#define IDR_MAINFRAME 128

// Dialogs
#define IDD_REMOTE 136
#define IDD_UNLOAD 137

// Bitmaps of the three remote controls
#define IDB_REMOTE51 138
#define IDB_REMOTE32 139
#define IDB_REMOTE28 141

// The same remotes at twice the size (zlib-compressed packed DIBs), for screens above 96 DPI
#define IDR_REMOTE51_2X 238
#define IDR_REMOTE32_2X 239
#define IDR_REMOTE28_2X 241

// Boxes of the three pictures in the remote type dialog, in dialog units (left, top, width,
// height): the template places the pictures there, and above 96 DPI the large pictures fill them.
#define REMOTE51_BOX 15, 30, 43, 148
#define REMOTE32_BOX 85, 30, 52, 148
#define REMOTE28_BOX 155, 30, 100, 148

// Tray menu commands
#define ID_RECEIVER_DISABLE 1001
#define ID_CONFIGURE 1002
#define ID_RECEIVER_ENABLE 1080
#define ID_APP_EXIT 57665

// Controls of the remote type dialog
#define IDC_REMOTE51 1003
#define IDC_REMOTE32 1004
#define IDC_REMOTE30 1005
#define IDC_REMOTE28 1006

// Controls of the unload dialog
#define IDC_UNLOAD_ONCE 1007
#define IDC_UNINSTALL 1008

// Client view of the main window
#define AFX_IDW_PANE_FIRST 59648

// Controls that the code never addresses
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
