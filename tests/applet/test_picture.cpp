// The remote pictures at the dialog's scale: unpacking, resampling and placing them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "picture.h"

namespace applet {
namespace {

// A packed DIB: the 40-byte header (size, width, height, planes, bits; the rest 0) and `pixels`.
std::vector<std::uint8_t> Dib(std::int32_t width, std::int32_t height, std::uint16_t bits,
                              const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> dib(40, 0);
    const std::uint32_t fields[] = {40, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                    1u | static_cast<std::uint32_t>(bits) << 16};
    for (int i = 0; i < 16; ++i) dib[i] = static_cast<std::uint8_t>(fields[i / 4] >> (i % 4 * 8));
    dib.insert(dib.end(), pixels.begin(), pixels.end());
    return dib;
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, int level = Z_BEST_COMPRESSION) {
    uLongf size = compressBound(data.size());
    std::vector<std::uint8_t> out(size);
    EXPECT_EQ(Z_OK, compress2(out.data(), &size, data.data(), data.size(), level));
    out.resize(size);
    return out;
}

// A zlib stream written by hand, field by field, each first bit lowest as the format packs them.
struct Stream {
    std::vector<std::uint8_t> bytes{0x78, 0x01};  // deflate, 32 KiB window
    int used = 8;                                 // bits used of the last byte

    Stream& Bits(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i, ++used) {
            if (used == 8) bytes.push_back(0), used = 0;
            bytes.back() = static_cast<std::uint8_t>(bytes.back() | (value >> i & 1) << used);
        }
        return *this;
    }
    Stream& Code(std::uint32_t code, int length) {  // Huffman codes go first bit highest
        for (int i = length - 1; i >= 0; --i) Bits(code >> i, 1);
        return *this;
    }
    Stream& Stored(const std::vector<std::uint8_t>& data, bool last, std::uint16_t lengthFlip = 0xFFFF) {
        Bits(last, 3);
        while (used != 8) Bits(1, 1);  // up to the byte's end; the padding means nothing
        const std::uint16_t length = static_cast<std::uint16_t>(data.size()), flipped = length ^ lengthFlip;
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                   static_cast<std::uint8_t>(flipped), static_cast<std::uint8_t>(flipped >> 8)});
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    // Ends the stream with the Adler-32 of what it inflates to.
    std::vector<std::uint8_t> Checked(const std::vector<std::uint8_t>& inflated) const {
        std::vector<std::uint8_t> out = bytes;
        const uLong check = adler32(1, inflated.data(), static_cast<uInt>(inflated.size()));
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(check >> shift));
        return out;
    }
};

// `zlib` with its header's first byte and flags replaced, the header check made right unless `badCheck`.
std::vector<std::uint8_t> WithHeader(std::vector<std::uint8_t> zlib, std::uint8_t cmf, std::uint8_t flags,
                                     bool badCheck = false) {
    zlib[0] = cmf;
    zlib[1] = static_cast<std::uint8_t>(flags + (31 - (cmf << 8 | flags) % 31) % 31 + badCheck);
    return zlib;
}

