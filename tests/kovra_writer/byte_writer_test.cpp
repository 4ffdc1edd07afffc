#include "kovra_writer/byte_writer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace skelder::kovra {
namespace {

TEST(ByteWriter, WritesUnsignedIntegersBigEndian) {
    ByteWriter w;
    w.u8(0xAB);
    w.u16(0x1234);
    w.u32(0xDEADBEEF);
    w.u64(0x0102030405060708);
    EXPECT_EQ(w.bytes(), (Bytes{0xAB, 0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ByteWriter, WritesSignedIntegersAsTwosComplement) {
    ByteWriter w;
    w.i8(-1);
    w.i16(-2);
    w.i32(-3);
    w.i64(std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(w.bytes(),
              (Bytes{0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFD, 0x80, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ByteWriter, WritesIeeeFloatsBigEndian) {
    ByteWriter w;
    w.f32(1.0f);
    w.f32(-2.5f);
    w.f64(1.0);
    w.f64(-0.1);
    EXPECT_EQ(w.bytes(), (Bytes{0x3F, 0x80, 0, 0, 0xC0, 0x20, 0,    0,    0x3F, 0xF0, 0,    0,
                                0,    0,    0, 0, 0xBF, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}));
}

TEST(ByteWriter, WritesTheLowBytesOfAnUnsignedValue) {
    ByteWriter w;
    w.unsignedN(0x11223344, 3);
    w.unsignedN(0xFFFF, 1);
    EXPECT_EQ(w.bytes(), (Bytes{0x22, 0x33, 0x44, 0xFF}));
    EXPECT_THROW(w.unsignedN(1, 0), std::invalid_argument);
    EXPECT_THROW(w.unsignedN(1, 9), std::invalid_argument);
}

TEST(ByteWriter, WritesFourccRawBytesZerosAndTerminatedText) {
    ByteWriter w;
    w.fourcc("adco");
    w.cstring("ab");
    w.cstring("");
    w.raw(Bytes{9, 8});
    w.zeros(2);
    EXPECT_EQ(w.bytes(), (Bytes{'a', 'd', 'c', 'o', 'a', 'b', 0, 0, 9, 8, 0, 0}));
}

TEST(ByteWriter, RejectsFourccOfOtherLengths) {
    ByteWriter w;
    EXPECT_THROW(w.fourcc("abc"), std::invalid_argument);
    EXPECT_THROW(w.fourcc("abcde"), std::invalid_argument);
    EXPECT_EQ(w.size(), 0u);
}

TEST(ByteWriter, PatchesWrittenBytesInPlace) {
    ByteWriter w;
    w.u32(0);
    w.u64(0);
    w.u8(9);
    w.patchU32(0, 0xAABBCCDD);
    w.patchU64(4, 0x0102030405060708);
    EXPECT_EQ(w.bytes(), (Bytes{0xAA, 0xBB, 0xCC, 0xDD, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(ByteWriter, RejectsPatchesPastTheEnd) {
    ByteWriter w;
    w.zeros(13);
    EXPECT_NO_THROW(w.patchU32(9, 1));
    EXPECT_THROW(w.patchU32(10, 1), std::out_of_range);
    EXPECT_THROW(w.patchU64(6, 1), std::out_of_range);
    EXPECT_THROW(w.patchU32(100, 1), std::out_of_range);
    EXPECT_EQ(w.bytes(), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(ByteWriter, TakeMovesTheBuffer) {
    ByteWriter w;
    w.u16(0x0102);
    EXPECT_EQ(std::move(w).take(), (Bytes{1, 2}));
}

}  // namespace
}  // namespace skelder::kovra
