#include "picture.h"

#include "inflate.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace applet {

namespace {

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::int32_t kLargestSide = 4096;  // far beyond any picture of ours; bounds the memory

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// Weights of the source pixels that target pixel `index` covers when `from` pixels become `to`.
struct Span {
    std::int32_t first = 0;
    std::vector<double> weights;  // summing to 1
};

std::vector<Span> Spans(std::int32_t from, std::int32_t to) {
    std::vector<Span> spans(static_cast<std::size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (std::int32_t i = 0; i < to; ++i) {
        const double begin = i * step;
        const double end = (i + 1) * step;
        Span& span = spans[static_cast<std::size_t>(i)];
        span.first = std::min(static_cast<std::int32_t>(begin), from - 1);
        for (std::int32_t s = span.first; s < from && s < end; ++s)
            span.weights.push_back((std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s))) / step);
    }
    return spans;
}

}  // namespace

bool UnpackPicture(const std::uint8_t* data, std::size_t size, Picture* out) {
    *out = Picture{};
    std::uint8_t header[kInfoHeaderSize];
    if (!data || !Inflate(data, size, header, sizeof header, InflateTo::Prefix)) return false;
    const std::int32_t width = static_cast<std::int32_t>(Le32(header + 4));
    const std::int32_t height = static_cast<std::int32_t>(Le32(header + 8));
    const bool plain24 = Le32(header) == kInfoHeaderSize && Le16(header + 12) == 1 && Le16(header + 14) == 24 &&
                         Le32(header + 16) == 0;
    if (!plain24 || width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) return false;
    // Deflate makes at most 1032 bytes of each byte: a stream too short for the size its header
    // gives is refused before the memory is taken.
    const std::size_t dibSize = kInfoHeaderSize + Picture::Stride(width) * static_cast<std::size_t>(height);
    if (dibSize / 1032 > size) return false;
    // Inflated again from the start, header and all, into a buffer that holds exactly the picture.
    std::vector<std::uint8_t> dib(dibSize);
    if (!Inflate(data, size, dib.data(), dib.size(), InflateTo::End)) return false;
    dib.erase(dib.begin(), dib.begin() + kInfoHeaderSize);
    out->width = width;
    out->height = height;
    out->bits = std::move(dib);
    return true;
}

Picture ResamplePicture(const Picture& source, std::int32_t width, std::int32_t height) {
    Picture target;
    if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0 ||
        source.bits.size() < Picture::Stride(source.width) * static_cast<std::size_t>(source.height))
        return target;
    // Across first, into rows of the target's width; then down.
    const std::vector<Span> across = Spans(source.width, width);
    const std::vector<Span> down = Spans(source.height, height);
    const std::size_t rowValues = static_cast<std::size_t>(width) * 3;
    std::vector<double> rows(rowValues * static_cast<std::size_t>(source.height));
    for (std::int32_t y = 0; y < source.height; ++y) {
        const std::uint8_t* from = source.bits.data() + Picture::Stride(source.width) * static_cast<std::size_t>(y);
        double* to = rows.data() + rowValues * static_cast<std::size_t>(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const Span& span = across[static_cast<std::size_t>(x)];
            for (std::size_t k = 0; k < span.weights.size(); ++k)
                for (int c = 0; c < 3; ++c)
                    to[x * 3 + c] += span.weights[k] * from[(span.first + static_cast<std::int32_t>(k)) * 3 + c];
        }
    }
    target.width = width;
    target.height = height;
    target.bits.assign(Picture::Stride(width) * static_cast<std::size_t>(height), 0);
    for (std::int32_t y = 0; y < height; ++y) {
        const Span& span = down[static_cast<std::size_t>(y)];
        std::uint8_t* to = target.bits.data() + Picture::Stride(width) * static_cast<std::size_t>(y);
        for (std::size_t v = 0; v < rowValues; ++v) {
            double sum = 0;
            for (std::size_t k = 0; k < span.weights.size(); ++k)
                sum += span.weights[k] * rows[rowValues * (span.first + k) + v];
            to[v] = static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
        }
    }
    return target;
}

PixelRect FitPicture(const PixelRect& box, std::int32_t width96, std::int32_t height96) {
    PixelRect fit{box.left, box.top, width96, height96};
    if (width96 <= 0 || height96 <= 0) return fit;
    const double scale = std::min(static_cast<double>(box.width) / width96, static_cast<double>(box.height) / height96);
    if (scale > 1.05) {
        fit.width = std::min(box.width, static_cast<std::int32_t>(std::lround(width96 * scale)));
        fit.height = std::min(box.height, static_cast<std::int32_t>(std::lround(height96 * scale)));
    }
    fit.left = box.left + (box.width - fit.width) / 2;
    fit.top = box.top + (box.height - fit.height) / 2;
    return fit;
}

}  // namespace applet
