// GPIO requests through the capture driver: the board data from the tuner driver key.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

struct Gpio : ::testing::Test, RunningApplet {
    void SetUp() override { f.devices.AddInterface(kCardPath); }
    // The five requests of the set-up that the next opening runs.
    std::vector<GpioCall> SetupAtNextOpen() {
        SCOPED_TRACE("set-up at the next opening");
        f.devices.requests.clear();
        Check();
        EXPECT_NE(frame().device(), 0u);
        return f.devices.requests;
    }
};

TEST_F(Gpio, IsOldBoardMissingLaterKeepsTheOldBoard) {
    SetTuner(f.registry, 0x7134, 1, 0x4000);
    ASSERT_TRUE(Start());
    EXPECT_EQ(SetupAtNextOpen(), kOldBoardIdleCycle);
    f.registry.RemoveValue(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard");
    f.devices.RemoveInterface(kCardPath);
    Check();
    ASSERT_EQ(frame().device(), 0u);
    f.devices.AddInterface(kCardPath);
    EXPECT_EQ(SetupAtNextOpen(), kOldBoardIdleCycle);
    EXPECT_EQ(frame().isOldBoard(), 1u);
}

TEST_F(Gpio, ReceiverTestFromTheWiringWord) {
    struct Case {
        bool gpioPresent;
        std::uint32_t isOldBoard, gpio;
        bool opened;
    };
    const Case cases[] = {
        {false, 0, 0, false},       // GPIO missing counts as 0: no receiver
        {true, 0, 0x4000, true},
        {true, 0, 0xBFFF, false},   // bit 14 clear
        {true, 1, 0x4020, false},   // old board: bit 5 means no receiver
        {true, 0, 0x4020, true},    // new board: bit 5 plays no part
        {true, 1, 0x4000, true},
    };
    for (const Case& c : cases) {
        RunningApplet a;
        SetTuner(a.f.registry, 0x7134, c.isOldBoard, c.gpio);
        if (!c.gpioPresent) a.f.registry.RemoveValue(RegRoot::LocalMachine, kTunerKeyPath, u"GPIO");
        a.f.devices.AddInterface(kCardPath);
        ASSERT_TRUE(a.Start());
        a.Check();
        EXPECT_EQ(a.frame().device() != 0, c.opened) << std::hex << c.gpio << " old " << c.isOldBoard;
    }
}

TEST_F(Gpio, ValuesThatDoNotFitFourBytesCountAsMissing) {
    SetTuner(f.registry, 0x7134, 1, 0x4000);
    ASSERT_TRUE(Start());
    Check();
    f.registry.SetRaw(RegRoot::LocalMachine, kTunerKeyPath, u"DeviceID", 3 /* REG_BINARY */, {0x31, 0x71, 0, 0, 0});
    f.registry.SetRaw(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard", win::kRegDword,
                      std::vector<std::uint8_t>(8, 0));
    Check();
    EXPECT_EQ(frame().deviceId(), 0x7134u);
    EXPECT_EQ(frame().isOldBoard(), 1u);
    // The stored type is not looked at.
    f.registry.SetDword(RegRoot::LocalMachine, kTunerKeyPath, u"DeviceID", 0x7135, win::kRegSz);
    Check();
    EXPECT_EQ(frame().deviceId(), 0x7135u);
}

TEST_F(Gpio, SetupWithoutDeviceSendsNothing) {
    ASSERT_TRUE(Start());
    frame().RunGpioSetup();
    EXPECT_TRUE(f.devices.requests.empty());
}

}  // namespace
}  // namespace applet
