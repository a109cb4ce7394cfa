// Closing running programs by their windows before their files are replaced.
#include "mainframe.h"

namespace setup {

void CMainFrame::SendClose(Hwnd window) {
    // A program that has stopped answering would otherwise hold the installation for ever,
    // behind a window without a close button that refuses log-off. One that does not answer in
    // time is treated as one that did: what follows copes with a program that is still running.
    ports_.windows.SendTimeout(window, win::kWmClose, 0, 0, win::kSmtoAbortIfHung, kCloseAnswerLimitMs);
}

void CMainFrame::CloseByTitle(const char* className, const char* title) {
    if (Hwnd window = ports_.windows.FindWindow(className, title)) SendClose(window);
}

void CMainFrame::CloseAndWait(Hwnd window) {
    // SendMessage returns once the window has handled WM_CLOSE, while its program may still be
    // ending with its file open, and Windows neither deletes nor overwrites the file of a running
    // program. The process is opened before the close, while the window still names it.
    Processes& p = ports_.processes;
    const std::uint32_t id = ports_.windows.OwnerProcess(window);
    const Handle process = id != 0 ? p.Open(win::kSynchronize, false, id) : 0;
    SendClose(window);
    if (process == 0) return;
    p.WaitFor(process, kProgramEndLimitMs);  // one that has not ended by then is left running
    p.CloseHandle(process);
}

void CMainFrame::CloseByTitleAndWait(const char* className, const char* title) {
    if (Hwnd window = ports_.windows.FindWindow(className, title)) CloseAndWait(window);
}

}  // namespace setup
