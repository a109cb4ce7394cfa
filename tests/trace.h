// Traces of the fakes, shared by the applet's and the launcher's unit tests: one line per port
// call, in order, compared whole so that a test states every observable action.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace traces {

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

// The lines of `trace` from the first one that begins with `prefix` to the end.
inline Trace TailFrom(const Trace& trace, const std::string& prefix) {
    for (auto it = trace.begin(); it != trace.end(); ++it)
        if (it->rfind(prefix, 0) == 0) return Trace(it, trace.end());
    return {};
}

}  // namespace traces

#define EXPECT_TRACE(actual, expected) EXPECT_PRED_FORMAT2(::traces::SameTrace, actual, expected)
