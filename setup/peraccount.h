// What every account gets at its next logon: the HKEY_CURRENT_USER part of the installed registry
// scripts, turned into a setup information file that Windows' own INF installer applies with the
// account's ordinary rights (rundll32 setupapi.dll,InstallHinfSection), silently, as often as asked.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace setup {

// One change that a registry script makes under HKEY_CURRENT_USER.
struct RegChange {
    enum class Kind { Key, Value, DeleteValue, DeleteKey };
    Kind kind = Kind::Key;
    std::u16string key;   // below HKEY_CURRENT_USER, no leading or trailing backslash
    std::u16string name;  // empty: the key's default value
    std::uint32_t type = 0;
    std::vector<std::u16string> strings;  // REG_SZ, REG_EXPAND_SZ: one; REG_MULTI_SZ: each
    std::vector<std::uint8_t> bytes;      // REG_DWORD: 4 bytes; any other type: its data
};

// Turns 8-bit text of the system's ANSI code page into UTF-16.
using Widen = std::function<std::u16string(const std::string&)>;

// The HKEY_CURRENT_USER changes of a registry script file, in its order: "REGEDIT4" in ANSI, or
// "Windows Registry Editor Version 5.00" in UTF-16LE with its byte-order mark. Keys of other hives,
// comments and lines that do not parse are skipped; so is a file without either header.
std::vector<RegChange> CurrentUserChanges(const std::string& file, const Widen& widen);

// A setup information file (UTF-16LE with its byte-order mark) whose section "DefaultInstall"
// leaves HKEY_CURRENT_USER as applying `changes` in order would. Values an INF line cannot carry
// (a line break in a text, a text longer than kMaxInfText, a symbolic link, a type above 0xFFFF,
// the deletion of a default value) are left out.
std::string PerAccountInf(const std::vector<RegChange>& changes);
constexpr std::size_t kMaxInfText = 4000;

// The Active Setup version after `previous` ("1,0,0,N" raised to "1,0,0,N+1"; anything else
// counts as "1,0,0,0").
std::string NextComponentVersion(const std::string& previous);

}  // namespace setup
