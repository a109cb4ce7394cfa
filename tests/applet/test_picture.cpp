// The remote pictures at the dialog's scale: unpacking, resampling and placing them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "picture.h"

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

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
    uLongf size = compressBound(data.size());
    std::vector<std::uint8_t> out(size);
    EXPECT_EQ(Z_OK, compress(out.data(), &size, data.data(), data.size()));
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> ReadArt(const std::string& name) {
    std::ifstream file(std::string(ART_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(Picture, UnpacksA24BitDibAndRefusesEverythingElse) {
    // 2 x 2 pixels: rows of 6 bytes padded to 8.
    const std::vector<std::uint8_t> pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    Picture picture;
    const std::vector<std::uint8_t> packed = Deflate(Dib(2, 2, 24, pixels));
    ASSERT_TRUE(UnpackPicture(packed.data(), packed.size(), &picture));
    EXPECT_EQ(2, picture.width);
    EXPECT_EQ(2, picture.height);
    EXPECT_EQ(pixels, picture.bits);

    const std::vector<std::uint8_t> shortRows(pixels.begin(), pixels.end() - 1);
    const std::vector<std::uint8_t> longRows = [&] { auto p = pixels; p.push_back(0); return p; }();
    const std::vector<std::vector<std::uint8_t>> bad = {
        Deflate(Dib(2, 2, 32, pixels)),                 // not 24-bit
        Deflate(Dib(2, 2, 24, shortRows)),              // a pixel short
        Deflate(Dib(2, 2, 24, longRows)),               // more than the header counts
        Deflate(Dib(2, -2, 24, pixels)),                // top-down
        Deflate(Dib(100000, 100000, 24, pixels)),       // absurd size
        std::vector<std::uint8_t>(packed.begin(), packed.end() - 6),  // cut short
        Dib(2, 2, 24, pixels),                          // not compressed
    };
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
