// The main window procedure: one switch, each case handing the message to the frame.
#include "frame_window.h"

#include "resource.h"

namespace applet::win32 {

namespace {

constexpr wchar_t kFrameClass[] = L"RavletFrame";
constexpr wchar_t kViewClass[] = L"RavletView";

using Context = FrameWindowFactory::Context;

// The client view: a plain child that fills the client area, draws nothing and holds the focus.
LRESULT CALLBACK ViewProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT OnCreate(HWND window, Context& context) {
    context.view = CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(AFX_IDW_PANE_FIRST)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (!context.view) return -1;
    RECT client{};
    GetClientRect(window, &client);
    MoveWindow(context.view, 0, 0, client.right, client.bottom, FALSE);
    return context.frame->OnCreate();
}

LRESULT OnCommand(HWND window, Context& context, WPARAM wParam, LPARAM lParam) {
    const std::uint32_t id = LOWORD(wParam);
    if (context.frame->OnCommand(id)) return 0;
    // Not the main window's: "&Unload..." goes on to the application object.
    if (id == ID_APP_EXIT && context.app) {
        context.app->OnUnload();
        return 0;
    }
    return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* context = static_cast<Context*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(context));
        // Timers and the tray belong to this window from WM_CREATE on.
        context->windows->SetMainWindow(window);
    }
    auto* context = reinterpret_cast<Context*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!context) return DefWindowProcW(window, msg, wParam, lParam);

    switch (msg) {
        case WM_CREATE:
            return OnCreate(window, *context);
        case WM_SIZE:
            if (context->view) MoveWindow(context->view, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (context->view) SetFocus(context->view);
            return 0;
        case WM_TIMER:
            if (!context->frame->OwnsTimer(static_cast<std::uint32_t>(wParam))) break;
            context->frame->OnTimer(static_cast<std::uint32_t>(wParam));
            return 0;
        case kTrayCallbackMessage:
            return context->frame->OnTrayNotify(wParam, lParam);
        case WM_WTSSESSION_CHANGE:
            context->frame->OnSessionChange(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
            return 0;
        case WM_COMMAND:
            return OnCommand(window, *context, wParam, lParam);
        case WM_CLOSE:
            context->frame->OnClose();
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            context->view = nullptr;
            if (context->windows->main() == window) context->windows->SetMainWindow(nullptr);
            break;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Log-off: only the exit step runs; the rest ends with the process.
            if (wParam && context->app) context->app->ExitInstance();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW frame{};
    frame.cbSize = sizeof frame;
    frame.style = 0;  // no icon, cursor or background brush of its own
    frame.lpfnWndProc = FrameProc;
    frame.hInstance = instance;
    frame.lpszClassName = kFrameClass;
    WNDCLASSEXW view{};
    view.cbSize = sizeof view;
    view.lpfnWndProc = ViewProc;
    view.hInstance = instance;
    view.lpszClassName = kViewClass;
    WNDCLASSEXW existing{};
    const bool haveFrame = GetClassInfoExW(instance, kFrameClass, &existing) || RegisterClassExW(&frame);
    const bool haveView = GetClassInfoExW(instance, kViewClass, &existing) || RegisterClassExW(&view);
    return haveFrame && haveView;
}

}  // namespace

bool FrameWindowFactory::CreateMainWindow(CMainFrame& frame, const std::u16string& title) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance)) return false;
    context_ = Context{&frame, app_, &windows_, nullptr};
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kFrameClass, Wide(title), WS_MINIMIZE | WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, &context_);
    if (!window) return false;
    // Hidden for the whole run: the notification icon is the applet's only face.
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return true;
}

}  // namespace applet::win32
