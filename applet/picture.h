// Pictures at the screen's scale: the large remote pictures unpacked, resampled to the size that
// the remote type dialog needs at its DPI, and placed in their boxes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace applet {

// A 24-bit picture laid out as a bottom-up DIB: rows of blue, green, red, each padded to 4 bytes.
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> bits;

    static std::size_t Stride(std::int32_t width) {
        return (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    }
};

// Unpacks a zlib-compressed packed DIB (a BITMAPINFOHEADER, then 24-bit rows). Anything else (other
// formats, a size that does not match the header, a damaged stream) gives false and an empty picture.
bool UnpackPicture(const std::uint8_t* data, std::size_t size, Picture* out);

// The picture at width x height: each pixel is the mean of the source area it covers, weighted by
// how much of each source pixel falls inside it. Empty when either size is not positive.
Picture ResamplePicture(const Picture& source, std::int32_t width, std::int32_t height);

struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Where a picture drawn for 96 DPI (width96 x height96 pixels) stands in its box, the box given in
// pixels at the dialog's scale: as large as the box holds with the picture's proportions, centred.
// Up to 5 % larger than drawn, it keeps its own size: at 96 DPI the box was made for it, and a
// stretch by a pixel or two would only blur it.
PixelRect FitPicture(const PixelRect& box, std::int32_t width96, std::int32_t height96);

}  // namespace applet
