#include "harness.h"

#include <cstdlib>

namespace e2e {

Process::Process(const PROCESS_INFORMATION& pi) : process_(pi.hProcess), id_(pi.dwProcessId) {
    if (pi.hThread) CloseHandle(pi.hThread);
}

Process::Process(Process&& other) noexcept : process_(other.process_), id_(other.id_) {
    other.process_ = nullptr;
    other.id_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        if (process_) CloseHandle(process_);
        process_ = other.process_;
        id_ = other.id_;
        other.process_ = nullptr;
        other.id_ = 0;
    }
    return *this;
}

Process::~Process() {
    if (process_) CloseHandle(process_);
}

bool Process::WaitExit(DWORD limitMs, DWORD* exitCode) const {
    if (!process_) return false;
    if (WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_, exitCode);
    return true;
}

bool Process::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
}

Process Start(const std::wstring& commandLine, const std::wstring& dir) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;  // CreateProcessW may write into the command line
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi)) {
        return Process();
    }
    return Process(pi);
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

bool WaitFor(const std::function<bool()>& condition, DWORD limitMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= limitMs) return condition();
        Pump(25);
    }
}

namespace {
struct EnumState {
    DWORD processId;
    std::vector<HWND>* out;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == state->processId) state->out->push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId) {
    std::vector<HWND> windows;
    EnumState state{processId, &windows};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return windows;
}

HWND FindTitle(const std::wstring& title) { return FindWindowW(nullptr, title.c_str()); }

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return L"";
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::wstring FromUnix(const std::string& path) {
    if (path.empty() || path[0] != '/') return Widen(path);
    std::wstring result = L"Z:" + Widen(path);
    for (auto& c : result)
        if (c == L'/') c = L'\\';
    return result;
}

std::vector<std::uint32_t> ScreenPixels(const RECT& box) {
    const int width = box.right - box.left, height = box.bottom - box.top;
    std::vector<std::uint32_t> pixels;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        pixels.assign(p, p + static_cast<std::size_t>(width) * height);
        for (auto& v : pixels) v &= 0xFFFFFF;
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool SaveScreenshot(const std::wstring& name) {
    const char* dir = std::getenv("SCREENSHOT_DIR");
    if (!dir || !*dir) return false;
    std::wstring path = FromUnix(dir) + L"\\" + name + L".bmp";

    HDC screen = GetDC(nullptr);
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        SelectObject(memory, old);
        DWORD stride = ((width * 3 + 3) / 4) * 4;
        DWORD imageSize = stride * height;
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        header.bfSize = header.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ok = WriteFile(file, &header, sizeof(header), &written, nullptr) &&
                 WriteFile(file, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                 WriteFile(file, bits, imageSize, &written, nullptr);
            CloseHandle(file);
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_DWORD, &value, sizeof(value)) ==
           ERROR_SUCCESS;
}

bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool GetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* value) {
    DWORD size = sizeof(*value);
    return RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, value, &size) ==
           ERROR_SUCCESS;
}

bool GetString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring* value) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return false;
    *value = buffer;
    return true;
}

bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name) {
    return RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    RegDeleteKeyValueW(root, path.c_str(), name.c_str());
}

void DeleteTree(HKEY root, const std::wstring& path) { RegDeleteTreeW(root, path.c_str()); }

bool SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const std::string& data) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), type, data.data(), static_cast<DWORD>(data.size())) ==
           ERROR_SUCCESS;
}

std::string DwordBytes(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return bytes + std::string(2, '\0');
}

std::string ReadFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

bool CopyTo(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

std::wstring TempDir(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + name;
    SHFILEOPSTRUCTW op = {};
    std::wstring from = dir + L'\0';  // double-terminated list
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

}  // namespace e2e
