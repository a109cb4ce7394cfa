// The capture driver's two register requests and the GPIO cycle built from them.
#include <cstddef>

#include "mainframe.h"

namespace applet {

namespace {

// CTL_CODE as the driver's headers compose it.
constexpr std::uint32_t CtlCode(std::uint32_t deviceType, std::uint32_t function, std::uint32_t method,
                                std::uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
constexpr std::uint32_t kFileDeviceVideo = 0x23;
constexpr std::uint32_t kMethodBuffered = 0;
constexpr std::uint32_t kFileAnyAccess = 0;

constexpr std::uint32_t IOCTL_GPIO_WRITE = CtlCode(kFileDeviceVideo, 0xB41, kMethodBuffered, kFileAnyAccess);
constexpr std::uint32_t IOCTL_GPIO_READ = CtlCode(kFileDeviceVideo, 0xB42, kMethodBuffered, kFileAnyAccess);
static_assert(IOCTL_GPIO_WRITE == 0x232D04, "IOCTL_GPIO_WRITE");
static_assert(IOCTL_GPIO_READ == 0x232D08, "IOCTL_GPIO_READ");

constexpr std::uint32_t kGpioMode = 0x1B0;
constexpr std::uint32_t kGpioStatus = 0x1B4;
// A buffered request returns as many bytes as the driver reports: the value comes back when the
// count covers the value field, whatever the driver does with the reserved words after it.
constexpr std::uint32_t kValueFieldEnd = offsetof(GPIO_REQUEST, value) + sizeof(GPIO_REQUEST::value);
static_assert(kValueFieldEnd == 12, "the value field ends at byte 12");

}  // namespace

BoardMasks MasksFor(std::uint32_t isOldBoard) {
    if (isOldBoard) return {0x1A8087, 0x801A8087, 0x1A0080, 0x1A8080};
    return {0xE08000, 0x80E08000, 0xE00000, 0xE08000};
}

void CMainFrame::WriteRegister(std::uint32_t offset, std::uint32_t value) {
    GPIO_REQUEST record{};
    record.offset = offset;
    record.value = value;
    std::uint32_t returned = 0;
    ports_.devices.Control(device_, IOCTL_GPIO_WRITE, &record, &returned);
}

bool CMainFrame::ReadRegister(std::uint32_t offset, std::uint32_t* value) {
    GPIO_REQUEST record{};
    record.offset = offset;
    std::uint32_t returned = 0;
    const bool ok = ports_.devices.Control(device_, IOCTL_GPIO_READ, &record, &returned);
    *value = record.value;
    // Fewer bytes leave the fresh record's zero, which would read as key code 0 waiting.
    return ok && returned >= kValueFieldEnd;
}

bool CMainFrame::LatchAndRead(std::uint32_t* status) {
    const BoardMasks masks = MasksFor(isOldBoard_);
    // Bit 31 clear, then set: its rising edge makes the chip latch the pin levels anew.
    WriteRegister(kGpioMode, masks.mode);
    WriteRegister(kGpioMode, masks.modeRescan);
    return ReadRegister(kGpioStatus, status);
}

void CMainFrame::Acknowledge(std::uint32_t status) {
    const BoardMasks masks = MasksFor(isOldBoard_);
    // Pin 15 low, then back to the level read: the receiver's acknowledge pulse.
    WriteRegister(kGpioStatus, status & masks.ack1);
    WriteRegister(kGpioStatus, status & masks.ack2);
}

void CMainFrame::RunGpioSetup() {
    if (!device_) return;
    std::uint32_t status = 0;
    LatchAndRead(&status);
    Acknowledge(status);
}

}  // namespace applet
