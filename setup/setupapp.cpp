#include "setupapp.h"

#include <cctype>

namespace setup {

namespace {

bool EqualNoCase(const std::string& a, const char* b) {
    std::string::size_type i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

std::string MediaRootFromModule(const std::string& modulePath) {
    // Drive and folder, as the path splitter gives them: "D:" plus everything up to the last
    // separator.
    std::string::size_type start = 0;
    if (modulePath.size() >= 2 && modulePath[1] == ':') start = 2;
    const auto last = modulePath.find_last_of("\\/");
    std::string root = modulePath.substr(0, start);
    if (last != std::string::npos && last >= start) root = modulePath.substr(0, last + 1);

    if (root.size() > 3) {
        const auto cut = root.find_last_of('\\', root.size() - 2);
        // Without a backslash before the last character there is no parent to go to.
        if (cut != std::string::npos) root.resize(cut + 1);
    }
    return root;
}

std::string ExactAnsiModulePath(AppHost& host) {
    constexpr std::size_t kMaxPath = 260;  // with its terminating zero
    const std::string ansi = host.ModuleFileName();
    const std::u16string wide = host.ModuleFileNameWide();
    if (wide.empty()) return std::string();
    std::string exact;
    if (host.ToAnsi(wide, &exact) && exact == ansi && exact.size() < kMaxPath) return exact;
    // GetModuleFileNameA gave "?" for what the code page lacks, or was cut short.
    std::string shortForm;
    const std::u16string wideShort = host.ShortPath(wide);
    if (!wideShort.empty() && host.ToAnsi(wideShort, &shortForm) && shortForm.size() < kMaxPath) return shortForm;
    return std::string();
}

Switches ParseSwitches(const std::string& commandLine) {
    Switches s;
    if (EqualNoCase(commandLine, "/Harlo"))
        s.harloOnly = true;
    else if (EqualNoCase(commandLine, "/BOTH"))
        s.both = true;
    return s;
}

CSetupApp::~CSetupApp() = default;

bool CSetupApp::InitInstance(const std::string& commandLine) {
    AppHost& host = ports_.host;
    const std::string name = host.LoadString(kInstanceNameId);

    if (Handle other = host.OpenMutex(win::kMutexAllAccess, true, name)) {
        host.CloseHandle(other);
        if (Hwnd window = ports_.windows.FindWindow(nullptr, name.c_str()))
            ports_.windows.BringToTop(window);
        return false;
    }
    mutex_ = host.CreateMutex(true, name);
    host.CoInitializeEx(win::kCoinitMultithreaded);

    // Without an exact ANSI path no media path can be built: the root stays empty, and the
    // window says so instead of installing.
    const std::string modulePath = ExactAnsiModulePath(host);
    if (!modulePath.empty()) mediaRoot_ = MediaRootFromModule(modulePath);

    mainFrame_ = std::make_unique<CMainFrame>(ports_, mediaRoot_);
    const Hwnd window = host.CreateMainWindow(*mainFrame_);
    if (window == 0) return false;  // nothing could ever end the message loop

    const Switches s = ParseSwitches(commandLine);
    if (s.harloOnly) mainFrame_->Context().harloOnly = 1;
    if (s.both) mainFrame_->Context().both = 1;

    host.ShowWindow(window, win::kSwShow);
    host.UpdateWindow(window);
    return true;
}

std::int32_t CSetupApp::ExitInstance(std::int32_t loopExitCode) {
    ports_.host.CoUninitialize();
    if (mutex_ != 0) {
        ports_.host.CloseHandle(mutex_);
        mutex_ = 0;
    }
    return loopExitCode;
}

}  // namespace setup
