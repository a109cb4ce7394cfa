// Stand-in for the property-page library that the launcher registers, or unregisters when an
// Intercast driver claims the chip. The system's regsvr32 calls one of the two entry points; each
// records the call where a test can read it: HKLM "SOFTWARE\Orvane\TV Card Setup\Propwen",
// "Registered" = 1 or 0, and "Calls" counting them.
#include <windows.h>

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Orvane\\TV Card Setup\\Propwen";

HRESULT Record(DWORD registered) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    DWORD calls = 0, size = sizeof calls;
    if (RegQueryValueExW(key, L"Calls", nullptr, nullptr, reinterpret_cast<BYTE*>(&calls), &size) != ERROR_SUCCESS)
        calls = 0;
    ++calls;
    RegSetValueExW(key, L"Calls", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls), sizeof calls);
    RegSetValueExW(key, L"Registered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&registered), sizeof registered);
    RegCloseKey(key);
    return S_OK;
}

}  // namespace

extern "C" HRESULT WINAPI DllRegisterServer() { return Record(1); }
extern "C" HRESULT WINAPI DllUnregisterServer() { return Record(0); }
