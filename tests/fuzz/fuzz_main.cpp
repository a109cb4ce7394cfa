// libFuzzer's entry point for one target; FUZZ_TARGET names the target's function.
#include <cstddef>
#include <cstdint>

int FUZZ_TARGET(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FUZZ_TARGET(data, size);
}
