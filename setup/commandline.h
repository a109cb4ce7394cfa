// Command lines for the programs the installation starts.
#pragma once

#include <string>

namespace setup {

// A path with a blank is quoted: unquoted, the platform would try "C:\...\TV.exe" for a program
// under "C:\...\TV Card\", and the registry editor or the registration tool would split the
// argument at the blank.
inline std::string QuotePath(const std::string& path) {
    if (path.find_first_of(" \t") == std::string::npos) return path;
    return "\"" + path + "\"";
}

inline std::string CommandLine(const std::string& program, const std::string& args) {
    return QuotePath(program) + args;
}

}  // namespace setup
