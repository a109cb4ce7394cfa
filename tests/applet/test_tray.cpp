// The notification-area icon and the tray menu.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

struct Tray : ::testing::Test, RunningApplet {
    void SetUp() override {
        SetTuner(f.registry, 0x7134, 0, 0x4000);
        f.devices.AddInterface(kCardPath);
        ASSERT_TRUE(Start());
        f.trace.clear();
    }
};

TEST_F(Tray, RecordAndTooltipByDeviceId) {
    const std::pair<std::uint32_t, std::u16string> table[] = {
        {0x7130, u"SAA7130 TV Card Remote Control Receiver"}, {0x7131, u"SAA7131 TV Card Remote Control Receiver"},
        {0x7133, u"SAA7133 TV Card Remote Control Receiver"}, {0x7134, u"SAA7134 TV Card Remote Control Receiver"},
        {0x7135, u"SAA7135 TV Card Remote Control Receiver"}, {0x7132, u"SAA713x TV Card Remote Control Receiver"},
        {0, u"SAA713x TV Card Remote Control Receiver"},      {0x17134, u"SAA713x TV Card Remote Control Receiver"},
    };
    for (const auto& [id, tip] : table) {
        SCOPED_TRACE(N(tip) + " for DeviceID " + Hex(id));
        f.registry.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"DeviceID", id);
        frame().ReadTunerKey();
        EXPECT_TRUE(frame().ShowTrayIcon());
        const TrayIcon& icon = f.shell.icons.at(128);
        EXPECT_EQ(icon.tip, tip);
        EXPECT_EQ(icon.cbSize, 936u);
        EXPECT_EQ(icon.id, 128u);
        EXPECT_EQ(icon.flags, 7u);
        EXPECT_EQ(icon.callbackMessage, 0x464u);
        EXPECT_EQ(icon.iconResource, 128u);
        frame().RemoveTrayIcon(128);
    }
}

TEST_F(Tray, IconFollowsTheDeviceAndItsTooltipIsFixedWhileShown) {
    Check();
    ASSERT_TRUE(f.shell.Present(128));
    EXPECT_EQ(f.shell.icons[128].tip, u"SAA7134 TV Card Remote Control Receiver");

    // DeviceID changes while the icon stays: the tooltip stays too.
    f.registry.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"DeviceID", 0x7130);
    Check();
    EXPECT_EQ(f.shell.icons[128].tip, u"SAA7134 TV Card Remote Control Receiver");

    // Lost with the taskbar: back at the next check.
    f.shell.icons.clear();
    Check();
    EXPECT_EQ(f.shell.icons[128].tip, u"SAA7130 TV Card Remote Control Receiver");

    // Removed with the device; back with a tooltip chosen anew.
    f.devices.RemoveInterface(kCardPath);
    Check();
    EXPECT_FALSE(f.shell.Present(128));
    f.registry.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"DeviceID", 0x7131);
    f.devices.AddInterface(kCardPath);
    Check();
    EXPECT_EQ(f.shell.icons[128].tip, u"SAA7131 TV Card Remote Control Receiver");

    f.windows.Send(f.windows.mainWindow, win::kWmClose, 0, 0);
    EXPECT_TRACE(Only(f.trace, {"AddIcon", "DeleteIcon"}),
                 (Trace{"AddIcon(128)", "AddIcon(128) fails", "AddIcon(128)", "DeleteIcon(128)", "DeleteIcon(129) fails",
                        "AddIcon(128)", "DeleteIcon(128)", "DeleteIcon(129) fails"}));
    EXPECT_TRUE(f.shell.icons.empty());
}

TEST_F(Tray, MenuItemsFollowTheReceiverFlag) {
    EXPECT_EQ(frame().OnTrayNotify(128, win::kWmLButtonDown), 0);
    // Disable chosen from the menu: the next menu shows the opposite.
    f.shell.choose = 1001;
    frame().OnTrayNotify(128, win::kWmRButtonDown);
    EXPECT_FALSE(frame().receiverEnabled());
    f.shell.choose.reset();
    frame().OnTrayNotify(129, win::kWmRButtonDown);
    EXPECT_TRACE(Only(f.trace, {"TrackTrayMenu"}), (Trace{"TrackTrayMenu(128, 1080 grey, 1001, 1002, 57665)",
                                                          "TrackTrayMenu(128, 1080 grey, 1001, 1002, 57665)",
                                                          "TrackTrayMenu(128, 1080, 1001 grey, 1002, 57665)"}));
}

TEST_F(Tray, OnlyButtonPressesOnOurIconsOpenTheMenu) {
    const struct {
        std::intptr_t message;
        std::vector<std::uintptr_t> opening;  // of the ids 0, 127, 128, 129, 130
    } rows[] = {
        {0x200, {}}, {0x201, {128, 129}}, {0x202, {}}, {0x203, {}}, {0x204, {128, 129}},
        {0x205, {}}, {0x206, {}},         {0x207, {}}, {0x208, {}}, {0x209, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("message " + Hex(static_cast<std::uint64_t>(row.message)));
        std::vector<std::uintptr_t> opened;
        for (std::uintptr_t id : {0u, 127u, 128u, 129u, 130u}) {
            f.trace.clear();
            EXPECT_EQ(frame().OnTrayNotify(id, row.message), 0);
            if (!f.trace.empty()) opened.push_back(id);
        }
        EXPECT_EQ(opened, row.opening);
    }
}

// Enable and Disable (1080, 1001) reach their handlers in the poll tests.
TEST_F(Tray, ConfigureIsTheFramesAndUnloadIsLeftToTheApplication) {
    f.registry.CreateKey(RegRoot::CurrentUser, kAppletKeyPath);
    f.dialogs.result = win::kIdCancel;
    const struct {
        std::uint32_t command;
        bool handled;
        Trace expected;
    } rows[] = {
        {1002, true,
         {"OpenKey(applet, 0xF003F)", R"(QueryValue(applet, "Profile") fails)", "RunRemote()", "SetCheck(1003, 0)",
          "SetCheck(1004, 1)", "SetCheck(1005, 0)", "SetCheck(1006, 0)",
          R"(OpenKey(HKCU\SOFTWARE\Orvane\Nuvex\1.0, 0x20019) fails)", "Enable(1003, 0)", "CloseKey(applet)"}},
        {57665, false, {}},  // left to the application object
        {1003, false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        f.trace.clear();
        EXPECT_EQ(frame().OnCommand(row.command), row.handled);
        EXPECT_TRACE(f.trace, row.expected);
    }
}

}  // namespace
}  // namespace applet
