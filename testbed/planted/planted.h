// Shared by the planted DLLs: a file of a system DLL's name laid beside a program, as an attacker
// would lay it into a download folder. It does nothing harmful; when a process loads it, it leaves
// "<its own path>.loaded" behind, so that a test sees that it was loaded. Its exports only answer
// that the call failed, so that a program that does load it still runs to its end.
#pragma once
#include <windef.h>
#include <winbase.h>

static void LeaveEvidence(HINSTANCE self) {
    wchar_t path[MAX_PATH + 8] = {0};
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    lstrcatW(path, L".loaded");
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

static HINSTANCE g_self;
static void LeaveEvidenceOf(const char* what) {
    char path[MAX_PATH + 64] = {0};
    DWORD n = GetModuleFileNameA(g_self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    lstrcatA(path, ".");
    lstrcatA(path, what);
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = self;
        LeaveEvidence(self);
    }
    return TRUE;
}
