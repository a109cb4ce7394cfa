// The redistributable packages that the media carries, run one after another once the applet is
// in place: a table of what each one needs, and the walk through it.
#include "mainframe.h"

namespace setup {

namespace {

// The size of the window a package opens, to centre it on the screen; zero leaves the place to
// the package.
struct WindowSize {
    std::int32_t width, height;
};
constexpr WindowSize kAnyPlace{0, 0};
constexpr WindowSize kMediaHotfixWindow{503, 393};
constexpr WindowSize kDirectXWindow{504, 388};

struct Redistributable {
    bool belowSixOnly;   // only before Windows Vista (platform version below 6.0)
    // The launcher's window comes to the top first, so that it lies under the package's window
    // rather than under other programs.
    bool raiseLauncher;
    // Relative to the media; a row without a program only raises the launcher.
    const char* program;
    const char* args;
    const char* folder;
    // Started only when neither form of the program above starts.
    const char* otherProgram;
    const char* otherFolder;
    WindowSize window;
};

const Redistributable kRedistributables[] = {
    {true, false, "WMF\\wmfdist11.exe", " /norestart", "WMF", "MP10\\mp10setup.exe", "MP10", kAnyPlace},
    {false, true, "MP10\\windowsmedia10-kb905592-x86-intl.exe", "", "MP10", nullptr, nullptr,
     kMediaHotfixWindow},
    {false, false, "Extra\\Setup.exe", "", "Extra", nullptr, nullptr, kAnyPlace},
    {true, false, "MPEG4\\wmpcdcs8.exe", "", "MPEG4", nullptr, nullptr, kAnyPlace},
    {false, true, nullptr, nullptr, nullptr, nullptr, nullptr, kAnyPlace},
    {true, false, "DirectX\\dxsetup.exe", "", "DirectX", nullptr, nullptr, kDirectXWindow},
};

}  // namespace

void CMainFrame::InstallRedistributables() {
    Windows& w = ports_.windows;
    InstallContext& c = ctx_;
    const bool belowSix = BelowSix();
    for (const Redistributable& r : kRedistributables) {
        if (r.belowSixOnly && !belowSix) continue;
        if (r.program == nullptr) {
            if (r.raiseLauncher) w.BringToTop(window_);
            continue;
        }
        // Each package starts from an empty slot, so no position is left over from the last one.
        ResetSlot(c.startupA, c.processA);
        if (r.window.width != 0) {
            c.startupA.flags |= win::kStartfUsePosition;
            c.startupA.x = (w.Metric(win::kSmCxScreen) - r.window.width) / 2;
            c.startupA.y = (w.Metric(win::kSmCyScreen) - r.window.height) / 2;
        }
        if (r.raiseLauncher) w.BringToTop(window_);
        if (!StartMediaFirst(r.program, r.args, r.folder) && r.otherProgram != nullptr)
            StartMediaFirst(r.otherProgram, "", r.otherFolder);
        WaitAndClose(c.processA);
    }
}

}  // namespace setup
