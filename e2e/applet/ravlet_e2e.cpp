// The real Ravlet.exe under Wine: start-up, the single-instance rule, shutdown, the tray menu, the
// remote type dialog, the unload dialog and the autostart value.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "applet_util.h"
#include "harness.h"

using namespace applet_e2e;

namespace {

constexpr DWORD kStartLimitMs = 30000;   // a loaded machine may take long to start a program
constexpr DWORD kExitLimitMs = 20000;
constexpr DWORD kUiLimitMs = 20000;
// The presence check runs every 2000 ms; three periods show what it does, or does not do.
constexpr DWORD kThreePresencePeriodsMs = 6500;

constexpr int kRadio51 = 1003, kRadio32 = 1004, kRadio30 = 1005, kRadio28 = 1006;
constexpr int kUnloadOnce = 1007, kUninstall = 1008;
// The main window's client view: the pane id of the frame it is modelled on.
constexpr int kViewId = 59648;
// An icon of this test's own on the applet's window, to see that the notification area works.
constexpr UINT kProbeIconId = 4242;

const std::wstring& RavletPath() {
    static const std::wstring path = WinePath(RAVLET_EXE);
    return path;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

LRESULT Check(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0); }
void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Whether any pair of visible controls overlaps, or one leaves the client area.
std::vector<HWND> VisibleChildren(HWND dialog) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) children.push_back(c);
    return children;
}

void ExpectNoOverlap(HWND dialog) {
    SCOPED_TRACE("the controls' rectangles");
    const std::vector<HWND> children = VisibleChildren(dialog);
    const RECT client = e2e::ClientOnScreen(dialog);
    for (std::size_t i = 0; i < children.size(); ++i) {
        const RECT a = e2e::ScreenRect(children[i]);
        // The separator line is one unit wider than the dialog and is cut at its right edge, as
        // it should be; everything else lies inside the client area.
        const bool line = (GetWindowLongW(children[i], GWL_STYLE) & SS_TYPEMASK) == SS_ETCHEDHORZ;
        EXPECT_TRUE(a.left >= client.left && a.top >= client.top && (line || a.right <= client.right) &&
                    a.bottom <= client.bottom)
            << "control " << GetDlgCtrlID(children[i]) << " \"" << e2e::Narrow(e2e::WindowText(children[i]))
            << "\" at " << a.left << "," << a.top << "-" << a.right << "," << a.bottom << " leaves the client area "
            << client.left << "," << client.top << "-" << client.right << "," << client.bottom;
        for (std::size_t j = i + 1; j < children.size(); ++j) {
            const RECT b = e2e::ScreenRect(children[j]);
            RECT common{};
            EXPECT_FALSE(IntersectRect(&common, &a, &b))
                << "controls " << GetDlgCtrlID(children[i]) << " and " << GetDlgCtrlID(children[j]) << " overlap";
        }
    }
}

// Every text control's text fits its control. The dialog's own font is a handle of the applet's
// process, so the same font is made here: "MS Shell Dlg", 8 points at the applet's DPI (this
// process's when 0).
void ExpectTextsFit(HWND dialog, int dpi = 0) {
    SCOPED_TRACE("the controls' texts");
    HDC dc = GetDC(nullptr);
    if (dpi == 0) dpi = GetDeviceCaps(dc, LOGPIXELSY);
    HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"MS Shell Dlg");
    HGDIOBJ old = SelectObject(dc, font);
    for (HWND c : VisibleChildren(dialog)) {
        const std::wstring text = e2e::WindowText(c);
        if (text.empty()) continue;
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        RECT r{};
        GetClientRect(c, &r);
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        const bool radio = lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
        const LONG box = radio ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0;  // the radio's circle and gap
        const std::string name(text.begin(), text.end());
        EXPECT_LE(extent.cx + box, r.right) << "text \"" << name << "\" is cut at the right";
        EXPECT_LE(extent.cy, r.bottom) << "text \"" << name << "\" is cut at the bottom";
    }
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
}

