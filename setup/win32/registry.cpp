// Registry port: RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA, RegSetValueExA,
// RegDeleteValueA, RegCloseKey.
#include "adapters.h"

namespace setup::win32 {

namespace {

HKEY Root(RegRoot root) { return root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

}  // namespace

Handle RegistryAdapter::OpenKey(RegRoot root, const std::string& path, std::uint32_t access) {
    HKEY key = nullptr;
    return RegOpenKeyExA(Root(root), path.c_str(), 0, access, &key) == ERROR_SUCCESS ? keys_.Adopt(key) : 0;
}

Handle RegistryAdapter::CreateKey(RegRoot root, const std::string& path, std::uint32_t options,
                                  std::uint32_t access) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(Root(root), path.c_str(), 0, nullptr, options, access, nullptr, &key, nullptr);
    return rc == ERROR_SUCCESS ? keys_.Adopt(key) : 0;
}

bool RegistryAdapter::QueryValue(Handle key, const std::string& name, std::uint32_t* type, void* data,
                                 std::uint32_t* size) {
    DWORD t = *type;
    DWORD n = *size;
    LONG rc = RegQueryValueExA(keys_.Get(key), name.c_str(), nullptr, &t, static_cast<BYTE*>(data), &n);
    *type = t;
    *size = n;
    return rc == ERROR_SUCCESS;
}

bool RegistryAdapter::SetValue(Handle key, const std::string& name, std::uint32_t type, const void* data,
                               std::uint32_t size) {
    return RegSetValueExA(keys_.Get(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool RegistryAdapter::DeleteValue(Handle key, const std::string& name) {
    return RegDeleteValueA(keys_.Get(key), name.c_str()) == ERROR_SUCCESS;
}

void RegistryAdapter::CloseKey(Handle key) { keys_.Close(key); }

}  // namespace setup::win32
