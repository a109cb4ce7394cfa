// Shared pieces of the fakes: the virtual clock, the trace of calls across fakes, text helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace applet::fake {

// Milliseconds since the test began; advanced only by the fakes (timers, Sleep, waits).
struct VirtualClock {
    std::uint64_t now = 0;
};

// One line per port call, across all fakes, in order: a test compares the whole sequence of
// observable actions.
using Trace = std::vector<std::string>;

// Compares two traces whole; on a difference shows both from the first differing line on.
inline ::testing::AssertionResult SameTrace(const char* actualText, const char*, const Trace& actual,
                                            const Trace& expected) {
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    if (i == actual.size() && i == expected.size()) return ::testing::AssertionSuccess();
    auto out = ::testing::AssertionFailure();
    out << actualText << " differs from line " << i << " on (" << actual.size() << " lines, expected "
        << expected.size() << ")\n  actual:\n";
    for (std::size_t k = i; k < actual.size() && k < i + 12; ++k) out << "    " << actual[k] << "\n";
    out << "  expected:\n";
    for (std::size_t k = i; k < expected.size() && k < i + 12; ++k) out << "    " << expected[k] << "\n";
    return out;
}
#define EXPECT_TRACE(actual, expected) EXPECT_PRED_FORMAT2(::applet::fake::SameTrace, actual, expected)

// The lines of `trace` that begin with any of `prefixes`, in order.
inline Trace Only(const Trace& trace, const std::vector<std::string>& prefixes) {
    Trace out;
    for (const auto& line : trace)
        for (const auto& p : prefixes)
            if (line.rfind(p, 0) == 0) {
                out.push_back(line);
                break;
            }
    return out;
}

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
