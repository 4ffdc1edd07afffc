#include <cstddef>
#include <cstdint>

#include "fuzz/exercise.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    skelder::fuzz::exerciseExtraction(data, size);
    return 0;
}