// How many distinct colours a picture control shows: an empty picture shows one.
int ColoursIn(const RECT& box) {
    const e2e::Pixels pixels = e2e::GrabScreen(box);
    std::vector<std::uint32_t> seen;
    for (std::uint32_t c : pixels.rgb) {
        if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
        if (seen.size() > 50) break;
    }
    return static_cast<int>(seen.size());
}
int ColoursIn(HWND control) { return ColoursIn(e2e::ScreenRect(control)); }

// The screen DPI of the programs started from now on, back to the prefix's own (96) at the end.
// Wine reads LogPixels of HKCU\Control Panel\Desktop when a process starts (and, without it, that
// of HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts).
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpi) { EXPECT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", dpi)); }
    ~ScreenDpi() { e2e::DeleteValue(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels"); }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;
};

// The three remote pictures, left to right, in screen coordinates.
std::vector<RECT> Pictures(HWND dialog) {
    std::vector<RECT> pictures;
    for (HWND c : VisibleChildren(dialog))
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) pictures.push_back(e2e::ScreenRect(c));
    std::sort(pictures.begin(), pictures.end(), [](const RECT& a, const RECT& b) { return a.left < b.left; });
    return pictures;
}

class RavletTest : public ::testing::Test {
protected:
    void SetUp() override {
        CloseEveryApplet();
        e2e::DeleteValue(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");  // left by a run that died
        e2e::DeleteTree(HKEY_CURRENT_USER, kAppletKeyPath);
        e2e::DeleteTree(HKEY_CURRENT_USER, kNuvexKey);
        e2e::DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue);
    }
    void TearDown() override {
        for (e2e::Process& p : started_) {
            if (HWND w = AppletWindowOf(p.id())) PostMessageW(w, WM_CLOSE, 0, 0);
            if (!p.WaitExit(kExitLimitMs)) p.Kill();
        }
        CloseEveryApplet();
    }

    static void CloseEveryApplet() { e2e::CloseAll(kTitle, kExitLimitMs); }

    // Starts Ravlet.exe (from `path`) and keeps the process for the clean-up.
    e2e::Process& Start(const std::wstring& path = RavletPath()) {
        started_.push_back(e2e::Start(Quoted(path)));
        EXPECT_TRUE(started_.back().started()) << e2e::Narrow(path);
        return started_.back();
    }

    // Waits until the process's main window exists and has been created: it is found by its title
    // as soon as it exists, but it answers a sent message only once WM_CREATE has run (the client
    // view made, the autostart value written) and its thread waits in the message loop.
    static HWND WaitForAppletWindow(const e2e::Process& p) {
        SCOPED_TRACE("the applet's window");
        HWND window = nullptr;
        DWORD_PTR ignored = 0;
        EXPECT_TRUE(e2e::WaitFor([&] { return (window = AppletWindowOf(p.id())) != nullptr; }, kStartLimitMs));
        if (window && !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kStartLimitMs, &ignored)) {
            ADD_FAILURE() << "the applet's window does not answer";
            return nullptr;
        }
        return window;
    }

    // Starts Ravlet.exe and waits for its main window.
    HWND StartApplet(e2e::Process** process = nullptr) {
        e2e::Process& p = Start();
        HWND window = WaitForAppletWindow(p);
        if (process) *process = &p;
        return window;
    }

    HWND WaitForDialog(DWORD process, const wchar_t* title) {
        SCOPED_TRACE(e2e::Narrow(title));
        HWND dialog = nullptr;
        EXPECT_TRUE(e2e::WaitFor([&] { return (dialog = VisibleWindowOf(process, L"#32770", title)) != nullptr; },
                                 kUiLimitMs));
        return dialog;
    }

    // Sends the applet's window a menu command and waits for the dialog it opens.
    HWND OpenDialog(HWND window, DWORD process, WORD command, const wchar_t* title) {
        PostMessageW(window, WM_COMMAND, command, 0);
        return WaitForDialog(process, title);
    }

    // Stores `profile`, starts the applet and opens its remote type dialog; null when a step fails.
    HWND OpenRemoteDialog(const wchar_t* profile, e2e::Process** process = nullptr) {
        if (!e2e::SetString(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", profile)) {
            ADD_FAILURE() << "cannot store the profile";
            return nullptr;
        }
        e2e::Process* p = nullptr;
        HWND window = StartApplet(&p);
        if (process) *process = p;
        return window ? OpenDialog(window, p->id(), kConfigure, kRemoteDialogTitle) : nullptr;
    }

    // Starts the applet and opens its unload dialog; null when a step fails.
    HWND OpenUnloadDialog(e2e::Process** process, HWND* window = nullptr) {
        HWND w = StartApplet(process);
        if (window) *window = w;
        return w ? OpenDialog(w, (*process)->id(), kUnload, kUnloadDialogTitle) : nullptr;
    }

    // Waits until the dialog's OK button and another control show their text (before a screenshot).
    static bool WaitDrawn(HWND dialog, int id) {
        return e2e::WaitFor([&] { return e2e::Drawn(GetDlgItem(dialog, IDOK)) && e2e::Drawn(GetDlgItem(dialog, id)); },
                            kUiLimitMs);
    }

    // Clicks a radio button and waits until it shows as chosen.
    static bool Choose(HWND dialog, int id) {
        Click(dialog, id);
        return e2e::WaitFor([&] { return Check(dialog, id) == BST_CHECKED; }, kUiLimitMs);
    }

    // Clicks a button that ends the dialog and waits until the dialog is gone.
    static bool CloseWith(HWND dialog, int id) {
        Click(dialog, id);
        return e2e::WaitFor([&] { return !IsWindow(dialog); }, kUiLimitMs);
    }

    // Exactly `chosen` of the four remote types shows as chosen.
    static void ExpectOnlyChosen(HWND dialog, int chosen) {
        SCOPED_TRACE(testing::Message() << "only radio button " << chosen << " chosen");
        for (int id : {kRadio51, kRadio32, kRadio30, kRadio28})
            EXPECT_EQ(id == chosen ? BST_CHECKED : BST_UNCHECKED, Check(dialog, id)) << "radio button " << id;
    }

    // The stored remote type is `expected`. Call through ASSERT_NO_FATAL_FAILURE.
    static void ExpectProfile(const wchar_t* expected) {
        SCOPED_TRACE("the stored remote type");
        std::wstring profile;
        ASSERT_TRUE(e2e::GetString(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", &profile));
        EXPECT_EQ(expected, profile);
    }

    // The process ends within the limit, with code 0. Call through ASSERT_NO_FATAL_FAILURE.
    static void ExpectExitZero(const e2e::Process& p, DWORD limitMs) {
        SCOPED_TRACE("the applet's exit");
        DWORD code = 1;
        ASSERT_TRUE(p.WaitExit(limitMs, &code));
        EXPECT_EQ(0u, code);
    }

    static bool MutexExists() {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kTitle);
        if (mutex) CloseHandle(mutex);
        return mutex != nullptr;
    }

    std::deque<e2e::Process> started_;  // stable references while more are started
};

// --- start-up and shutdown -----------------------------------------------------------------

TEST_F(RavletTest, DoNotUseEndsTheProcessAtOnceWithNoWindow) {
    ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use", 1));
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(Start(), kStartLimitMs));
    // Ended before the window's creation, which writes the autostart value. That it created no
    // window and no mutex either cannot be seen once the process has gone: the unit tests show it.
    EXPECT_FALSE(e2e::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue));
}

