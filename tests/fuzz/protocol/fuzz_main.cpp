// libFuzzer entry point; TARNWICK_FUZZ_BODY names the body it drives.
#include "fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::TARNWICK_FUZZ_BODY(data, size);
}
