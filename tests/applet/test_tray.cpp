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
    }
    std::vector<std::pair<std::uint32_t, bool>> LastMenu() {
        std::vector<std::pair<std::uint32_t, bool>> items;
        for (auto& i : f.shell.menus.back().items) items.push_back({i.command, i.enabled});
        return items;
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
        f.registry.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"DeviceID", id);
        frame().ReadTunerKey();
        EXPECT_TRUE(frame().ShowTrayIcon());
        const TrayIcon& icon = f.shell.icons.at(128);
        EXPECT_EQ(icon.tip, tip) << std::hex << id;
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
    EXPECT_EQ(f.shell.adds.size(), 2u);
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
    EXPECT_TRUE(f.shell.icons.empty());
}

TEST_F(Tray, MenuItemsFollowTheReceiverFlag) {
    EXPECT_EQ(frame().OnTrayNotify(128, win::kWmLButtonDown), 0);
    ASSERT_EQ(f.shell.menus.size(), 1u);
    EXPECT_EQ(f.shell.menus[0].resource, 128u);
    EXPECT_EQ(LastMenu(), (std::vector<std::pair<std::uint32_t, bool>>{
                              {1080, false}, {1001, true}, {1002, true}, {57665, true}}));

    // Disable chosen from the menu: the next menu shows the opposite.
    f.shell.choose = 1001;
    frame().OnTrayNotify(128, win::kWmRButtonDown);
    EXPECT_FALSE(frame().receiverEnabled());
    f.shell.choose.reset();
    frame().OnTrayNotify(129, win::kWmRButtonDown);
    EXPECT_EQ(LastMenu(), (std::vector<std::pair<std::uint32_t, bool>>{
                              {1080, true}, {1001, false}, {1002, true}, {57665, true}}));
}

TEST_F(Tray, OnlyButtonPressesOnOurIconsOpenTheMenu) {
    const std::intptr_t mouse[] = {0x200, 0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207, 0x208, 0x209};
    const std::uintptr_t ids[] = {0, 127, 128, 129, 130};
    for (auto lParam : mouse)
        for (auto wParam : ids) {
            const auto before = f.shell.menus.size();
            EXPECT_EQ(frame().OnTrayNotify(wParam, lParam), 0);
            const bool opens = (lParam == 0x201 || lParam == 0x204) && (wParam == 128 || wParam == 129);
            EXPECT_EQ(f.shell.menus.size() - before, opens ? 1u : 0u) << std::hex << lParam << " id " << wParam;
        }
}

// Enable and Disable (1080, 1001) reach their handlers in the poll tests.
TEST_F(Tray, ConfigureIsTheFramesAndUnloadIsLeftToTheApplication) {
    f.registry.CreateKey(RegRoot::CurrentUser, kAppletKeyPath);
    f.dialogs.result = win::kIdCancel;
    EXPECT_TRUE(frame().OnCommand(1002));
    EXPECT_EQ(f.dialogs.remoteRuns, 1);
    EXPECT_FALSE(frame().OnCommand(57665));  // left to the application object
    EXPECT_EQ(f.dialogs.unloadRuns, 0);
    EXPECT_FALSE(frame().OnCommand(1003));
}

}  // namespace
}  // namespace applet
