// The remote pictures at the dialog's scale: unpacking, resampling and placing them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "picture.h"

namespace {

std::vector<std::uint8_t> Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

// A packed DIB: the 40-byte header and `pixels` as they are.
std::vector<std::uint8_t> Dib(std::int32_t width, std::int32_t height, std::uint16_t bits,
                              const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> dib;
    for (std::uint32_t v : {40u, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}) {
        const auto b = Le32(v);
        dib.insert(dib.end(), b.begin(), b.end());
    }
    dib.insert(dib.end(), {1, 0, static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8)});
    dib.resize(40, 0);
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

    // A flat colour stays flat at any scale, up or down, including the padded rows' edges.
    Picture flat{5, 4, {}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) flat.bits.insert(flat.bits.end(), {10, 120, 250});
        flat.bits.insert(flat.bits.end(), {0});
    }
    for (auto [w, h] : {std::pair{7, 9}, std::pair{3, 3}, std::pair{1, 1}, std::pair{13, 2}}) {
        const Picture scaled = ResamplePicture(flat, w, h);
        ASSERT_EQ(Picture::Stride(w) * h, scaled.bits.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ((std::vector<std::uint8_t>{10, 120, 250}),
                          std::vector<std::uint8_t>(scaled.bits.begin() + Picture::Stride(w) * y + x * 3,
                                                    scaled.bits.begin() + Picture::Stride(w) * y + x * 3 + 3))
                    << w << "x" << h << " at " << x << "," << y;
    }
    EXPECT_TRUE(ResamplePicture(flat, 0, 3).bits.empty());
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

TEST(Picture, FitsTheBoxCentredAndKeepsItsOwnSizeWhereTheBoxWasMadeForIt) {
    // 96 DPI: the box (43 x 148 dialog units of a 6 x 13 font) holds the 62 x 240 picture.
    PixelRect fit = FitPicture({22, 49, 65, 241}, 62, 240);
    EXPECT_EQ(62, fit.width);
    EXPECT_EQ(240, fit.height);
    EXPECT_EQ(23, fit.left);
    EXPECT_EQ(49, fit.top);
    // 120 DPI (7 x 16): the box limits the width; the picture keeps its proportions and its centre.
    fit = FitPicture({262, 60, 175, 296}, 150, 240);
    EXPECT_EQ(175, fit.width);
    EXPECT_EQ(280, fit.height);
    EXPECT_EQ(262, fit.left);
    EXPECT_EQ(68, fit.top);
    // 192 DPI (13 x 24): the height limits.
    fit = FitPicture({48, 90, 139, 444}, 62, 240);
    EXPECT_EQ(444, fit.height);
    EXPECT_EQ(115, fit.width);
    EXPECT_EQ(48 + 12, fit.left);
}
