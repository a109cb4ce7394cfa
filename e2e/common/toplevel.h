// The one search of top-level windows (visible or hidden, in z-order) by process, title and class.
// Everything the tests look for on the desktop goes through it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// A search; each condition left out matches any window, e.g.
//   WindowSearch().Process(id).Class(L"#32768").Visible().First()
class WindowSearch {
public:
    WindowSearch& Process(DWORD id) {
        process_ = id;
        return *this;
    }
    WindowSearch& Title(std::wstring text) {  // the whole title, exactly
        title_ = std::move(text);
        hasTitle_ = true;
        return *this;
    }
    WindowSearch& Class(std::wstring name) {  // ignoring case
        class_ = std::move(name);
        return *this;
    }
    WindowSearch& Visible() {
        visible_ = true;
        return *this;
    }

    bool Matches(HWND window) const;
    std::vector<HWND> All() const;
    HWND First() const;  // null when none matches

private:
    DWORD process_ = 0;
    std::wstring title_, class_;
    bool hasTitle_ = false;
    bool visible_ = false;
};

DWORD ProcessOf(HWND window);
std::wstring ClassOf(HWND window);
std::wstring WindowText(HWND window);

// Shorthands for the searches every test makes.
std::vector<HWND> TopLevelWindows(DWORD processId);
HWND FindTitle(const std::wstring& title);
int CountTitled(const std::wstring& title);

// Posts WM_CLOSE to every top-level window with that title until none is left.
bool CloseAll(const std::wstring& title, DWORD limitMs);

}  // namespace e2e
