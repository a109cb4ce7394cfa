// Registry port: RegOpenKeyExW, RegQueryValueExW, RegSetValueExW, RegDeleteValueW, RegCloseKey.
#include <vector>

#include "adapters.h"

namespace applet::win32 {

static_assert(KEY_READ == win::kKeyRead && KEY_ALL_ACCESS == win::kKeyAllAccess, "access rights");
static_assert(REG_SZ == win::kRegSz && REG_DWORD == win::kRegDword, "value types");

Handle RegistryAdapter::OpenKey(RegRoot root, const std::u16string& path, std::uint32_t access) {
    HKEY base = root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    if (RegOpenKeyExW(base, Wide(path), 0, access, &key) != ERROR_SUCCESS) return 0;
    return keys_.Adopt(key);
}

bool RegistryAdapter::QueryValue(Handle key, const std::u16string& name, std::uint32_t* type,
                                 void* data, std::uint32_t* size) {
    HKEY hkey = keys_.Get(key);
    if (!hkey) return false;
    // The platform leaves the buffer undefined when the data does not fit: read into a copy, so
    // that a failed query leaves the caller's buffer as it was.
    std::vector<BYTE> buffer(*size);
    DWORD length = *size;
    DWORD stored = 0;
    if (RegQueryValueExW(hkey, Wide(name), nullptr, &stored, data ? buffer.data() : nullptr, &length) !=
        ERROR_SUCCESS)
        return false;
    if (data) std::copy(buffer.begin(), buffer.begin() + length, static_cast<BYTE*>(data));
    *size = length;
    if (type) *type = stored;
    return true;
}

bool RegistryAdapter::SetValue(Handle key, const std::u16string& name, std::uint32_t type,
                             const void* data, std::uint32_t size) {
    HKEY hkey = keys_.Get(key);
    return hkey && RegSetValueExW(hkey, Wide(name), 0, type, static_cast<const BYTE*>(data), size) ==
                       ERROR_SUCCESS;
}

bool RegistryAdapter::DeleteValue(Handle key, const std::u16string& name) {
    HKEY hkey = keys_.Get(key);
    return hkey && RegDeleteValueW(hkey, Wide(name)) == ERROR_SUCCESS;
}

void RegistryAdapter::CloseKey(Handle key) { keys_.Close(key); }

}  // namespace applet::win32
