// CMainFrame: construction, the window's message handlers and the installer watch that its timer
// drives.
#include "mainframe.h"

#include "names.h"

namespace setup {

CMainFrame::CMainFrame(Ports& ports, std::string mediaRoot)
    : m_ports(ports), m_mediaRoot(std::move(mediaRoot)) {}

WindowRect CMainFrame::InitialRect() const {
    Windows& w = m_ports.windows;
    const std::int32_t cx = w.Metric(win::kSmCxScreen);
    const std::int32_t cy = w.Metric(win::kSmCyScreen);
    const std::int32_t border = w.Metric(win::kSmCxBorder);
    return WindowRect{(cx - kSkinWidth) / 2, (cy - kSkinHeight) / 2, kSkinWidth + border,
                      kSkinHeight + border};
}

void CMainFrame::OnCreate(Hwnd window) {
    m_hWnd = window;
    m_ports.windows.StartTimer(m_hWnd, kStartTimer, kStartDelayMs);
}

void CMainFrame::OnTimer(std::uint32_t id) {
    if (id == kStartTimer) {
        m_ports.windows.StopTimer(m_hWnd, kStartTimer);  // fires once
        StartInstall();
    } else if (id == kWatchTimer) {
        WatchTick();
    }
}

void CMainFrame::OnStartWatch() {
    const Handle event = m_ctx.watchDone.load();
    if (event == 0) return;
    // A watch whose timer cannot run would hold the worker forever: it goes on unwatched instead,
    // as when the event could not be created.
    if (!m_ports.windows.StartTimer(m_hWnd, kWatchTimer, kWatchPeriodMs)) m_ports.sync.SetEvent(event);
}

void CMainFrame::OnClose() {
    // Slot A's handles belong to the worker, which may be waiting on them right now: they are
    // left alone and released when the process ends; the child keeps running.
    if (!m_ctx.childOutstanding.load()) m_ports.windows.StopTimer(m_hWnd, kWatchTimer);
}

bool CMainFrame::OnQueryEndSession() const { return m_ctx.shutdownPermission.load() == 1; }

void CMainFrame::WatchTick() {
    if (m_ports.windows.FindTop(nullptr, kWizardTitle) != 0) {
        m_ctx.missCounter = 0;
        return;
    }
    if (++m_ctx.missCounter >= 3) {
        // Stopped before the event is set, so no later tick can see a handle the worker closed.
        m_ports.windows.StopTimer(m_hWnd, kWatchTimer);
        if (Handle event = m_ctx.watchDone.load()) m_ports.sync.SetEvent(event);
    }
}

}  // namespace setup
