// Shared pieces of the fakes: the virtual clock, where the fakes write their trace, text helpers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "trace.h"

namespace applet::fake {

// Milliseconds since the test began; advanced only by the fakes (timers, Sleep, waits).
struct VirtualClock {
    std::uint64_t now = 0;
};

using traces::Trace;
using traces::Only;

// Where a fake writes its lines; no trace (the fuzz targets) writes nothing.
struct Tracer {
    Trace* trace = nullptr;
    void Log(const std::string& line) const {
        if (trace) trace->push_back(line);
    }
};

inline std::string Hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

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
