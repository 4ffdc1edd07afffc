#include "telemetry/mp4_box.hpp"

#include <gtest/gtest.h>

#include "kovra_writer/box_builder.hpp"
#include "tests/support/extraction_matchers.hpp"

namespace skelder {
namespace {

using kovra::Bytes;

std::vector<MP4BoxHeader> listAll(const Bytes& bytes) {
    return listChildBoxes(bytes, 0, static_cast<std::int64_t>(bytes.size()));
}

TEST(MP4Box, ListsConsecutiveBoxesAndIgnoresShortTail) {
    const Bytes payload{1, 2, 3};
    Bytes bytes = kovra::concat({kovra::box("ftyp", payload), kovra::box("free", {})});
    bytes.insert(bytes.end(), 7, 0xAA);  // seven trailing bytes: not a box, not an error
    const auto boxes = listAll(bytes);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].type, "ftyp");
    EXPECT_EQ(boxes[0].size, 11);
    EXPECT_EQ(boxes[0].offset, 0);
    EXPECT_EQ(boxes[0].headerSize, 8);
    EXPECT_EQ(boxes[1].offset, 11);
    EXPECT_EQ(boxes[1].size, 8);
    EXPECT_NE(findFirstBox(boxes, "free"), nullptr);
    EXPECT_EQ(findFirstBox(boxes, "FREE"), nullptr);
}

TEST(MP4Box, SizeZeroSpansToTheEndOfTheRange) {
    const Bytes bytes = kovra::concat(
        {kovra::box("ftyp", Bytes(4, 0)), kovra::boxWithSizeField("mdat", 0, Bytes(20, 0))});
    const auto boxes = listAll(bytes);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].size, 28);
    EXPECT_EQ(boxes[1].payloadEnd(), static_cast<std::int64_t>(bytes.size()));
}

TEST(MP4Box, LargeSizeHeaders) {
    const auto empty = kovra::largeBoxWithSize("mdat", 16, {});
    const auto header = parseBoxHeader(empty, 0, 16);
    EXPECT_EQ(header.size, 16);
    EXPECT_EQ(header.headerSize, 16);
    EXPECT_EQ(header.payloadSize(), 0);

    const auto big = kovra::largeBox("mdat", Bytes(5, 1));
    EXPECT_EQ(parseBoxHeader(big, 0, 21).size, 21);

    EXPECT_DECODE_FAILED(parseBoxHeader(kovra::largeBoxWithSize("mdat", 15, Bytes(8, 0)), 0, 24),
                         "Invalid large-size box length");
    EXPECT_DECODE_FAILED(parseBoxHeader(kovra::largeBoxWithSize("mdat", 40, Bytes(8, 0)), 0, 24),
                         "Invalid large-size box length");
    const Bytes shortLarge = kovra::concat({kovra::boxWithSizeField("mdat", 1, Bytes(4, 0))});
    EXPECT_DECODE_FAILED(parseBoxHeader(shortLarge, 0, 12), "Invalid large-size box header");
}

TEST(MP4Box, BadSizesAndBounds) {
    EXPECT_DECODE_FAILED(listAll(kovra::boxWithSizeField("free", 4, Bytes(8, 0))),
                         "Invalid box size");
    EXPECT_DECODE_FAILED(listAll(kovra::boxWithSizeField("free", 100, Bytes(8, 0))),
                         "Invalid box size");
    const Bytes seven(7, 0);
    EXPECT_DECODE_FAILED(parseBoxHeader(seven, 0, 7), "Invalid MP4 box header bounds");
    // A later malformed box fails the listing even though an earlier box was fine.
    const Bytes truncatedLast = kovra::concat(
        {kovra::box("moov", Bytes(4, 0)), kovra::boxWithSizeField("mdat", 64, Bytes(8, 0))});
    EXPECT_DECODE_FAILED(listAll(truncatedLast), "Invalid box size");
}

TEST(MP4Box, NonASCIITypeReadsAsQuestionMarks) {
    Bytes bytes = kovra::box("free", {});
    bytes[5] = 0xE9;
    EXPECT_EQ(listAll(bytes).front().type, "????");
}

}  // namespace
}  // namespace skelder
