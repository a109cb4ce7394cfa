#include "toplevel.h"

#include "harness.h"

namespace e2e {

namespace {

struct Collect {
    const WindowSearch* search;
    std::vector<HWND>* found;
    bool firstOnly;
};

BOOL CALLBACK CollectMatching(HWND window, LPARAM param) {
    auto* collect = reinterpret_cast<Collect*>(param);
    if (!collect->search->Matches(window)) return TRUE;
    collect->found->push_back(window);
    return !collect->firstOnly;
}

}  // namespace

bool WindowSearch::Matches(HWND window) const {
    if (process_ && ProcessOf(window) != process_) return false;
    if (visible_ && !IsWindowVisible(window)) return false;
    if (!class_.empty() && lstrcmpiW(ClassOf(window).c_str(), class_.c_str()) != 0) return false;
    return !hasTitle_ || WindowText(window) == title_;
}

std::vector<HWND> WindowSearch::All() const {
    std::vector<HWND> found;
    Collect collect{this, &found, false};
    EnumWindows(CollectMatching, reinterpret_cast<LPARAM>(&collect));
    return found;
}

HWND WindowSearch::First() const {
    std::vector<HWND> found;
    Collect collect{this, &found, true};
    EnumWindows(CollectMatching, reinterpret_cast<LPARAM>(&collect));
    return found.empty() ? nullptr : found.front();
}

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::vector<HWND> TopLevelWindows(DWORD processId) { return WindowSearch().Process(processId).All(); }

HWND FindTitle(const std::wstring& title) { return WindowSearch().Title(title).First(); }

int CountTitled(const std::wstring& title) { return static_cast<int>(WindowSearch().Title(title).All().size()); }

bool CloseAll(const std::wstring& title, DWORD limitMs) {
    return WaitFor([&] {
        const std::vector<HWND> windows = WindowSearch().Title(title).All();
        for (HWND w : windows) PostMessageW(w, WM_CLOSE, 0, 0);
        return windows.empty();
    }, limitMs);
}

}  // namespace e2e
