// Restart port: ExitWindowsEx and the shutdown privilege of the process token.
#include "adapters.h"

namespace setup::win32 {

bool RestartAdapter::ExitSession(std::uint32_t flags, std::uint32_t reason) {
    return ExitWindowsEx(flags, reason);
}

Handle RestartAdapter::OpenToken(std::uint32_t access) {
    HANDLE token = nullptr;
    return OpenProcessToken(GetCurrentProcess(), access, &token) ? tokens_.Adopt(token) : 0;
}

void RestartAdapter::EnablePrivilege(Handle token, const std::string& privilege, std::uint32_t attributes) {
    TOKEN_PRIVILEGES tp = {};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = attributes;
    LookupPrivilegeValueA(nullptr, privilege.c_str(), &tp.Privileges[0].Luid);
    AdjustTokenPrivileges(tokens_.Get(token), FALSE, &tp, 0, nullptr, nullptr);
}

void RestartAdapter::CloseToken(Handle token) { tokens_.Close(token); }

}  // namespace setup::win32
