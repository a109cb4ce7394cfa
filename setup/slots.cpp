// The two process slots: a start-up record and a process record each, started, waited on and
// closed. Slot A also tells the close handler whether a child is outstanding.
#include "commandline.h"
#include "mainframe.h"

namespace setup {

void CMainFrame::ResetSlot(StartupRecord& startup, ProcessRecord& process) {
    startup = StartupRecord{};
    process = ProcessRecord{};
    if (&process == &ctx_.processA) ctx_.childOutstanding = false;
}

bool CMainFrame::StartIn(StartupRecord& startup, ProcessRecord& process,
                         const std::string& commandLine, const std::string& folder) {
    ProcessRecord started;
    if (!ports_.processes.Start(commandLine, false, 0, folder, startup, &started)) return false;
    process = started;
    if (&process == &ctx_.processA) ctx_.childOutstanding = process.thread != 0;
    return true;
}

bool CMainFrame::StartMediaFirst(const std::string& program, const std::string& args,
                                 const std::string& folder, const char* relProgram,
                                 const char* relFolder) {
    if (StartIn(ctx_.startupA, ctx_.processA, CommandLine(mediaRoot_ + program, args),
                mediaRoot_ + folder))
        return true;
    return StartIn(ctx_.startupA, ctx_.processA,
                   CommandLine(relProgram ? relProgram : program, args),
                   relFolder ? relFolder : folder);
}

void CMainFrame::CloseSlot(ProcessRecord& process) {
    if (process.process != 0) ports_.processes.CloseHandle(process.process);
    if (process.thread != 0) ports_.processes.CloseHandle(process.thread);
    // The whole record is cleared, not only the thread handle: a later start that fails must
    // not leave a closed handle behind for the next wait.
    process = ProcessRecord{};
    if (&process == &ctx_.processA) ctx_.childOutstanding = false;
}

void CMainFrame::WaitAndClose(ProcessRecord& process) {
    if (process.process != 0) ports_.processes.WaitFor(process.process, win::kInfinite);
    CloseSlot(process);
}

}  // namespace setup
