// The launcher's restart adapter on this process's own token: the privilege calls that precede the
// second restart request, without asking for a restart.
#include <gtest/gtest.h>

#include <vector>

#include "adapters.h"

namespace {

constexpr char kShutdown[] = "SeShutdownPrivilege";

// The shutdown privilege's attributes in a token, or -1 when the token lacks it or cannot be read.
long ShutdownAttributes(HANDLE token) {
    LUID luid{};
    if (!LookupPrivilegeValueA(nullptr, kShutdown, &luid)) return -1;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    if (!GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) return -1;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        if (privileges->Privileges[i].Luid.LowPart == luid.LowPart &&
            privileges->Privileges[i].Luid.HighPart == luid.HighPart)
            return static_cast<long>(privileges->Privileges[i].Attributes);
    return -1;
}

long ShutdownAttributesOfThisProcess() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return -1;
    const long attributes = ShutdownAttributes(token);
    CloseHandle(token);
    return attributes;
}

void SetShutdownAttributes(DWORD attributes) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = attributes;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, kShutdown, &tp.Privileges[0].Luid));
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
    CloseHandle(token);
}

TEST(RestartAdapter, EnablesTheShutdownPrivilegeOfTheProcessToken) {
    // Disabled first, so that the adapter is seen to enable it.
    ASSERT_NO_FATAL_FAILURE(SetShutdownAttributes(0));
    ASSERT_EQ(0, ShutdownAttributesOfThisProcess()) << "the token has no shutdown privilege to enable";

    setup::win32::RestartAdapter restart;
    const setup::Handle token = restart.OpenToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    ASSERT_NE(0u, token);
    restart.EnablePrivilege(token, kShutdown, SE_PRIVILEGE_ENABLED);
    // The token was opened with the rights asked for: it can be queried as well as adjusted.
    EXPECT_EQ(static_cast<long>(SE_PRIVILEGE_ENABLED), ShutdownAttributes(reinterpret_cast<HANDLE>(token)));
    restart.CloseToken(token);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(reinterpret_cast<HANDLE>(token), &flags)) << "the token handle is still open";

    EXPECT_EQ(static_cast<long>(SE_PRIVILEGE_ENABLED), ShutdownAttributesOfThisProcess());
}

}  // namespace