TEST_F(RavletTest, StartLeavesOneHiddenToolWindowThatLetsTheSessionEndAndWmCloseEndsIt) {
    ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use", 0));
    e2e::Process* p = nullptr;
    HWND window = StartApplet(&p);
    ASSERT_NE(nullptr, window);

    const std::vector<HWND> titled = AppletWindows();
    ASSERT_EQ(1u, titled.size());
    EXPECT_EQ(p->id(), e2e::ProcessOf(titled[0]));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION | WS_SYSMENU), style & (WS_CAPTION | WS_SYSMENU | WS_CHILD | WS_POPUP));
    // The client view: a child with the pane id and a sunken edge.
    HWND view = GetDlgItem(window, kViewId);
    ASSERT_NE(nullptr, view);
    EXPECT_TRUE(GetWindowLongW(view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    // The start recorded the program for the next logon, exactly as the system reports its path.
    std::wstring autostart;
    ASSERT_TRUE(e2e::GetString(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue, &autostart));
    EXPECT_EQ(RavletPath(), autostart);
    EXPECT_TRUE(MutexExists());

    // The end of the logon: the applet agrees; a cancelled end changes nothing; a confirmed end
    // closes only the single-instance mutex, while the process and its window live on.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, kUiLimitMs, &answer));
    EXPECT_EQ(TRUE, answer);
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, kUiLimitMs, &answer));
    EXPECT_TRUE(MutexExists()) << "a cancelled end of the logon closed the mutex";
    ASSERT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, kUiLimitMs, &answer));
    EXPECT_FALSE(MutexExists()) << "the confirmed end of the logon left the mutex open";
    EXPECT_TRUE(p->Running());
    EXPECT_TRUE(IsWindow(window));

    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(*p, kExitLimitMs));
}

