// The application object's start-up calls: its strings, the instance mutex, COM, the launcher's
// own path and its conversion, and the setup window (created by frame.cpp).
#include "platform.h"
#include <objbase.h>

#include "adapters.h"
#include "frame.h"

namespace setup::win32 {

namespace {
// The longest string resource the launcher loads, with its terminating zero.
constexpr int kMaxString = 256;
}  // namespace

HostAdapter::HostAdapter(HINSTANCE instance, PicturesAdapter& pictures)
    : instance_(instance), pictures_(pictures) {}
HostAdapter::~HostAdapter() = default;

std::string HostAdapter::LoadString(std::uint32_t id) {
    char buf[kMaxString] = {};
    int n = LoadStringA(instance_, id, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

Handle HostAdapter::OpenMutex(std::uint32_t access, bool inherit, const std::string& name) {
    return mutexes_.Adopt(OpenMutexA(access, inherit, name.c_str()));
}

Handle HostAdapter::CreateMutex(bool initialOwner, const std::string& name) {
    return mutexes_.Adopt(CreateMutexA(nullptr, initialOwner, name.c_str()));
}

void HostAdapter::CloseHandle(Handle handle) { mutexes_.Close(handle); }

void HostAdapter::CoInitializeEx(std::uint32_t model) { ::CoInitializeEx(nullptr, model); }

void HostAdapter::CoUninitialize() { ::CoUninitialize(); }

std::string HostAdapter::ModuleFileName() {
    char buf[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    return std::string(buf, n < MAX_PATH ? n : 0);
}

namespace {
// Paths of any length: a folder name may push the launcher's path past MAX_PATH.
constexpr DWORD kLongPath = 32768;
static_assert(sizeof(wchar_t) == sizeof(char16_t));
const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
}  // namespace

std::u16string HostAdapter::ModuleFileNameWide() {
    std::u16string buf(kLongPath, u'\0');
    const DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(&buf[0]), kLongPath);
    buf.resize(n < kLongPath ? n : 0);
    return buf;
}

std::u16string HostAdapter::ShortPath(const std::u16string& path) {
    std::u16string buf(kLongPath, u'\0');
    const DWORD n = GetShortPathNameW(Wide(path), reinterpret_cast<wchar_t*>(&buf[0]), kLongPath);
    buf.resize(n < kLongPath ? n : 0);
    return buf;
}

bool HostAdapter::ToAnsi(const std::u16string& wide, std::string* ansi) {
    ansi->clear();
    if (wide.empty()) return true;
    const int length = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, Wide(wide), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, Wide(wide), length, &out[0], n, nullptr, nullptr);
    // Converting back catches both the default character and a best-fit look-alike ("l" for "ł"),
    // either of which would name another file; WC_NO_BEST_FIT_CHARS is refused by some code pages.
    const int back = MultiByteToWideChar(CP_ACP, 0, out.data(), n, nullptr, 0);
    if (back != length) return false;
    std::u16string again(static_cast<size_t>(back), u'\0');
    MultiByteToWideChar(CP_ACP, 0, out.data(), n, reinterpret_cast<wchar_t*>(&again[0]), back);
    if (again != wide) return false;
    *ansi = out;
    return true;
}

Hwnd HostAdapter::CreateMainWindow(CMainFrame& frame) {
    if (!background_) background_.reset(CreateSolidBrush(kFrameBackground));
    window_ = std::make_unique<FrameWindow>(FrameWindow{frame, instance_, pictures_, {}});
    return Of(CreateFrameWindow(*window_, static_cast<HBRUSH>(background_.get())));
}

void HostAdapter::ShowWindow(Hwnd window, std::int32_t command) { ::ShowWindow(As<HWND>(window), command); }

void HostAdapter::UpdateWindow(Hwnd window) { ::UpdateWindow(As<HWND>(window)); }

}  // namespace setup::win32
