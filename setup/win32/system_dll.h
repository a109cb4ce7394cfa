// DLLs that are not KnownDLLs on every Windows the launcher runs on (VERSION.dll and gdiplus.dll)
// are loaded from the system folder by their full path, never by name: Windows looks for a DLL
// named by a program in the program's own folder first, and the launcher runs with administrator
// rights from wherever its media was copied to, a download folder among them.
#pragma once
#include "platform.h"

namespace setup::win32 {

// Takes the current folder out of the search for DLLs loaded by name and, where Windows has it
// (8 and later, 7 with KB2533623), limits that search to the system folder. Both functions are
// looked up at run time: Windows XP SP3 has only the first.
void RestrictDllSearch();

// `fileName` of the side-by-side assembly that the manifest resource `manifestId` of `program`
// depends on; null when the assembly or that DLL in it is missing.
HMODULE LoadFromAssembly(const wchar_t* fileName, HMODULE program, WORD manifestId);

// One DLL of the system folder, loaded for the rest of the process: the functions taken from it
// are called until the launcher ends.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* fileName);
    // As above; where the system folder has no such DLL (Windows XP keeps gdiplus.dll only in its
    // side-by-side store), the one of the side-by-side assembly that the manifest resource
    // `manifestId` of `program` depends on. A missing assembly leaves the library missing.
    SystemLibrary(const wchar_t* fileName, HMODULE program, WORD manifestId);
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The exported function `name` with the type of the header's declaration; nullptr when the
    // DLL or the function is missing.
    template <class Fn>
    Fn Get(const char* name) const {
        if (!module_) return nullptr;
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

}  // namespace setup::win32
