// The two process slots: a start-up record and a process record each, started, waited on and
// closed. Slot A also tells the close handler whether a child is outstanding.
#include "commandline.h"
#include "mainframe.h"

namespace setup {

void CMainFrame::ResetSlot(StartupRecord& startup, ProcessRecord& process) {
    startup = StartupRecord{};
    process = ProcessRecord{};
    if (&process == &m_ctx.processA) m_ctx.childOutstanding = false;
}

bool CMainFrame::StartIn(StartupRecord& startup, ProcessRecord& process,
                         const std::string& commandLine, const std::string& folder) {
    ProcessRecord started;
    if (!m_ports.processes.Start(commandLine, false, 0, folder, startup, &started)) return false;
    process = started;
    if (&process == &m_ctx.processA) m_ctx.childOutstanding = process.thread != 0;
    return true;
}

bool CMainFrame::StartMediaFirst(const std::string& program, const std::string& args,
                                 const std::string& folder, const char* relProgram,
                                 const char* relFolder) {
    if (StartIn(m_ctx.startupA, m_ctx.processA, CommandLine(m_mediaRoot + program, args),
                m_mediaRoot + folder))
        return true;
    return StartIn(m_ctx.startupA, m_ctx.processA,
                   CommandLine(relProgram ? relProgram : program, args),
                   relFolder ? relFolder : folder);
}

void CMainFrame::CloseSlot(ProcessRecord& process) {
    if (process.process != 0) m_ports.processes.Close(process.process);
    if (process.thread != 0) m_ports.processes.Close(process.thread);
    // The whole record is cleared, not only the thread handle: a later start that fails must
    // not leave a closed handle behind for the next wait.
    process = ProcessRecord{};
    if (&process == &m_ctx.processA) m_ctx.childOutstanding = false;
}

void CMainFrame::WaitAndClose(ProcessRecord& process) {
    if (process.process != 0) m_ports.processes.WaitFor(process.process, win::kInfinite);
    CloseSlot(process);
}

}  // namespace setup
