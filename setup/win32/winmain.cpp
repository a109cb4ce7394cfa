// Entry point of setup.exe: the application object's start-up, the message loop and its exit.
#include "platform.h"

#include "adapters.h"
#include "resource.h"
#include "restartdlg.h"
#include "setupapp.h"
#include "system_dll.h"

// The logic names the resources by number; setup.rc must carry them under the same ids.
static_assert(IDS_INSTANCE_NAME == setup::kInstanceNameId);
static_assert(IDI_SETUP == setup::kFrameIcon);
static_assert(IDB_SKIN == setup::kSkinBitmap);
static_assert(IDD_RESTART == setup::kRestartDialog);
static_assert(IDC_RESTART_NOW == setup::kRadioRestartNow && IDC_RESTART_LATER == setup::kRadioRestartLater);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    using namespace setup::win32;
    // Before anything can load a DLL by name.
    RestrictDllSearch();
    static RegistryAdapter registry;
    static ProcessesAdapter processes;
    static FilesAdapter files;
    static WindowsAdapter windows;
    static SyncAdapter sync;
    static RestartAdapter restart;
    static DialogsAdapter dialogs(instance);
    static PicturesAdapter pictures(instance);
    static HostAdapter host(instance, pictures);
    static AccountsAdapter accounts(processes);
    static setup::Ports ports{registry, processes, files, windows, sync, restart, dialogs, host, accounts, pictures};
    static setup::CSetupApp app(ports);

    int code = 0;
    if (app.InitInstance(commandLine ? commandLine : "")) {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        code = app.ExitInstance(static_cast<std::int32_t>(msg.wParam));
    }
    // The worker thread may still be inside the frame (it ends itself after posting WM_CLOSE), so
    // the process ends here without running static destructors under it.
    ExitProcess(static_cast<UINT>(code));
}
