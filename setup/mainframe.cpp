// CMainFrame: construction, the window's message handlers and the installer watch that its timer
// drives.
#include "mainframe.h"

#include "names.h"

namespace setup {

CMainFrame::CMainFrame(Ports& ports, std::string mediaRoot)
    : ports_(ports), mediaRoot_(std::move(mediaRoot)) {}

WindowRect CMainFrame::InitialRect() const {
    Windows& w = ports_.windows;
    const std::int32_t cx = w.Metric(win::kSmCxScreen);
    const std::int32_t cy = w.Metric(win::kSmCyScreen);
    const std::int32_t border = w.Metric(win::kSmCxBorder);
    return WindowRect{(cx - kSkinWidth) / 2, (cy - kSkinHeight) / 2, kSkinWidth + border,
                      kSkinHeight + border};
}

void CMainFrame::LoadSkin() {
    Pictures& pictures = ports_.pictures;
    skin_ = pictures.DecodeFile(kSkinFile);
    // A missing or undecodable file falls back to the built-in picture silently.
    if (skin_.bitmap == 0) skin_ = pictures.LoadBitmapResource(kSkinBitmap);
    if (skin_.bitmap == 0) skin_ = Picture{};
}

void CMainFrame::OnDestroy() {
    if (skin_.bitmap != 0) ports_.pictures.DeleteObject(skin_.bitmap);
    skin_ = Picture{};
}

void CMainFrame::OnCreate(Hwnd window) {
    window_ = window;
    ports_.windows.SetTimer(window_, kStartTimer, kStartDelayMs);
}

void CMainFrame::OnTimer(std::uint32_t id) {
    if (id == kStartTimer) {
        ports_.windows.KillTimer(window_, kStartTimer);  // fires once
        StartInstall();
    } else if (id == kWatchTimer) {
        WatchTick();
    }
}

void CMainFrame::OnStartWatch() {
    const Handle event = ctx_.watchDone.load();
    if (event == 0) return;
    // A watch whose timer cannot run would hold the worker forever: it goes on unwatched instead,
    // as when the event could not be created.
    if (!ports_.windows.SetTimer(window_, kWatchTimer, kWatchPeriodMs)) ports_.sync.SetEvent(event);
}

void CMainFrame::OnClose() {
    // Slot A's handles belong to the worker, which may be waiting on them right now: they are
    // left alone and released when the process ends; the child keeps running.
    if (!ctx_.childOutstanding.load()) ports_.windows.KillTimer(window_, kWatchTimer);
}

bool CMainFrame::OnQueryEndSession() const { return ctx_.shutdownPermission.load() == 1; }

void CMainFrame::WatchTick() {
    if (ports_.windows.FindWindow(nullptr, kWizardTitle) != 0) {
        ctx_.missCounter = 0;
        return;
    }
    if (++ctx_.missCounter >= kWatchMisses) {
        // Stopped before the event is set, so no later tick can see a handle the worker closed.
        ports_.windows.KillTimer(window_, kWatchTimer);
        if (Handle event = ctx_.watchDone.load()) ports_.sync.SetEvent(event);
    }
}

}  // namespace setup