TEST_F(RavletTest, SecondStartExitsSilentlyAndTheFirstKeepsRunning) {
    e2e::Process* first = nullptr;
    HWND window = StartApplet(&first);
    ASSERT_NE(nullptr, window);
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(Start(), kStartLimitMs));
    EXPECT_TRUE(first->Running());
    const std::vector<HWND> titled = AppletWindows();
    ASSERT_EQ(1u, titled.size());
    EXPECT_EQ(window, titled[0]);
}

TEST_F(RavletTest, ForeignWindowWithTheTitleButNoMutexDoesNotStopAStart) {
    RecordingWindow foreign(kTitle);
    ASSERT_NE(nullptr, foreign.window());
    HWND window = StartApplet();
    EXPECT_NE(nullptr, window);
    EXPECT_EQ(2u, AppletWindows().size());
    EXPECT_EQ(0, foreign.closes());
}

TEST_F(RavletTest, MutexWithoutWindowDoesNotStopAStart) {
    // As while a first instance has created its mutex but not yet its window.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kTitle);
    ASSERT_NE(nullptr, mutex);
    HWND window = StartApplet();
    EXPECT_NE(nullptr, window);
    CloseHandle(mutex);
}

// Icon 128 of the built program: its 256-colour 32-pixel picture, and a 32-bit frame for each size
// the notification area uses (16 to 32 pixels at 100 to 200 %) and the larger icon sizes. Each frame
// loads at its own size with transparent surroundings, and shows the remote with its red lamp.
TEST(RavletIcon, HasAnAlphaFrameForEachSizeThatShowsTheRedLamp) {
    HMODULE program = LoadLibraryExW(RavletPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(128), RT_GROUP_ICON);
    const BYTE* group = found ? static_cast<const BYTE*>(LockResource(LoadResource(program, found))) : nullptr;
    ASSERT_NE(nullptr, group);
    // The group's entries (14 bytes each): width first, bits per pixel at offset 6.
    std::vector<std::pair<int, int>> frames;
    for (int i = 0; i < group[4]; ++i) frames.push_back({group[6 + 14 * i], group[6 + 14 * i + 6]});
    EXPECT_EQ((std::vector<std::pair<int, int>>{{32, 8}, {16, 32}, {20, 32}, {24, 32}, {32, 32}, {40, 32}, {48, 32}}),
              frames);

    for (const int size : {16, 20, 24, 32, 40, 48}) {
        SCOPED_TRACE(testing::Message() << size << " pixels");
        HICON icon = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(128), IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon);
        // Drawn on white and on black: a pixel that differs lets the ground through.
        std::vector<std::uint32_t> drawn[2];
        HDC dc = CreateCompatibleDC(nullptr);
        for (int ground = 0; ground < 2; ++ground) {
            BITMAPINFO info{};
            info.bmiHeader = {sizeof info.bmiHeader, size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            std::uint32_t* bits = nullptr;
            HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
            ASSERT_NE(nullptr, bitmap);
            HGDIOBJ old = SelectObject(dc, bitmap);
            std::fill_n(bits, size * size, ground ? 0u : 0xFFFFFFu);
            EXPECT_TRUE(DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
            GdiFlush();
            drawn[ground].assign(bits, bits + size * size);
            DeleteObject(SelectObject(dc, old));
        }
        DeleteDC(dc);
        DestroyIcon(icon);
        int opaque = 0, red = 0;
        for (int i = 0; i < size * size; ++i) {
            const std::uint32_t c = drawn[0][i] & 0xFFFFFF;
            if (c != (drawn[1][i] & 0xFFFFFF)) continue;
            ++opaque;
            red += (c >> 16 & 0xFF) > 180 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) < 90;
        }
        EXPECT_NE(drawn[0][0], drawn[1][0]) << "the top left corner should be transparent";
        EXPECT_TRUE(opaque > size * size / 5 && opaque < size * size * 4 / 5) << opaque << " opaque pixels";
        EXPECT_GE(red, size / 4) << "no red lamp";
    }
    FreeLibrary(program);
}

