#pragma once

#include <cstddef>
#include <cstdint>

namespace skelder::fuzz {

// Runs a byte sequence through the whole extraction in every flag combination and touches
// every part of the result. Extraction errors are expected; anything else is a fault.
void exerciseExtraction(const std::uint8_t* data, std::size_t size);

}  // namespace skelder::fuzz
