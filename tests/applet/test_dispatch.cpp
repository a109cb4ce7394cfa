// DispatchKey: keystrokes to the TV window, the power key, and a TV application that hangs.
#include <gtest/gtest.h>

#include <functional>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const RegRoot kCu = RegRoot::CurrentUser;
const std::u16string kTvClass = u"TvCardStandInTv";
const std::u16string kTvExe = u"C:\\Apps\\TV\\tv.exe";
const std::string kFindTv = R"(FindWindow("TvCardStandInTv", null) = TV)";
const std::string kNoTv = R"(FindWindow("TvCardStandInTv", null) = no window)";

struct Row {
    const char* name;
    std::vector<std::pair<int, std::uint32_t>> entries;  // Key<n> values of the profile
    // Runs after the profile is loaded and the TV window "TV" exists.
    std::function<void(FakePorts&, CMainFrame&, Handle tv)> arrange;
    std::vector<std::uint32_t> codes;
    Trace expected;
    std::uint64_t elapsedMs;
};

void NoTvWindow(FakePorts& f, CMainFrame&, Handle tv) { f.windows.RemoveWindow(tv); }
std::function<void(FakePorts&, CMainFrame&, Handle)> TvRunsFor(std::int64_t ms) {
    return [ms](FakePorts& f, CMainFrame&, Handle tv) {
        f.windows.RemoveWindow(tv);
        f.processes.AddProgram(kTvExe, ms);
    };
}

