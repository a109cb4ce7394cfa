// GPIO requests through the capture driver: the set-up sequence on both boards, the board data
// from the tuner driver key, failed reads.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const BoardMasks kNew = {0xE08000, 0x80E08000, 0xE00000, 0xE08000};
const BoardMasks kOld = {0x1A8087, 0x801A8087, 0x1A0080, 0x1A8080};

struct Gpio : ::testing::Test, RunningApplet {
    void SetUp() override { f.devices.AddInterface(kCardPath); }
    // The five requests of the set-up that the next opening runs.
    std::vector<GpioCall> SetupAtNextOpen() {
        f.devices.requests.clear();
        Check();
        EXPECT_NE(frame().device(), 0u);
        return f.devices.requests;
    }
};

TEST(GpioSetup, FiveRequestsWithTheMasksOfTheBoard) {
    struct Case {
        const char* name;
        std::uint32_t isOldBoard;
        bool isOldBoardStored;
        std::uint32_t outputs;
        std::vector<GpioCall> trace;
    };
    const Case cases[] = {
        // Pin 15 high, no key: S = 0xC000.
        {"new board", 0, true, 0x8000,
         {W(0x1B0, 0xE08000), W(0x1B0, 0x80E08000), R(0x1B4), W(0x1B4, 0x0), W(0x1B4, 0x8000)}},
        // Every output pin high: S = 0x1AC087; pins 0, 1 and 2 are driven low by both acknowledge
        // writes, pin 15 pulses.
        {"old board", 1, true, 0x1A8087,
         {W(0x1B0, 0x1A8087), W(0x1B0, 0x801A8087), R(0x1B4), W(0x1B4, 0x1A0080), W(0x1B4, 0x1A8080)}},
        {"IsOldBoard missing from the start: the new board", 1, false, 0, Cycle(kNew, 0x4000)},
    };
    for (const Case& c : cases) {
        RunningApplet a;
        SetTuner(a.f.registry, 0x7134, c.isOldBoard, 0x4000);
        if (!c.isOldBoardStored) a.f.registry.RemoveValue(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard");
        a.f.devices.AddInterface(kCardPath);
        a.f.devices.card.outputs = c.outputs;
        ASSERT_TRUE(a.Start());
        a.Check();
        EXPECT_NE(a.frame().device(), 0u) << c.name;
        EXPECT_EQ(a.f.devices.requests, c.trace) << c.name;
        EXPECT_EQ(a.f.devices.dirtyRecords, 0) << c.name;
    }
}

TEST_F(Gpio, IsOldBoardMissingLaterKeepsTheOldBoard) {
    SetTuner(f.registry, 0x7134, 1, 0x4000);
    ASSERT_TRUE(Start());
    EXPECT_EQ(SetupAtNextOpen(), Cycle(kOld, 0x4000));
    f.registry.RemoveValue(RegRoot::LocalMachine, kTunerKeyPath, u"IsOldBoard");
    f.devices.RemoveInterface(kCardPath);
    Check();
    ASSERT_EQ(frame().device(), 0u);
    f.devices.AddInterface(kCardPath);
    EXPECT_EQ(SetupAtNextOpen(), Cycle(kOld, 0x4000));
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

TEST_F(Gpio, FailedReadsAreReportedAndTheSequenceRunsToItsEnd) {
    SetTuner(f.registry, 0x7134, 0, 0x4000);
    ASSERT_TRUE(Start());
    Check();
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(frame().ReadRegister(0x1B4, &value));
    EXPECT_EQ(value, 0x4000u);

    // The value field is bytes 8 to 11: a count that covers it is a good read, a shorter one is not.
    for (std::uint32_t bytes : {12u, 16u}) {
        f.devices.returnedBytes = bytes;
        value = 0xDEADBEEF;
        EXPECT_TRUE(frame().ReadRegister(0x1B4, &value)) << bytes;
        EXPECT_EQ(value, 0x4000u) << bytes;
    }
    for (std::uint32_t bytes : {0u, 4u, 11u}) {
        f.devices.returnedBytes = bytes;
        EXPECT_FALSE(frame().ReadRegister(0x1B4, &value)) << bytes;
    }
    f.devices.returnedBytes = 20;
    f.devices.requestsFail = true;
    EXPECT_FALSE(frame().ReadRegister(0x1B4, &value));
    EXPECT_FALSE(frame().LatchAndRead(&value));

    // The set-up still issues all five requests, acknowledging what a failed read leaves (0).
    f.devices.requests.clear();
    frame().RunGpioSetup();
    EXPECT_EQ(f.devices.requests, Cycle(kNew, 0));
}

TEST_F(Gpio, SetupWithoutDeviceSendsNothing) {
    ASSERT_TRUE(Start());
    frame().RunGpioSetup();
    EXPECT_TRUE(f.devices.requests.empty());
}

}  // namespace
}  // namespace applet
