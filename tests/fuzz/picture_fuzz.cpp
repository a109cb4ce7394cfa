// The unpacking of the large remote pictures over arbitrary bytes, from seeds that are good streams
// of each block kind. Invariant: a picture comes out whole, as large as its header says and within
// the size limit, or not at all. Reads and writes outside the buffers are the sanitizers' to find.
#include "fuzz_input.h"
#include "picture.h"

using namespace applet;

int FuzzPicture(const std::uint8_t* data, std::size_t size) {
    Picture picture;
    picture.width = 7;
    if (UnpackPicture(data, size, &picture)) {
        FUZZ_CHECK(picture.width > 0 && picture.height > 0 && picture.width <= 4096 && picture.height <= 4096,
                   "a picture of " + std::to_string(picture.width) + " x " + std::to_string(picture.height));
        FUZZ_CHECK(picture.bits.size() == Picture::Stride(picture.width) * static_cast<std::size_t>(picture.height),
                   "the rows do not match the size");
    } else {
        FUZZ_CHECK(picture.width == 0 && picture.height == 0 && picture.bits.empty(), "a refused picture left behind");
    }
    return 0;
}
