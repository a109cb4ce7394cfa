// Shared pieces of the fakes: the virtual clock, a journal of calls across fakes, text helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace applet::fake {

// Milliseconds since the test began; advanced only by the fakes (timers, Sleep, waits).
struct VirtualClock {
    std::uint64_t now = 0;
};

// One line per call, across all fakes, so that a test can check the order of calls between ports.
struct Journal {
    std::vector<std::string> lines;
    void add(const std::string& line) { lines.push_back(line); }
    // Index of the first line starting with `prefix`, or -1.
    int find(const std::string& prefix) const {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
        return -1;
    }
};

// u"text" for the tests' own literals; ASCII only.
inline std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }
// Narrow view of a UTF-16 string for messages; non-ASCII units become '?'.
inline std::string N(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}
inline char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }
inline std::u16string Lower(const std::u16string& s) {
    std::u16string out = s;
    for (auto& c : out) c = LowerAscii(c);
    return out;
}
inline bool EqualNoCase(const std::u16string& a, const std::u16string& b) { return Lower(a) == Lower(b); }

}  // namespace applet::fake