TEST_F(RavletTest, WithoutACardNoTrayIconIsAdded) {
    HWND window = StartApplet();
    ASSERT_NE(nullptr, window);
    // The probe works: an icon that is there can be removed from here, once.
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof probe;
    probe.hWnd = window;
    probe.uID = kProbeIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &probe)) << "no notification area to test against";
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &probe));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &probe));
    // Over three presence checks, the applet's own icon never appears.
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = e2e::kTrayIconId;
    EXPECT_FALSE(e2e::WaitFor([&] { return Shell_NotifyIconW(NIM_DELETE, &icon) != FALSE; }, kThreePresencePeriodsMs));
}

// --- tray menu -----------------------------------------------------------------------------

TEST_F(RavletTest, TrayCallbackOpensTheMenuGreyedByTheReceiverFlag) {
    // "&Configure..." shows its dialog only when the applet key exists.
    ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", L"RC32Keys"));
    e2e::Process* p = nullptr;
    HWND window = StartApplet(&p);
    ASSERT_NE(nullptr, window);

    // A button release or a mouse move opens nothing; a press does.
    PostMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_LBUTTONUP);
    PostMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_MOUSEMOVE);
    PostMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    ASSERT_TRUE(e2e::WaitFor([&] { return (menu = MenuOf(p->id())) != nullptr; }, kUiLimitMs));
    // Photographed once drawn: "&Configure..." is enabled in every state.
    std::vector<int> dark;
    // Waits for the whole expected picture: a menu still being drawn or moved shows partial rows.
    EXPECT_TRUE(e2e::WaitFor([&] {
        dark = DarkPixelsPerItem(menu);
        return dark[0] == 0 && dark[1] > 20 && dark[2] > 20 && dark[3] > 20;
    }, kUiLimitMs));
    e2e::SaveScreenshot(L"tray_menu_receiver_enabled");
    EXPECT_EQ(0, dark[0]) << "\"&Enable Remote Receiver\" should be greyed";
    EXPECT_GT(dark[1], 20) << "\"&Disable Remote Receiver\" should be enabled";
    EXPECT_GT(dark[2], 20) << "\"&Configure...\" should be enabled";
    EXPECT_GT(dark[3], 20) << "\"&Unload...\" should be enabled";

    // Choose "&Disable Remote Receiver" with its access key, as a user would.
    PressKey('D');
    ASSERT_TRUE(e2e::WaitFor([&] { return MenuOf(p->id()) == nullptr; }, kUiLimitMs));

    // The next press shows the other item greyed.
    PostMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_LBUTTONDOWN);
    ASSERT_TRUE(e2e::WaitFor([&] { return (menu = MenuOf(p->id())) != nullptr; }, kUiLimitMs));
    EXPECT_TRUE(e2e::WaitFor([&] {
        dark = DarkPixelsPerItem(menu);
        return dark[0] > 20 && dark[1] == 0 && dark[2] > 20 && dark[3] > 20;
    }, kUiLimitMs));
    e2e::SaveScreenshot(L"tray_menu_receiver_disabled");
    EXPECT_GT(dark[0], 20) << "\"&Enable Remote Receiver\" should be enabled after Disable";
    EXPECT_EQ(0, dark[1]) << "\"&Disable Remote Receiver\" should be greyed after Disable";

    // "&Configure..." from the menu opens the remote type dialog.
    PressKey('C');
    HWND dialog = WaitForDialog(p->id(), kRemoteDialogTitle);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(CloseWith(dialog, IDCANCEL));
    EXPECT_TRUE(p->Running());
}

