// A planted VERSION.dll. Wine's own user32 and setupapi import the wide version functions, so under
// Wine's "native, builtin" order this file is loaded into every program beside it, whatever the
// program itself imports; those functions are forwarded to the system's (version.def). The
// narrow ones, which only a program of ours would call, leave evidence and then do the system's
// work, so that the program runs on as it would.
#include "planted.h"

typedef DWORD(WINAPI* InfoSizeFn)(const char*, DWORD*);
typedef BOOL(WINAPI* InfoFn)(const char*, DWORD, DWORD, void*);
typedef BOOL(WINAPI* QueryFn)(const void*, const char*, void**, UINT*);

static FARPROC System(const char* name) {
    HMODULE kernelbase = GetModuleHandleA("kernelbase.dll");
    return kernelbase ? GetProcAddress(kernelbase, name) : NULL;
}

DWORD WINAPI PlantedGetFileVersionInfoSizeA(const char* file, DWORD* handle) {
    LeaveEvidenceOf("GetFileVersionInfoSizeA");
    InfoSizeFn real = (InfoSizeFn)(void (*)(void))System("GetFileVersionInfoSizeA");
    return real ? real(file, handle) : 0;
}

BOOL WINAPI PlantedGetFileVersionInfoA(const char* file, DWORD handle, DWORD size, void* data) {
    LeaveEvidenceOf("GetFileVersionInfoA");
    InfoFn real = (InfoFn)(void (*)(void))System("GetFileVersionInfoA");
    return real ? real(file, handle, size, data) : FALSE;
}

BOOL WINAPI PlantedVerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
    LeaveEvidenceOf("VerQueryValueA");
    QueryFn real = (QueryFn)(void (*)(void))System("VerQueryValueA");
    return real ? real(block, subBlock, buffer, length) : FALSE;
}
