// What the fuzz targets share: a reader that turns the fuzzer's bytes into decisions, and the
// reporting of a broken invariant.
//
// Every target is a plain function over a byte string, so that the same code runs under libFuzzer
// (fuzz_main.cpp) and under the unit tests, which replay each corpus file (replay_test.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Under libFuzzer a broken invariant prints `what` and aborts, so that the input is kept as a
// finding; the replay test installs a handler that records it as a test failure instead.
using ViolationHandler = void (*)(const std::string& what);
void SetViolationHandler(ViolationHandler handler);
void Violation(const char* file, int line, const std::string& what);

// What a report adds to `what`, e.g. the last actions of the target; until the scope ends.
class ReportContext {
public:
    ReportContext(std::string (*describe)(const void*), const void* subject);
    ~ReportContext();
    ReportContext(const ReportContext&) = delete;
    ReportContext& operator=(const ReportContext&) = delete;
};

#define FUZZ_CHECK(condition, what) \
    ((condition) ? (void)0 : ::fuzz::Violation(__FILE__, __LINE__, (what)))

// Reads decisions from the input, front to back. An exhausted input reads as zeros, so every
// target gives its zero choice the meaning of the ordinary case (success, nothing special).
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    bool Empty() const { return p_ == end_; }
    std::uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
    bool Bool() { return (Byte() & 1) != 0; }
    std::uint32_t Word() {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) w |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return w;
    }
    // A number below n (n > 0): one byte, two when n is larger than 256.
    std::uint32_t Below(std::uint32_t n) {
        std::uint32_t v = Byte();
        if (n > 256) v |= static_cast<std::uint32_t>(Byte()) << 8;
        return v % n;
    }
    // A byte string of at most `max` bytes: a length byte and that many bytes; the length byte 0xFF
    // starts a run instead (two length bytes and one byte repeated), so that a short input can
    // still make a very long name or value.
    std::string Bytes(std::size_t max) {
        std::size_t n = Byte();
        if (n == 0xFF) {
            n = Byte();
            n |= static_cast<std::size_t>(Byte()) << 8;
            const char fill = static_cast<char>(Byte());
            return std::string(n < max ? n : max, fill);
        }
        std::string out;
        for (std::size_t i = 0; i < n && i < max && !Empty(); ++i) out.push_back(static_cast<char>(Byte()));
        return out;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

}  // namespace fuzz