// --- remote type dialog --------------------------------------------------------------------

TEST_F(RavletTest, ConfigureShowsTheStoredTypeAndOkStoresTheChoice) {
    e2e::Process* p = nullptr;
    HWND dialog = OpenRemoteDialog(L"RC28Keys", &p);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(WaitDrawn(dialog, kRadio28));
    e2e::SaveScreenshot(L"remote_dialog");

    ExpectOnlyChosen(dialog, kRadio28);
    // No tuner driver key and no digital-TV setting: the 51-key remote is not offered.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kRadio51)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kRadio32)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kRadio30)));
    EXPECT_EQ(L"51 Keys", e2e::WindowText(GetDlgItem(dialog, kRadio51)));
    EXPECT_EQ(L"32 Keys", e2e::WindowText(GetDlgItem(dialog, kRadio32)));
    EXPECT_EQ(L"28 Keys", e2e::WindowText(GetDlgItem(dialog, kRadio28)));
    EXPECT_EQ(L"30 Keys", e2e::WindowText(GetDlgItem(dialog, kRadio30)));

    // It looks right: nothing overlaps or is cut, and each remote's picture shows a remote.
    ExpectNoOverlap(dialog);
    ExpectTextsFit(dialog);
    int pictures = 0;
    for (HWND c : VisibleChildren(dialog)) {
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
        ++pictures;
        const RECT r = e2e::ScreenRect(c);
        EXPECT_EQ(240, r.bottom - r.top);
        EXPECT_GT(ColoursIn(c), 20) << "an empty picture";
    }
    EXPECT_EQ(3, pictures);

    EXPECT_TRUE(Choose(dialog, kRadio32));
    EXPECT_EQ(BST_UNCHECKED, Check(dialog, kRadio28));
    ASSERT_TRUE(CloseWith(dialog, IDOK));
    ASSERT_NO_FATAL_FAILURE(ExpectProfile(L"RC32Keys"));
    EXPECT_TRUE(p->Running());
}

TEST_F(RavletTest, FiftyOneKeysOfferedByTheDigitalTvSettingAndCancelChangesNothing) {
    ASSERT_TRUE(e2e::SetDword(HKEY_CURRENT_USER, kNuvexKey, L"Enable 51Key Remote Control", 1));
    HWND dialog = OpenRemoteDialog(L"RC51Keys");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(BST_CHECKED, Check(dialog, kRadio51));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kRadio51)));

    EXPECT_TRUE(Choose(dialog, kRadio28));
    EXPECT_EQ(BST_UNCHECKED, Check(dialog, kRadio51));
    ASSERT_TRUE(CloseWith(dialog, IDCANCEL));
    ASSERT_NO_FATAL_FAILURE(ExpectProfile(L"RC51Keys"));
}

TEST_F(RavletTest, StoredFiftyOneKeysOnABoardWithoutItLeavesExactlyOneChoiceAfterAClick) {
    HWND dialog = OpenRemoteDialog(L"RC51Keys");
    ASSERT_NE(nullptr, dialog);
    // Selected but not offered.
    EXPECT_EQ(BST_CHECKED, Check(dialog, kRadio51));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kRadio51)));

    EXPECT_TRUE(Choose(dialog, kRadio28));
    EXPECT_EQ(BST_UNCHECKED, Check(dialog, kRadio51)) << "two remote types shown as chosen";
    ASSERT_TRUE(CloseWith(dialog, IDOK));
    ASSERT_NO_FATAL_FAILURE(ExpectProfile(L"RC28Keys"));
}

