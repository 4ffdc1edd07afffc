#include "kovra_writer/box_builder.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace skelder::kovra {
namespace {

TEST(BoxBuilder, BoxPrefixesTotalSizeAndType) {
    EXPECT_EQ(box("free", Bytes{1, 2, 3}), (Bytes{0, 0, 0, 11, 'f', 'r', 'e', 'e', 1, 2, 3}));
    EXPECT_EQ(box("skip", {}), (Bytes{0, 0, 0, 8, 's', 'k', 'i', 'p'}));
}

TEST(BoxBuilder, FullBoxPayloadStartsWithVersionAndFlags) {
    EXPECT_EQ(fullBoxPayload(1, 0x000003, Bytes{0xAA}), (Bytes{1, 0, 0, 3, 0xAA}));
    EXPECT_EQ(fullBoxPayload(0, 0xABCDEF, {}), (Bytes{0, 0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(fullBox("nmhd", 0, 0, {}), (Bytes{0, 0, 0, 12, 'n', 'm', 'h', 'd', 0, 0, 0, 0}));
}

TEST(BoxBuilder, LargeBoxHasSizeFieldOneAndA64BitSize) {
    EXPECT_EQ(largeBox("mdat", Bytes{7}),
              (Bytes{0, 0, 0, 1, 'm', 'd', 'a', 't', 0, 0, 0, 0, 0, 0, 0, 17, 7}));
    EXPECT_EQ(largeBox("free", {}),
              (Bytes{0, 0, 0, 1, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 0, 0, 0, 16}));
}

TEST(BoxBuilder, ForgedSizeFieldsAreWrittenAsGiven) {
    EXPECT_EQ(boxWithSizeField("trak", 0, Bytes{1}), (Bytes{0, 0, 0, 0, 't', 'r', 'a', 'k', 1}));
    EXPECT_EQ(boxWithSizeField("trak", 4, {}), (Bytes{0, 0, 0, 4, 't', 'r', 'a', 'k'}));
    EXPECT_EQ(boxWithSizeField("moov", 0x01000000, Bytes{5, 6}),
              (Bytes{1, 0, 0, 0, 'm', 'o', 'o', 'v', 5, 6}));
    EXPECT_EQ(largeBoxWithSize("moov", 15, {}),
              (Bytes{0, 0, 0, 1, 'm', 'o', 'o', 'v', 0, 0, 0, 0, 0, 0, 0, 15}));
    EXPECT_EQ(largeBoxWithSize("mdat", 0x0102030405060708, Bytes{9}),
              (Bytes{0, 0, 0, 1, 'm', 'd', 'a', 't', 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(BoxBuilder, HeaderSwitchesToA64BitSizeAboveFourGiB) {
    // 8 + 0xFFFFFFF7 is the largest box a 32-bit size describes.
    EXPECT_EQ(boxHeader("mdat", 0xFFFFFFF7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'm', 'd', 'a', 't'}));
    EXPECT_EQ(boxHeader("mdat", 0xFFFFFFF8),
              (Bytes{0, 0, 0, 1, 'm', 'd', 'a', 't', 0, 0, 0, 1, 0, 0, 0, 8}));
    EXPECT_EQ(boxHeader("mdat", 4, true),
              (Bytes{0, 0, 0, 1, 'm', 'd', 'a', 't', 0, 0, 0, 0, 0, 0, 0, 20}));
    EXPECT_EQ(boxHeader("mdat", 4), (Bytes{0, 0, 0, 12, 'm', 'd', 'a', 't'}));
}

TEST(BoxBuilder, RejectsTypesThatAreNotFourCharacters) {
    EXPECT_THROW(box("abc", {}), std::invalid_argument);
    EXPECT_THROW(largeBox("abcde", {}), std::invalid_argument);
}

TEST(BoxBuilder, ConcatenatesInOrder) {
    const Bytes a{1, 2};
    const Bytes b{};
    const Bytes c{3};
    EXPECT_EQ(concat({a, b, c}), (Bytes{1, 2, 3}));
    EXPECT_EQ(concatAll({c, a, c}), (Bytes{3, 1, 2, 3}));
    EXPECT_TRUE(concatAll({}).empty());
}

}  // namespace
}  // namespace skelder::kovra
