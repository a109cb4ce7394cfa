// Capture device port: SetupAPI interface enumeration, CreateFileW and DeviceIoControl.
#include <cstddef>

#include "adapters.h"

namespace applet::win32 {

namespace {

// KSCATEGORY_CAPTURE, spelt out so that no kernel-streaming header or library is needed.
const GUID kCaptureCategory = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

static_assert((DIGCF_PRESENT | DIGCF_DEVICEINTERFACE) == 0x12, "present interfaces only");
#ifndef _WIN64
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "the 32-bit interface data record");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6, "the 32-bit detail record header");
#endif

}  // namespace

Handle CaptureDevicesAdapter::OpenInterfaceSet() {
    return sets_.Adopt(SetupDiGetClassDevsW(&kCaptureCategory, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
}

bool CaptureDevicesAdapter::Enumerate(HDEVINFO set, DWORD index, SP_DEVICE_INTERFACE_DATA* data) {
    *data = SP_DEVICE_INTERFACE_DATA{};
    data->cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    return SetupDiEnumDeviceInterfaces(set, nullptr, &kCaptureCategory, index, data) != FALSE;
}

bool CaptureDevicesAdapter::EnumInterface(Handle set, std::uint32_t index) {
    auto* entry = sets_.Find(set);
    if (!entry) return false;
    EnumeratedInterface& last = entry->extra;
    last.valid = Enumerate(entry->owner.get(), index, &last.data);
    last.index = index;
    return last.valid;
}

bool CaptureDevicesAdapter::InterfacePath(Handle set, std::uint32_t index, std::u16string* path) {
    auto* entry = sets_.Find(set);
    if (!entry) return false;
    EnumeratedInterface& last = entry->extra;
    if (!last.valid || last.index != index) {
        last.valid = Enumerate(entry->owner.get(), index, &last.data);
        last.index = index;
        if (!last.valid) return false;
    }
    HDEVINFO info = entry->owner.get();

    // Size query first, then a heap record of exactly that size.
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(info, &last.data, nullptr, 0, &required, nullptr);
    constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    if (required < kPathOffset + sizeof(WCHAR)) return false;
    UniqueHeap record(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, required));
    if (!record) return false;
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(record.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    detail->DevicePath[0] = L'\0';
    if (!SetupDiGetDeviceInterfaceDetailW(info, &last.data, detail, required, nullptr, nullptr))
        return false;

    const std::size_t capacity = (required - kPathOffset) / sizeof(WCHAR);
    std::size_t length = 0;
    while (length < capacity && detail->DevicePath[length] != L'\0') ++length;
    *path = Utf16(detail->DevicePath, length);
    return true;
}

void CaptureDevicesAdapter::CloseInterfaceSet(Handle set) { sets_.Close(set); }

Handle CaptureDevicesAdapter::OpenDevice(const std::u16string& path) {
    return devices_.Adopt(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool CaptureDevicesAdapter::Control(Handle device, std::uint32_t code, GPIO_REQUEST* record,
                                  std::uint32_t* returned) {
    DWORD count = 0;
    HANDLE file = devices_.Get(device);
    // Synchronous: the handle is not opened for overlapped I/O and no OVERLAPPED is passed.
    const BOOL ok = file != INVALID_HANDLE_VALUE &&
                    DeviceIoControl(file, code, record, sizeof *record, record, sizeof *record, &count, nullptr);
    if (returned) *returned = count;
    return ok != FALSE;
}

void CaptureDevicesAdapter::CloseDevice(Handle device) { devices_.Close(device); }

}  // namespace applet::win32
