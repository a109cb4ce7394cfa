// A small inflater: canonical Huffman codes decoded a bit at a time from tables of how many codes
// each length has and the symbols in code order. Slow next to zlib, but the pictures it unpacks are
// a few hundred kilobytes, unpacked once per dialog.
#include "inflate.h"

namespace applet {

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kLiteralCodes = 288;  // of the fixed code; a stream may use 286 of them
constexpr int kUsableLiteralCodes = 286;
constexpr int kDistanceCodes = 30;
constexpr int kEndOfBlock = 256;

// A canonical Huffman code: how many codes have each length, and the symbols in code order.
struct Huffman {
    std::uint16_t count[kMaxCodeBits + 1];
    std::uint16_t symbol[kLiteralCodes];
};

// Builds the code of the symbols 0..n-1 from their code lengths (0: not used). Returns how much of
// the code space is left: 0 when complete, below 0 when the lengths over-subscribe it.
int Build(Huffman& code, const std::uint8_t* lengths, int n) {
    for (std::uint16_t& count : code.count) count = 0;
    for (int s = 0; s < n; ++s) ++code.count[lengths[s]];
    if (code.count[0] == n) return 0;  // no symbol at all: nothing will decode
    int left = 1;
    for (int length = 1; length <= kMaxCodeBits; ++length) {
        left = (left << 1) - code.count[length];
        if (left < 0) return left;
    }
    int next[kMaxCodeBits + 1] = {};
    for (int length = 1; length < kMaxCodeBits; ++length) next[length + 1] = next[length] + code.count[length];
    for (int s = 0; s < n; ++s)
        if (lengths[s] != 0) code.symbol[next[lengths[s]]++] = static_cast<std::uint16_t>(s);
    return left;
}

// A literal/length or distance code a stream may send: complete, or a single code of one bit
// (allowed where only one symbol is used).
bool BuildUsable(Huffman& code, const std::uint8_t* lengths, int n) {
    const int left = Build(code, lengths, n);
    return left == 0 || (left > 0 && code.count[0] + code.count[1] == n);
}

std::uint32_t Adler32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t a = 1, b = 0;
    while (n > 0) {
        const std::size_t chunk = n < 5552 ? n : 5552;  // the most that keeps b within 32 bits
        n -= chunk;
        for (std::size_t i = 0; i < chunk; ++i) {
            a += *p++;
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    return b << 16 | a;
}

class Inflater {
public:
    Inflater(const std::uint8_t* data, std::size_t dataSize, std::uint8_t* out, std::size_t size)
        : in_(data), end_(data + dataSize), out_(out), size_(size) {}

    bool Run(InflateTo until) {
        // The zlib header: deflate with a window of at most 32 KiB, its check, no preset dictionary.
        if (end_ - in_ < 2) return false;
        const unsigned cmf = in_[0], flags = in_[1];
        in_ += 2;
        if ((cmf & 0x0F) != 8 || cmf >> 4 > 7 || (cmf << 8 | flags) % 31 != 0 || (flags & 0x20) != 0) return false;
        bool last = false;
        while (!last) {
            last = Bits(1) != 0;
            const std::uint32_t type = Bits(2);
            const bool ok = !failed_ && (type == 0 ? Stored() : type == 1 ? Fixed() : type == 2 && Dynamic());
            if (!ok) return full_ && until == InflateTo::Prefix;
        }
        // After the last block, from the next byte: the Adler-32 of the output, high byte first.
        if (pos_ != size_ || end_ - in_ < 4) return false;
        const std::uint32_t check = static_cast<std::uint32_t>(in_[0]) << 24 | static_cast<std::uint32_t>(in_[1]) << 16 |
                                    static_cast<std::uint32_t>(in_[2]) << 8 | in_[3];
        return check == Adler32(out_, size_);
    }

private:
    // The next `count` bits (at most 13), first bit lowest; past the input's end 0, and failed_.
    std::uint32_t Bits(int count) {
        std::uint32_t value = bitBuffer_;
        while (bitCount_ < count) {
            if (in_ == end_) {
                failed_ = true;
                return 0;
            }
            value |= static_cast<std::uint32_t>(*in_++) << bitCount_;
            bitCount_ += 8;
        }
        bitBuffer_ = value >> count;
        bitCount_ -= count;
        return value & ((1u << count) - 1);
    }

    // False when the output is full (full_).
    bool Put(std::uint8_t byte) {
        if (pos_ == size_) {
            full_ = true;
            return false;
        }
        out_[pos_++] = byte;
        return true;
    }

    // The next symbol in `code`, whose codes come first bit highest; -1 for bits that are no code.
    int Decode(const Huffman& code) {
        int bits = 0, first = 0, index = 0;  // the bits read; the first code of their length and its index
        for (int length = 1; length <= kMaxCodeBits; ++length) {
            bits |= static_cast<int>(Bits(1));
            const int count = code.count[length];
            if (bits - first < count) return failed_ ? -1 : code.symbol[index + bits - first];
            index += count;
            first = (first + count) << 1;
            bits <<= 1;
        }
        return -1;
    }

    bool Stored() {
        bitBuffer_ = 0;  // the rest of the current byte
        bitCount_ = 0;
        if (end_ - in_ < 4) return false;
        std::uint32_t length = static_cast<std::uint32_t>(in_[0] | in_[1] << 8);
        if (static_cast<std::uint32_t>(in_[2] | in_[3] << 8) != (~length & 0xFFFF)) return false;
        in_ += 4;
        for (; length > 0; --length)
            if (in_ == end_ || !Put(*in_++)) return false;
        return true;
    }

    bool Fixed() {
        std::uint8_t lengths[kLiteralCodes];
        for (int s = 0; s < kLiteralCodes; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        Huffman literals, distances;
        Build(literals, lengths, kLiteralCodes);
        for (int s = 0; s < kDistanceCodes; ++s) lengths[s] = 5;
        Build(distances, lengths, kDistanceCodes);
        return Codes(literals, distances);
    }

    bool Dynamic() {
        static const std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        const int literalCount = static_cast<int>(Bits(5)) + 257;
        const int distanceCount = static_cast<int>(Bits(5)) + 1;
        const int lengthCount = static_cast<int>(Bits(4)) + 4;
        if (failed_ || literalCount > kUsableLiteralCodes || distanceCount > kDistanceCodes) return false;
        std::uint8_t lengths[kUsableLiteralCodes + kDistanceCodes] = {};
        for (int i = 0; i < lengthCount; ++i) lengths[kOrder[i]] = static_cast<std::uint8_t>(Bits(3));
        Huffman literals, distances;
        if (failed_ || Build(literals, lengths, 19) != 0) return false;  // the code of the lengths

        // The lengths of both codes, as one sequence with runs.
        const int total = literalCount + distanceCount;
        for (int i = 0; i < total;) {
            const int symbol = Decode(literals);
            if (symbol < 0) return false;
            if (symbol < 16) {
                lengths[i++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            std::uint32_t times;
            if (symbol == 16) {
                if (i == 0) return false;
                repeated = lengths[i - 1];
                times = 3 + Bits(2);
            } else {
                times = symbol == 17 ? 3 + Bits(3) : 11 + Bits(7);
            }
            if (failed_ || times > static_cast<std::uint32_t>(total - i)) return false;
            for (; times > 0; --times) lengths[i++] = repeated;
        }
        if (lengths[kEndOfBlock] == 0 || !BuildUsable(literals, lengths, literalCount) ||
            !BuildUsable(distances, lengths + literalCount, distanceCount))
            return false;
        return Codes(literals, distances);
    }

    // The literals and copies of a block, up to its end.
    bool Codes(const Huffman& literals, const Huffman& distances) {
        static const std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27,
                                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const std::uint16_t kDistanceBase[kDistanceCodes] = {
            1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
            193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static const std::uint8_t kDistanceExtra[kDistanceCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        for (;;) {
            int symbol = Decode(literals);
            if (symbol < 0) return false;
            if (symbol < kEndOfBlock) {
                if (!Put(static_cast<std::uint8_t>(symbol))) return false;
                continue;
            }
            if (symbol == kEndOfBlock) return true;
            symbol -= kEndOfBlock + 1;
            if (symbol >= 29) return false;  // 286 and 287 are in the fixed code but mean nothing
            const std::size_t length = kLengthBase[symbol] + Bits(kLengthExtra[symbol]);
            symbol = Decode(distances);
            if (symbol < 0) return false;
            const std::size_t distance = kDistanceBase[symbol] + Bits(kDistanceExtra[symbol]);
            if (failed_ || distance > pos_) return false;  // before the start of the output
            for (std::size_t i = 0; i < length; ++i)
                if (!Put(out_[pos_ - distance])) return false;
        }
    }

    const std::uint8_t* in_;
    const std::uint8_t* end_;
    std::uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    bool failed_ = false;  // read past the input's end
    std::uint8_t* out_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool full_ = false;  // more to write than `size_` holds
};

}  // namespace

bool Inflate(const std::uint8_t* data, std::size_t dataSize, std::uint8_t* out, std::size_t size, InflateTo until) {
    if (!data || (!out && size > 0)) return false;
    return Inflater(data, dataSize, out, size).Run(until);
}

}  // namespace applet
