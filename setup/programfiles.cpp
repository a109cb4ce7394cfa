// Files the installation puts in place: media-first copies, the removal of old files, and program
// files that a running program holds.
#include "mainframe.h"

namespace setup {

bool CMainFrame::CopyFromMedia(const std::string& source, const std::string& fallback,
                               const std::string& destination) {
    Files& f = ports_.files;
    return f.Copy(mediaRoot_ + source, destination, false) || f.Copy(fallback, destination, false);
}

bool CMainFrame::ClearAndDelete(const std::string& path) {
    Files& f = ports_.files;
    f.SetAttributes(path, win::kFileAttributeNormal);
    if (f.Remove(path)) return false;
    // Windows refuses to delete the file of a running program (access denied) or one that a
    // program holds open (sharing violation); a missing file is no hold.
    const std::uint32_t error = f.LastError();
    return error == win::kErrorAccessDenied || error == win::kErrorSharingViolation;
}

void CMainFrame::InstallProgram(const std::string& source, const std::string& fallback,
                                const std::string& destination, bool held) {
    const std::string pending = destination + kPendingSuffix;
    if (CopyFromMedia(source, fallback, destination)) {
        // A copy that an earlier installation left waiting for the restart is older than the
        // file now in place: without it, the restart has nothing to move over the new file.
        ports_.files.Remove(pending);
        return;
    }
    if (!held) return;
    // The old program still runs (in another logon session, or it did not end in time) and holds
    // its file: the new one waits beside it, and the restart the sequence ends with puts it in
    // place before anything can start the old one again. Until then the old file is what stands
    // there, and what the applet's start below finds.
    if (!CopyFromMedia(source, fallback, pending)) return;
    if (!ports_.files.Move(pending, destination,
                            win::kMovefileDelayUntilReboot | win::kMovefileReplaceExisting))
        ClearAndDelete(pending);
}

}  // namespace setup
