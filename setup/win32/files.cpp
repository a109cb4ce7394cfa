// Files port: the Windows and system folders, the product version of a file, and the copying,
// removal and moving of files.
#include "adapters.h"
#include "system_dll.h"

namespace setup::win32 {

static_assert(MOVEFILE_REPLACE_EXISTING == win::kMovefileReplaceExisting &&
              MOVEFILE_DELAY_UNTIL_REBOOT == win::kMovefileDelayUntilReboot);
static_assert(ERROR_ACCESS_DENIED == win::kErrorAccessDenied && ERROR_SHARING_VIOLATION == win::kErrorSharingViolation);

namespace {

// Extra zeroed bytes beyond the size that GetFileVersionInfoSizeA asks for.
constexpr DWORD kVersionSlack = 100;

std::string Directory(UINT (WINAPI* get)(LPSTR, UINT)) {
    char buf[MAX_PATH] = {};
    UINT n = get(buf, MAX_PATH);
    return n < MAX_PATH ? std::string(buf, n) : std::string();
}

// The version functions of the system's VERSION.dll; a missing DLL or function counts as a
// failing call.
struct VersionApi {
    SystemLibrary dll{L"version.dll"};
    decltype(&GetFileVersionInfoSizeA) infoSize = dll.Get<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA");
    decltype(&GetFileVersionInfoA) info = dll.Get<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA");
    decltype(&VerQueryValueA) query = dll.Get<decltype(&VerQueryValueA)>("VerQueryValueA");
};

}  // namespace

std::string FilesAdapter::WindowsDirectory() { return Directory(GetWindowsDirectoryA); }

std::string FilesAdapter::SystemDirectory() { return Directory(GetSystemDirectoryA); }

std::uint32_t FilesAdapter::ProductVersionMS(const std::string& path) {
    static const VersionApi api;
    if (!api.infoSize || !api.info || !api.query) return 0;
    DWORD ignored = 0;
    DWORD size = api.infoSize(path.c_str(), &ignored);
    if (size == 0) return 0;
    UniqueGlobal memory(GlobalAlloc(GMEM_ZEROINIT, size + kVersionSlack));
    if (!memory) return 0;
    void* block = GlobalLock(memory.get());
    std::uint32_t version = 0;
    if (block && api.info(path.c_str(), 0, size, block)) {
        void* fixed = nullptr;
        UINT length = 0;
        if (api.query(block, "\\", &fixed, &length) && length != 0)
            version = static_cast<VS_FIXEDFILEINFO*>(fixed)->dwProductVersionMS;
    }
    if (block) GlobalUnlock(memory.get());
    return version;
}

bool FilesAdapter::MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr); }

bool FilesAdapter::Copy(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists);
}

bool FilesAdapter::SetAttributes(const std::string& path, std::uint32_t attributes) {
    return SetFileAttributesA(path.c_str(), attributes);
}

bool FilesAdapter::Remove(const std::string& path) { return DeleteFileA(path.c_str()); }

bool FilesAdapter::Move(const std::string& from, const std::string& to, std::uint32_t flags) {
    return MoveFileExA(from.c_str(), to.c_str(), flags);
}

std::uint32_t FilesAdapter::LastError() { return GetLastError(); }

}  // namespace setup::win32
