#include "telemetry/binary_reader.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/extraction_matchers.hpp"

namespace skelder {
namespace {

using Bytes = std::vector<std::uint8_t>;

double readRaw(const Bytes& bytes, std::uint8_t rawType) {
    BinaryReader reader(bytes, 0, static_cast<std::int64_t>(bytes.size()));
    return reader.readRawValue(rawType);
}

TEST(BinaryReader, RawValuesConvertSignedAndUnsignedDifferently) {
    EXPECT_EQ(readRaw({0xFF, 0xFE}, 3), -2.0);
    EXPECT_EQ(readRaw({0xFF, 0xFE}, 4), 65534.0);
    const Bytes allOnes(8, 0xFF);
    EXPECT_EQ(readRaw(allOnes, 8), 18446744073709551615.0);
    EXPECT_EQ(readRaw(allOnes, 7), -1.0);
    EXPECT_EQ(readRaw({0x80}, 1), -128.0);
    EXPECT_EQ(readRaw({0x80}, 2), 128.0);
    EXPECT_EQ(readRaw({0xFF, 0xFF, 0xFF, 0xFE}, 5), -2.0);
    EXPECT_EQ(readRaw({0xFF, 0xFF, 0xFF, 0xFE}, 6), 4294967294.0);
    EXPECT_EQ(readRaw({0x3F, 0xC0, 0x00, 0x00}, 9), 1.5);
    EXPECT_EQ(readRaw({0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}, 10), 3.141592653589793);
}

TEST(BinaryReader, ReadsPastTheLimitFailAndKeepTheCursor) {
    const Bytes bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    // The limit is 3 although the buffer holds more: reads stay inside their box.
    BinaryReader reader(bytes, 1, 4);
    EXPECT_EQ(reader.readU16(), 0x0102);
    EXPECT_DECODE_FAILED(reader.readU16(), "Binary read out of bounds");
    EXPECT_EQ(reader.cursor(), 3);
    EXPECT_EQ(reader.readU8(), 3);
    EXPECT_DECODE_FAILED(reader.readU8(), "Binary read out of bounds");
    EXPECT_DECODE_FAILED(reader.readRawValue(10), "Binary read out of bounds");
    EXPECT_EQ(reader.cursor(), 4);
}

TEST(BinaryReader, NullTerminatedStrings) {
    const Bytes bytes{'a', 'b', 0, 'c', 0xC3, 0x28, 0, 'x'};
    BinaryReader reader(bytes, 0, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(reader.readNullTerminatedString(), "ab");
    EXPECT_EQ(reader.cursor(), 3);
    // Invalid UTF-8 gives an empty text but still consumes up to the terminator.
    EXPECT_EQ(reader.readNullTerminatedString(), "");
    EXPECT_EQ(reader.cursor(), 7);
    EXPECT_DECODE_FAILED(reader.readNullTerminatedString(),
                         "Missing null-terminated string terminator");
    EXPECT_EQ(reader.cursor(), 7);
    reader.readU8();
    // At the limit the string read reports the missing terminator, not a bounds error.
    EXPECT_DECODE_FAILED(reader.readNullTerminatedString(),
                         "Missing null-terminated string terminator");
}

}  // namespace
}  // namespace skelder
