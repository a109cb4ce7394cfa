// Processes port: CreateProcessA, WaitForSingleObject, OpenProcess, WaitForInputIdle, CloseHandle
// and WinExec.
#include <vector>

#include "adapters.h"

namespace setup::win32 {

#if !defined(_WIN64)
// The logic's start-up records carry the 32-bit record's size.
static_assert(sizeof(STARTUPINFOA) == win::kStartupInfoSize);
#endif
static_assert(SYNCHRONIZE == win::kSynchronize && WAIT_TIMEOUT == win::kWaitTimeout);

bool ProcessesAdapter::Start(const std::string& commandLine, bool inheritHandles, std::uint32_t creationFlags,
                             const std::string& workingDir, const StartupRecord& startup,
                             ProcessRecord* process) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;  // the logic's size on i686 (checked above)
    si.dwFlags = startup.flags;
    si.dwX = static_cast<DWORD>(startup.x);
    si.dwY = static_cast<DWORD>(startup.y);
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());  // CreateProcessA may write to it
    cmd.push_back('\0');
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, inheritHandles, creationFlags, nullptr,
                        workingDir.c_str(), &si, &pi))
        return false;
    *process = ProcessRecord{Adopt(pi.hProcess), Adopt(pi.hThread), pi.dwProcessId, pi.dwThreadId};
    return true;
}

std::uint32_t ProcessesAdapter::WaitFor(Handle handle, std::uint32_t timeoutMs) {
    return WaitForSingleObject(Get(handle), timeoutMs);
}

Handle ProcessesAdapter::Open(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
    return Adopt(OpenProcess(access, inheritHandle, processId));
}

std::uint32_t ProcessesAdapter::WaitIdle(Handle process, std::uint32_t timeoutMs) {
    return WaitForInputIdle(Get(process), timeoutMs);
}

void ProcessesAdapter::CloseHandle(Handle handle) { handles_.Close(handle); }

void ProcessesAdapter::Exec(const std::string& commandLine, std::int32_t show) {
    WinExec(commandLine.c_str(), static_cast<UINT>(show));
}

}  // namespace setup::win32