TEST(Dispatch, KeysAtTheTvApplication) {
    const Row rows[] = {
        {"only the low 8 bits of an entry are sent", {{18, 0x74}, {17, 1}, {40, 0x1A5}, {12, 0x12D}}, nullptr,
         {18, 17, 40, 12, 5, 0x128},
         {kFindTv, "SendTimeout(TV, 0x100, 0x74, 0, 0x2, 1000)", kFindTv, "SendTimeout(TV, 0x100, 0x1, 0, 0x2, 1000)",
          kFindTv, "SendTimeout(TV, 0x100, 0xA5, 0, 0x2, 1000)", kFindTv, "SendTimeout(TV, 0x100, 0x2D, 0, 0x2, 1000)",
          kFindTv, "SendTimeout(TV, 0x100, 0x0, 0, 0x2, 1000)", kFindTv, "SendTimeout(TV, 0x100, 0xA5, 0, 0x2, 1000)"},
         0},
        {"codes beyond the table do nothing", {{18, 1}}, nullptr, {0x80, 0xFF, 0x1FF, 0xFFFFFFFF}, {}, 0},
        {"without a TV window a key is dropped", {{3, 0x33}}, NoTvWindow, {3}, {kNoTv}, 0},
        {"the window is looked up anew for every key", {{3, 0x33}},
         [](FakePorts& f, CMainFrame&, Handle tv) {
             f.windows.onMessage = [&f, tv](const FakeWindows::Message&) -> std::intptr_t {
                 f.windows.RemoveWindow(tv);
                 f.windows.AddWindow(u"TV again", kTvClass);
                 f.windows.onMessage = nullptr;
                 return 0;
             };
         },
         {3, 3},
         {kFindTv, "SendTimeout(TV, 0x100, 0x33, 0, 0x2, 1000)", R"(FindWindow("TvCardStandInTv", null) = TV again)",
          "SendTimeout(TV again, 0x100, 0x33, 0, 0x2, 1000)"},
         0},
        {"an empty class name finds no window; the power key starts the application instead", {{3, 0x33}, {18, 1}},
         [](FakePorts& f, CMainFrame& frame, Handle) {
             f.registry.SetString(kCu, kAppletKeyPath, u"FindWindowClassName", u"");
             frame.LoadKeyProfile(nullptr);
             f.windows.AddWindow(u"A window without class name", u"");
             f.processes.AddProgram(kTvExe, 100);
         },
         {3, 18},
         {R"(Start(C:\Apps\TV\tv.exe))", "WaitFor(process, 5000)", "CloseHandle(process)"},
         100},
        {"a busy application still gets its key", {{3, 0x33}},
         [](FakePorts& f, CMainFrame&, Handle) { f.windows.sendDelayMs = 800; }, {3},
         {kFindTv, "SendTimeout(TV, 0x100, 0x33, 0, 0x2, 1000)"}, 800},
        {"a stalled application costs the bound, once", {{3, 0x33}},
         [](FakePorts& f, CMainFrame&, Handle) { f.windows.sendDelayMs = 60000; }, {3},
         {kFindTv, "SendTimeout(TV, 0x100, 0x33, 0, 0x2, 1000) times out"}, 1000},
        {"a hung application loses the key at once", {{3, 0x33}},
         [](FakePorts& f, CMainFrame&, Handle tv) { f.windows.SetHung(tv, true); }, {3},
         {kFindTv, "SendTimeout(TV, 0x100, 0x33, 0, 0x2, 1000) fails"}, 0},
        // Power key: entry 1 at code 18, only the low 8 bits of the code counting.
        {"the power key closes the running application", {{18, 1}}, nullptr, {18, 0x112},
         {kFindTv, "Post(TV, 0x10, 0x0, 0)", "Sleep(1000)", kFindTv, "Post(TV, 0x10, 0x0, 0)", "Sleep(1000)"}, 2000},
        {"the power key starts the application and waits for it to end", {{18, 1}}, TvRunsFor(2000), {18},
         {kNoTv, R"(Start(C:\Apps\TV\tv.exe))", "WaitFor(process, 5000)", "CloseHandle(process)"}, 2000},
        {"the wait for a started application is bounded", {{18, 1}}, TvRunsFor(9000), {18},
         {kNoTv, R"(Start(C:\Apps\TV\tv.exe))", "WaitFor(process, 5000) times out", "CloseHandle(process)"}, 5000},
        {"an application that never ends", {{18, 1}}, TvRunsFor(FakeProcesses::kRunsForever), {18},
         {kNoTv, R"(Start(C:\Apps\TV\tv.exe))", "WaitFor(process, 5000) times out", "CloseHandle(process)"}, 5000},
        {"an application that does not start", {{18, 1}}, NoTvWindow, {18},
         {kNoTv, R"(Start(C:\Apps\TV\tv.exe) fails)"}, 0},
        {"the application's folder from HKCU's default value", {{18, 1}},
         [](FakePorts& f, CMainFrame& frame, Handle tv) {
             f.registry.RemoveValue(kCu, kAppletKeyPath, u"AppPathKey");
             f.registry.RemoveValue(kCu, kAppletKeyPath, u"AppPathValue");
             f.registry.SetString(kCu, u"", u"", u"C:\\Apps\\TV");
             frame.LoadKeyProfile(nullptr);
             TvRunsFor(2000)(f, frame, tv);
         },
         {18},
         {kNoTv, R"(Start(C:\Apps\TV\tv.exe))", "WaitFor(process, 5000)", "CloseHandle(process)"}, 2000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePorts f;
        CMainFrame frame{f.ports()};
        f.registry.SetString(kCu, kAppletKeyPath, u"FindWindowClassName", kTvClass);
        f.registry.SetString(kCu, kAppletKeyPath, u"AppPathKey", u"Software\\Vendor\\TV");
        f.registry.SetString(kCu, kAppletKeyPath, u"AppPathValue", u"InstallDir");
        f.registry.SetString(kCu, kAppletKeyPath, u"AppExecName", u"tv.exe");
        f.registry.SetString(kCu, u"Software\\Vendor\\TV", u"InstallDir", u"C:\\Apps\\TV");
        for (auto& e : row.entries) f.registry.SetDword(kCu, kAppletKeyPath, U("Key" + std::to_string(e.first)), e.second);
        frame.LoadKeyProfile(nullptr);
        const Handle tv = f.windows.AddWindow(u"TV", kTvClass);
        if (row.arrange) row.arrange(f, frame, tv);
        ASSERT_EQ(frame.profile().appPath, kTvExe);
        f.trace.clear();
        const auto start = f.clock.now;
        for (std::uint32_t code : row.codes) frame.DispatchKey(code);
        EXPECT_TRACE(f.trace, row.expected);
        EXPECT_EQ(f.clock.now - start, row.elapsedMs);
        EXPECT_EQ(f.processes.OpenProcesses(), 0u);
        EXPECT_EQ(f.processes.badCloses, 0);
    }
}

}  // namespace
}  // namespace applet
