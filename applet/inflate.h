// Inflating zlib streams (deflate data in the zlib wrapper, with its Adler-32 check) into a buffer
// of a size known beforehand.
#pragma once

#include <cstddef>
#include <cstdint>

namespace applet {

enum class InflateTo {
    End,     // the stream must give exactly `size` bytes, end there, and its check must match
    Prefix,  // only its first `size` bytes are wanted: success once they are out
};

// Inflates the zlib stream data[0, dataSize) into out[0, size). False for a damaged, truncated or
// unsupported stream (a preset dictionary), and with InflateTo::End for one that gives more or
// fewer bytes than `size`. Never reads or writes outside the two buffers; bytes after the stream's
// end are ignored. On failure `out` holds whatever was inflated before the fault.
bool Inflate(const std::uint8_t* data, std::size_t dataSize, std::uint8_t* out, std::size_t size, InflateTo until);

}  // namespace applet