std::vector<std::uint8_t> ReadArt(const std::string& name) {
    std::ifstream file(std::string(ART_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(Picture, UnpacksA24BitDibAndRefusesEverythingElse) {
    // 2 x 2 pixels: rows of 6 bytes padded to 8; the fixed code gives 0-143 8 bits, 144-255 9.
    const std::vector<std::uint8_t> pixels = {1, 2, 3, 4, 143, 144, 0, 0, 7, 8, 9, 10, 255, 12, 0, 0};
    const std::vector<std::uint8_t> packed = Deflate(Dib(2, 2, 24, pixels));
    const std::vector<std::uint8_t> stored = Deflate(Dib(2, 2, 24, pixels), Z_NO_COMPRESSION);

    // By hand: the header and one byte stored, then a fixed-code block copying 3 bytes from the
    // very start and 12 from the byte before (the copy overlapping itself).
    const std::vector<std::uint8_t> start = Dib(2, 2, 24, {7});
    // The header and a byte stored, then the last block: of fixed (1) or dynamic (2) codes.
    const auto storedThen = [&](std::uint32_t type = 1) { return Stream().Stored(start, false).Bits(1 | type << 1, 3); };
    const auto copies = [&](std::uint32_t firstDistanceExtra) {
        return storedThen()
            .Code(1, 7).Code(10, 5).Bits(firstDistanceExtra, 4)  // 3 bytes from 33 + extra back
            .Code(9, 7).Bits(1, 1).Code(0, 5)                  // 12 bytes from 1 back
            .Code(0, 7);                                       // end of block
    };
    std::vector<std::uint8_t> copied = start;
    for (const int distance : {41, 41, 41, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1})
        copied.push_back(copied[copied.size() - distance]);
    const std::vector<std::uint8_t> byHand = copies(8).Checked(copied);

    // By hand with dynamic codes: 15 literal 7s. The literal/length code has two codes ("0": 7,
    // "1": end of block), the distance code none; the code of their lengths: 18 "0", 0 "10", 1 "11".
    Stream sevens = storedThen(2).Bits(0, 5).Bits(29, 5).Bits(14, 4);  // 257 and 30 codes; 18 lengths:
    for (const int length : {0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}) sevens.Bits(length, 3);
    for (int i = 0; i < 7; ++i) sevens.Code(2, 2);                         // 0-6: none
    sevens.Code(3, 2).Code(0, 1).Bits(127, 7).Code(0, 1).Bits(99, 7);       // 7: 1 bit; 8-255: none
    sevens.Code(3, 2).Code(0, 1).Bits(19, 7);                              // 256: 1 bit; distances: none
    for (int i = 0; i < 15; ++i) sevens.Code(0, 1);
    std::vector<std::uint8_t> sevensDib = start;
    sevensDib.resize(56, 7);
    const std::vector<std::uint8_t> dynamicByHand = sevens.Code(1, 1).Checked(sevensDib);

    Picture picture;
    const std::pair<const std::vector<std::uint8_t>*, std::vector<std::uint8_t>> good[] = {
        {&packed, pixels}, {&stored, pixels},
        {&byHand, {copied.begin() + 40, copied.end()}}, {&dynamicByHand, std::vector<std::uint8_t>(16, 7)}};
    for (const auto& [stream, bits] : good) {
        ASSERT_TRUE(UnpackPicture(stream->data(), stream->size(), &picture));
        EXPECT_EQ(2, picture.width);
        EXPECT_EQ(2, picture.height);
        EXPECT_EQ(bits, picture.bits);
    }

    const std::vector<std::uint8_t> shortRows(pixels.begin(), pixels.end() - 1);
    const std::vector<std::uint8_t> longRows = [&] { auto p = pixels; p.push_back(0); return p; }();
    // A dynamic-code block after it: the counts of codes, and the code of the code lengths, where
    // length 0 is "0" and `repeat` (16: the last length again, 18: zeros) is "1".
    const auto dynamic = [&](int literals, int distances, int repeat) {
        Stream stream = storedThen(2);
        stream.Bits(literals - 257, 5).Bits(distances - 1, 5).Bits(0, 4);  // lengths of 16, 17, 18, 0 follow
        for (const int symbol : {16, 17, 18, 0}) stream.Bits(symbol == 0 || symbol == repeat, 3);
        return stream;
    };
    std::vector<std::vector<std::uint8_t>> bad = {
        Deflate(Dib(2, 2, 32, pixels)),                 // not 24-bit
        Deflate(Dib(2, 2, 24, shortRows)),              // a pixel short
        Deflate(Dib(2, 2, 24, longRows)),               // more than the header counts
        Deflate(Dib(2, -2, 24, pixels)),                // top-down
        Deflate(Dib(100000, 100000, 24, pixels)),       // absurd size
        Dib(2, 2, 24, pixels),                          // not compressed
        WithHeader(packed, 0x77, 0),                    // not deflate
        WithHeader(packed, 0x88, 0),                    // a window beyond 32 KiB
        WithHeader(packed, 0x78, 0x20),                 // a preset dictionary
        WithHeader(packed, 0x78, 0, true),              // header check
        [&] { auto p = packed; p.back() ^= 1; return p; }(),  // Adler-32
        copies(9).Checked(copied),                      // a copy from one byte before the start
        storedThen().Code(0xC6, 8).Checked(copied),     // length symbol 286
        storedThen().Code(1, 7).Code(30, 5).Checked(copied),  // distance symbol 30
        Stream().Stored(Dib(2, 2, 24, pixels), true, 0xFFFE).Checked(Dib(2, 2, 24, pixels)),  // lengths disagree
        Stream().Stored(Dib(2, 2, 24, shortRows), true).Checked(Dib(2, 2, 24, pixels)),  // short, its check right
        // Dynamic codes: more literal/length or distance codes than there are, lengths running past
        // the codes announced, a length repeated with none before.
        dynamic(288, 30, 18).Code(1, 1).Bits(127, 7).Code(1, 1).Bits(127, 7).Code(1, 1).Bits(31, 7).Checked(copied),
        dynamic(286, 32, 18).Code(1, 1).Bits(127, 7).Code(1, 1).Bits(127, 7).Code(1, 1).Bits(31, 7).Checked(copied),
        dynamic(286, 30, 18).Code(1, 1).Bits(127, 7).Code(1, 1).Bits(127, 7).Code(1, 1).Bits(127, 7).Checked(copied),
        dynamic(257, 1, 16).Code(1, 1).Bits(0, 2).Checked(copied),
    };
    // Cut anywhere, a good stream is refused.
    for (const auto& [stream, bits] : good)
        for (std::size_t size = 0; size < stream->size(); ++size) bad.emplace_back(stream->begin(), stream->begin() + size);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        picture.width = 7;
        EXPECT_FALSE(UnpackPicture(bad[i].data(), bad[i].size(), &picture)) << "case " << i;
        EXPECT_EQ(0, picture.width) << "case " << i;
        EXPECT_TRUE(picture.bits.empty()) << "case " << i;
    }
}

TEST(Picture, ResamplingWeighsEachSourcePixelByTheAreaItCovers) {
    // Three pixels in a row become two: each target pixel covers one and a half source pixels.
    Picture row{3, 1, {0, 0, 0, 90, 90, 90, 180, 180, 180, 0, 0, 0}};
    Picture two = ResamplePicture(row, 2, 1);
    ASSERT_EQ(8u, two.bits.size());  // one row of 6 bytes, padded
    EXPECT_EQ(30, two.bits[0]);   // (0 * 1 + 90 * 0.5) / 1.5
    EXPECT_EQ(150, two.bits[3]);  // (90 * 0.5 + 180 * 1) / 1.5

    EXPECT_TRUE(ResamplePicture(row, 0, 1).bits.empty());
}

// The large pictures that the dialog shows above 96 DPI are the same drawings as the small ones:
// halved, they match the small pictures pixel for pixel, up to the softer edges.
TEST(Picture, LargeRemotePicturesAreTheSmallOnesAtTwiceTheSize) {
    for (const char* name : {"remote51", "remote32", "remote28"}) {
        const std::vector<std::uint8_t> large = ReadArt(std::string(name) + "_2x.dibz");
        Picture picture;
        ASSERT_TRUE(UnpackPicture(large.data(), large.size(), &picture)) << name;
        const std::vector<std::uint8_t> bmp = ReadArt(std::string(name) + ".bmp");
        ASSERT_GT(bmp.size(), 54u) << name;
        const std::int32_t width = static_cast<std::int32_t>(bmp[18] | bmp[19] << 8);
        const std::int32_t height = static_cast<std::int32_t>(bmp[22] | bmp[23] << 8);
        EXPECT_EQ(2 * width, picture.width) << name;
        EXPECT_EQ(2 * height, picture.height) << name;
        // Exactly what zlib makes of it.
        uLongf size = 40 + picture.bits.size() + 1;
        std::vector<std::uint8_t> dib(size);
        ASSERT_EQ(Z_OK, uncompress(dib.data(), &size, large.data(), large.size())) << name;
        EXPECT_EQ(40 + picture.bits.size(), size) << name;
        EXPECT_TRUE(std::equal(picture.bits.begin(), picture.bits.end(), dib.begin() + 40)) << name;
        const Picture halved = ResamplePicture(picture, width, height);
        ASSERT_EQ(bmp.size() - 54, halved.bits.size()) << name;
        long difference = 0;
        for (std::size_t i = 0; i < halved.bits.size(); ++i) difference += std::abs(halved.bits[i] - bmp[54 + i]);
        EXPECT_LT(static_cast<double>(difference) / halved.bits.size(), 1.5) << name;
    }
}

std::vector<std::int32_t> Fitted(PixelRect box, std::int32_t width96, std::int32_t height96) {
    const PixelRect fit = FitPicture(box, width96, height96);
    return {fit.left, fit.top, fit.width, fit.height};
}

TEST(Picture, FitsTheBoxCentredAndKeepsItsOwnSizeWhereTheBoxWasMadeForIt) {
    // 96 DPI: the box (43 x 148 dialog units of a 6 x 13 font) holds the 62 x 240 picture as drawn.
    EXPECT_EQ((std::vector<std::int32_t>{23, 49, 62, 240}), Fitted({22, 49, 65, 241}, 62, 240));
    // 120 DPI (7 x 16): the width limits; the picture keeps its proportions and its centre.
    EXPECT_EQ((std::vector<std::int32_t>{262, 68, 175, 280}), Fitted({262, 60, 175, 296}, 150, 240));
    // 192 DPI (13 x 24): the height limits.
    EXPECT_EQ((std::vector<std::int32_t>{60, 90, 115, 444}), Fitted({48, 90, 139, 444}, 62, 240));
}
}  // namespace applet