TEST_F(RavletTest, ThirtyKeysIsSelectedOnTheHiddenButtonAndKeptOnOk) {
    HWND dialog = OpenRemoteDialog(L"RC30Keys");
    ASSERT_NE(nullptr, dialog);
    ExpectOnlyChosen(dialog, kRadio30);
    // The profile is rewritten on OK: remove it first to see the write.
    e2e::DeleteValue(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile");
    ASSERT_TRUE(CloseWith(dialog, IDOK));
    ASSERT_NO_FATAL_FAILURE(ExpectProfile(L"RC30Keys"));
}

// At 96, 120, 144 and 192 DPI the dialog grows with its font, and the pictures grow with it: each stays
// above its radio button, centred as at 96 DPI, at the dialog's scale, and nothing is clipped.
TEST_F(RavletTest, RemoteDialogKeepsItsLayoutAt96To192Dpi) {
    constexpr int kRadios[] = {kRadio51, kRadio32, kRadio28};
    double offset96[3] = {}, height96[3] = {};  // in dialog units
    double unitY96 = 0;
    for (const DWORD dpi : {96u, 120u, 144u, 192u}) {
        SCOPED_TRACE(testing::Message() << dpi << " DPI");
        ScreenDpi screen(dpi);
        e2e::Process* p = nullptr;
        HWND dialog = OpenRemoteDialog(L"RC32Keys", &p);
        ASSERT_NE(nullptr, dialog);
        const std::vector<RECT> pictures = Pictures(dialog);
        ASSERT_EQ(3u, pictures.size());
        EXPECT_TRUE(WaitDrawn(dialog, kRadio28));
        for (const RECT& picture : pictures) {
            EXPECT_TRUE(e2e::WaitFor([&] { return ColoursIn(picture) > 20; }, kUiLimitMs)) << "an empty picture";
        }
        e2e::SaveScreenshot(L"remote_dialog_" + std::to_wstring(dpi) + L"dpi");

        ExpectNoOverlap(dialog);
        ExpectTextsFit(dialog, static_cast<int>(dpi));
        // The template is 270 x 240 dialog units: pixels per unit at this DPI.
        RECT client{};
        GetClientRect(dialog, &client);
        const double unitX = client.right / 270.0, unitY = client.bottom / 240.0;
        // The DPI took effect: the dialog grew with its font (not quite in proportion: font sizes
        // round to whole pixels).
        if (dpi == 96) unitY96 = unitY;
        EXPECT_GT(unitY, 0.85 * unitY96 * dpi / 96.0);
        for (int i = 0; i < 3; ++i) {
            const RECT radio = e2e::ScreenRect(GetDlgItem(dialog, kRadios[i]));
            const double radioCentre = (radio.left + radio.right) / 2.0;
            EXPECT_TRUE(radioCentre > pictures[i].left && radioCentre < pictures[i].right)
                << "radio button " << kRadios[i] << " at " << radioCentre << " is not under its picture ("
                << pictures[i].left << "-" << pictures[i].right << ")";
            EXPECT_LT(pictures[i].bottom, radio.top) << "picture " << i << " reaches its radio button";
            const double offset = ((pictures[i].left + pictures[i].right) / 2.0 - radioCentre) / unitX;
            const double height = (pictures[i].bottom - pictures[i].top) / unitY;
            if (dpi == 96) {
                offset96[i] = offset;
                height96[i] = height;
            } else {
                EXPECT_NEAR(offset96[i], offset, 1.0) << "picture " << i << " is not centred as at 96 DPI";
                EXPECT_NEAR(height96[i], height, 1.5) << "picture " << i << " is not at the dialog's scale";
            }
        }
        ASSERT_TRUE(CloseWith(dialog, IDCANCEL));
        PostMessageW(AppletWindowOf(p->id()), WM_CLOSE, 0, 0);
        ASSERT_TRUE(p->WaitExit(kExitLimitMs));
    }
}

// --- unload and autostart ------------------------------------------------------------------

TEST_F(RavletTest, UnloadThisTimeClosesTheMonitorAndEndsWithTheRegistryUntouched) {
    RecordingWindow monitor(kMonitorTitle);
    e2e::Process* p = nullptr;
    HWND dialog = OpenUnloadDialog(&p);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(WaitDrawn(dialog, kUninstall));
    e2e::SaveScreenshot(L"unload_dialog");
    EXPECT_EQ(BST_CHECKED, Check(dialog, kUnloadOnce));
    EXPECT_EQ(BST_UNCHECKED, Check(dialog, kUninstall));
    ExpectNoOverlap(dialog);
    ExpectTextsFit(dialog);

    // Uninstall chosen, then this time again: only the last choice counts.
    EXPECT_TRUE(Choose(dialog, kUninstall));
    EXPECT_EQ(BST_UNCHECKED, Check(dialog, kUnloadOnce));
    EXPECT_TRUE(Choose(dialog, kUnloadOnce));
    Click(dialog, IDOK);

    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(*p, kExitLimitMs));
    EXPECT_TRUE(e2e::WaitFor([&] { return monitor.closes() == 1; }, kUiLimitMs));
    std::wstring autostart;
    EXPECT_TRUE(e2e::GetString(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue, &autostart));
    EXPECT_EQ(RavletPath(), autostart);
    EXPECT_FALSE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use"));
}

