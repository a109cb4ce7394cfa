// Start-up of the launcher: media root, switches, the single instance and exit.
#include <gtest/gtest.h>

#include "fake_world.h"
#include "setupapp.h"

namespace setup {
namespace {

using fake::Trace;
using fake::World;

TEST(MediaRoot, IsTheParentOfTheLaunchersFolder) {
    const struct {
        const char* module;
        const char* root;
    } cases[] = {
        {R"(D:\Setup\Setup.exe)", R"(D:\)"},
        {R"(D:\Setup.exe)", R"(D:\)"},
        {R"(C:\Temp\Media\Setup\Setup.exe)", R"(C:\Temp\Media\)"},
        {R"(D:\Disk1\Setup\Setup.exe)", R"(D:\Disk1\)"},
        {R"(C:\Users\x\Downloads\TV Card\Setup\setup.exe)", R"(C:\Users\x\Downloads\TV Card\)"},
        {R"(\\server\share\Setup\setup.exe)", R"(\\server\share\)"},
    };
    for (const auto& c : cases) EXPECT_EQ(MediaRootFromModule(c.module), c.root) << c.module;
}

TEST(MediaRoot, ComesFromAPathThatNamesTheLauncherExactlyInAnsi) {
    const std::u16string cyrillic = u"C:\\Users\\\u0414\u043C\u0438\u0442\u0440\u0438\u0439\\TV Card\\Setup\\setup.exe";
    const std::u16string deep = u"C:\\" + std::u16string(250, u'x') + u"\\TV Card\\Setup\\setup.exe";
    const struct {
        const char* what;
        std::u16string path, shortPath;  // shortPath empty: the path is its own short form
        const char* root;
    } cases[] = {
        {"another script, with short names", cyrillic, u"C:\\Users\\____~ABC\\TVCARD~1\\Setup\\setup.exe",
         R"(C:\Users\____~ABC\TVCARD~1\)"},
        {"another script, without short names", cyrillic, u"", ""},
        {"a short form that is no better", cyrillic, u"C:\\Users\\\u0414\u041C~1\\TVCARD~1\\Setup\\setup.exe", ""},
        {"letters of the code page", u"C:\\Caf\u00E9\\Setup\\setup.exe", u"C:\\CAFE~1\\Setup\\setup.exe", "C:\\Caf\xE9\\"},
        {"too long, with short names", deep, u"C:\\XXXXXX~1\\TVCARD~1\\Setup\\setup.exe", R"(C:\XXXXXX~1\TVCARD~1\)"},
        {"too long, without short names", deep, u"", ""},
    };
    for (const auto& c : cases) {
        World world;
        world.modulePathWide = c.path;
        if (!c.shortPath.empty()) world.shortPaths[c.path] = c.shortPath;
        CSetupApp app(world.ports());
        ASSERT_TRUE(app.InitInstance("")) << c.what;
        EXPECT_EQ(app.MediaRoot(), c.root) << c.what;
        EXPECT_EQ(app.MainFrame()->MediaRoot(), c.root) << c.what;
    }
}

TEST(Switches, AreComparedWholeIgnoringCase) {
    const struct {
        const char* line;
        bool harlo, both;
    } cases[] = {
        {"/Harlo", true, false},  {"/hARLO", true, false},  {"/HARLO", true, false},
        {"/BOTH", false, true},   {"/both", false, true},   {"/BoTh", false, true},
        {"", false, false},       {" /Harlo", false, false}, {"/Harlo ", false, false},
        {"/BOTH ", false, false}, {"/Harlo /BOTH", false, false}, {"/BOTH /Harlo", false, false},
        {"/Harlox", false, false}, {"/Harl", false, false}, {"Harlo", false, false},
    };
    for (const auto& c : cases) {
        const Switches s = ParseSwitches(c.line);
        EXPECT_EQ(s.harloOnly, c.harlo) << '"' << c.line << '"';
        EXPECT_EQ(s.both, c.both) << '"' << c.line << '"';
    }
}

TEST(SetupApp, FirstStartCreatesTheCentredWindowAndSetsTheSwitch) {
    World world;
    CSetupApp app(world.ports());
    ASSERT_TRUE(app.InitInstance("/harlo"));
    EXPECT_TRACE(world.trace, (Trace{
                               R"(OpenMutex(0x1F0001, inherit, "TV Card Setup") fails)",
                               R"(CreateMutex(owner, "TV Card Setup"))",
                               R"(CoInitializeEx(0))",
                               R"(CreateWindow("SAA713x TV Card Setup", 112, 84, 801, 601))",
                               R"(SetTimer(frame, 128, 50))",
                               R"(ShowWindow(frame, 5))",
                               R"(UpdateWindow(frame))",
                           }));
    EXPECT_EQ(app.MediaRoot(), R"(D:\)");
    EXPECT_EQ(app.MainFrame()->Context().harloOnly, 1);
    EXPECT_EQ(app.MainFrame()->Context().both, 0);
    EXPECT_EQ(app.MainFrame()->Context().shutdownPermission.load(), 0);

    // A timer that is neither the start timer nor the watch does nothing of its own.
    world.trace.clear();
    app.MainFrame()->OnTimer(300);
    EXPECT_TRUE(world.trace.empty());
}

TEST(SetupApp, SecondStartRaisesOnlyTheInstanceWindowAndEnds) {
    for (bool instanceWindow : {true, false}) {
        World world;
        world.mutexes.insert("TV Card Setup");
        world.AddWindow("frame class", "SAA713x TV Card Setup");
        if (instanceWindow) world.AddWindow("other", "TV Card Setup");
        CSetupApp app(world.ports());
        EXPECT_FALSE(app.InitInstance(""));
        Trace expected{
            R"(OpenMutex(0x1F0001, inherit, "TV Card Setup"))",
            R"(CloseHandle(other mutex))",
            R"(FindWindow(null, "TV Card Setup"))",
        };
        if (instanceWindow) expected.push_back("BringWindowToTop(TV Card Setup)");
        EXPECT_TRACE(world.trace, expected);
        EXPECT_EQ(app.MainFrame(), nullptr);
    }
}

TEST(SetupApp, ExitReleasesTheMutexSoANewStartRuns) {
    World world;
    CSetupApp first(world.ports());
    ASSERT_TRUE(first.InitInstance(""));
    world.trace.clear();
    EXPECT_EQ(first.ExitInstance(0), 0);
    EXPECT_TRACE(world.trace, (Trace{"CoUninitialize()", "CloseHandle(mutex TV Card Setup)"}));

    CSetupApp second(world.ports());
    EXPECT_TRUE(second.InitInstance(""));
    EXPECT_EQ(world.errors, 0);
}

TEST(SetupWindow, SkinIsSetupBinWhenItDecodesElseTheBuiltInBitmapElseNone) {
    const struct {
        bool decodes, loads;
        Trace trace;
        std::int32_t width, height;
        const char* deleted;  // at the window's destruction
    } cases[] = {
        {true, true, {"DecodeFile(Setup.bin)"}, 1024, 768, "DeleteObject(Setup.bin)"},
        {false, true, {"DecodeFile(Setup.bin) fails", "LoadImage(bitmap 129)"}, 800, 600, "DeleteObject(bitmap 129)"},
        {false, false, {"DecodeFile(Setup.bin) fails", "LoadImage(bitmap 129) fails"}, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trace.back());
        World world;
        world.skinFileDecodes = c.decodes;
        world.skinBitmapLoads = c.loads;
        CMainFrame frame(world.ports(), "D:\\");
        frame.LoadSkin();
        EXPECT_TRACE(world.trace, c.trace);
        EXPECT_EQ(frame.Skin().bitmap != 0, c.deleted != nullptr);
        EXPECT_EQ(frame.Skin().width, c.width);
        EXPECT_EQ(frame.Skin().height, c.height);

        world.trace.clear();
        frame.OnDestroy();
        frame.OnDestroy();  // the picture goes once
        EXPECT_TRACE(world.trace, c.deleted ? Trace{c.deleted} : Trace{});
        EXPECT_EQ(frame.Skin().bitmap, 0u);
        EXPECT_EQ(world.openHandles("bitmap"), 0u);
        EXPECT_EQ(world.errors, 0);
    }
}

TEST(SetupApp, WindowThatCannotBeCreatedEndsTheLauncher) {
    World world;
    world.windowCreates = false;
    CSetupApp app(world.ports());
    EXPECT_FALSE(app.InitInstance("/BOTH"));
}

}  // namespace
}  // namespace setup