TEST_F(RavletTest, UninstallRemovesTheAutostartAndLaterStartsEndAtOnce) {
    // The applet key exists (the setup's registry script creates it); uninstall does not create it.
    ASSERT_TRUE(e2e::SetString(HKEY_CURRENT_USER, kAppletKeyPath, L"Profile", L"RC32Keys"));
    RecordingWindow monitor(kMonitorTitle);
    e2e::Process* p = nullptr;
    HWND window = StartApplet(&p);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(e2e::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue));
    HWND dialog = OpenDialog(window, p->id(), kUnload, kUnloadDialogTitle);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Choose(dialog, kUninstall));
    Click(dialog, IDOK);

    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(*p, kExitLimitMs));
    EXPECT_TRUE(e2e::WaitFor([&] { return monitor.closes() == 1; }, kUiLimitMs));
    EXPECT_FALSE(e2e::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue));
    DWORD doNotUse = 0;
    ASSERT_TRUE(e2e::GetDword(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use", &doNotUse));
    EXPECT_EQ(1u, doNotUse);

    // A start by hand now ends at once, before it could write the autostart value again.
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero(Start(), kStartLimitMs));
    EXPECT_FALSE(e2e::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue));
}

TEST_F(RavletTest, UnloadCancelKeepsEverything) {
    RecordingWindow monitor(kMonitorTitle);
    e2e::Process* p = nullptr;
    HWND window = nullptr;
    HWND dialog = OpenUnloadDialog(&p, &window);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Choose(dialog, kUninstall));
    ASSERT_TRUE(CloseWith(dialog, IDCANCEL));

    // The applet still answers (a message sent to it returns) and nothing was asked or written.
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kUiLimitMs, &result));
    EXPECT_TRUE(p->Running());
    EXPECT_EQ(0, monitor.closes());
    EXPECT_TRUE(e2e::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue));
    EXPECT_FALSE(e2e::ValueExists(HKEY_CURRENT_USER, kAppletKeyPath, L"Do Not Use"));
}

TEST_F(RavletTest, AutostartPathWithABlankIsStoredQuoted) {
    const std::wstring folder = e2e::TempDir(L"Ravlet e2e folder");
    const std::wstring copy = folder + L"\\Ravlet.exe";
    ASSERT_TRUE(e2e::CopyTo(RavletPath(), copy));
    ASSERT_NE(nullptr, WaitForAppletWindow(Start(copy)));
    std::wstring autostart;
    ASSERT_TRUE(e2e::GetString(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValue, &autostart));
    // Unquoted, a program named like the path's first word (C:\...\Ravlet.exe) would run at logon.
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(copy.c_str(), MAX_PATH, full, nullptr);
    EXPECT_EQ(0, lstrcmpiW(Quoted(full).c_str(), autostart.c_str())) << "stored: "
                                                                     << std::string(autostart.begin(), autostart.end());
}

}  // namespace
