#include "kovra_writer/track_boxes.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "box_walker.hpp"
#include "kovra_writer/box_builder.hpp"
#include "kovra_writer/mp4_assembly.hpp"

namespace skelder::kovra {
namespace {

using test::Mp4Source;
using Types = std::vector<std::string>;

TEST(TrackBoxes, SampleSizeBoxWritesCountAndTableAsGiven) {
    EXPECT_EQ(stszBox(512, 3, {}),
              (Bytes{0, 0, 0, 20, 's', 't', 's', 'z', 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3}));
    EXPECT_EQ(stszBox(0, 2, {7, 0x01020304}),
              (Bytes{0, 0, 0, 28, 's', 't', 's', 'z', 0, 0, 0, 0, 0, 0,
                     0, 0, 0, 0,  0,   2,   0,   0,   0, 7, 1, 2, 3, 4}));
}

TEST(TrackBoxes, TimeAndChunkTablesAreCountedEntries) {
    EXPECT_EQ(sttsBox({{2, 100}}), (Bytes{0, 0, 0, 24, 's', 't', 't', 's', 0, 0, 0, 0,
                                          0, 0, 0, 1,  0,   0,   0,   2,   0, 0, 0, 100}));
    EXPECT_EQ(stscBox({{1, 2, 1}}), (Bytes{0, 0, 0, 28, 's', 't', 's', 'c', 0, 0, 0, 0, 0, 0,
                                           0, 1, 0, 0,  0,   1,   0,   0,   0, 2, 0, 0, 0, 1}));
    EXPECT_EQ(chunkOffsetBox({0x10, 0xFFFFFFFF}, false),
              (Bytes{0, 0, 0, 24, 's', 't', 'c', 'o',  0,    0,    0,    0,
                     0, 0, 0, 2,  0,   0,   0,   0x10, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(
        chunkOffsetBox({0x100000000}, true),
        (Bytes{0, 0, 0, 24, 'c', 'o', '6', '4', 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_THROW(chunkOffsetBox({0x100000000}, false), std::out_of_range);
}

TEST(TrackBoxes, HandlerTypeFollowsVersionFlagsAndPreDefined) {
    const Bytes hdlr = hdlrBox("adrv", "T");
    ASSERT_EQ(hdlr.size(), 8u + 4 + 4 + 4 + 12 + 2);
    EXPECT_EQ(Bytes(hdlr.begin() + 4, hdlr.begin() + 8), (Bytes{'h', 'd', 'l', 'r'}));
    EXPECT_EQ(Bytes(hdlr.begin() + 16, hdlr.begin() + 20), (Bytes{'a', 'd', 'r', 'v'}));
    EXPECT_EQ(Bytes(hdlr.end() - 2, hdlr.end()), (Bytes{'T', 0}));
}

TEST(TrackBoxes, MediaHeaderTimescalePositionDependsOnVersion) {
    Mp4Source v0(mdhdBox(0, 90000, 180000));
    const auto b0 = v0.topLevel().at(0);
    EXPECT_EQ(b0.size - b0.headerSize, 24u);
    EXPECT_EQ(v0.be(b0.payload(), 1), 0u);
    EXPECT_EQ(v0.be(b0.payload() + 12, 4), 90000u);
    EXPECT_EQ(v0.be(b0.payload() + 16, 4), 180000u);

    Mp4Source v1(mdhdBox(1, 48000, 0x100000000));
    const auto b1 = v1.topLevel().at(0);
    EXPECT_EQ(b1.size - b1.headerSize, 36u);
    EXPECT_EQ(v1.be(b1.payload(), 1), 1u);
    EXPECT_EQ(v1.be(b1.payload() + 20, 4), 48000u);
    EXPECT_EQ(v1.be(b1.payload() + 24, 8), 0x100000000u);
    EXPECT_THROW(mdhdBox(0, 1000, 0x100000000), std::out_of_range);
}

TEST(TrackBoxes, MovieHeaderEndsWithNextTrackId) {
    Mp4Source s(mvhdBox(600, 1200, 7));
    const auto b = s.topLevel().at(0);
    EXPECT_EQ(b.type, "mvhd");
    EXPECT_EQ(b.size - b.headerSize, 100u);
    EXPECT_EQ(s.be(b.payload() + 12, 4), 600u);
    EXPECT_EQ(s.be(b.payload() + 16, 4), 1200u);
    EXPECT_EQ(s.be(b.payload() + 96, 4), 7u);
}

TEST(TrackBoxes, TrakNestsTheTablesTheRecorderWrites) {
    TrackTables t;
    t.trackId = 4;
    t.sampleEntries = {Bytes{0, 0, 0, 8, 'a', 'd', 'c', 'o'}};
    t.sampleSizes = {10, 20};
    t.chunkOffsets = {100};
    t.stsc = {{1, 2, 1}};
    t.stts = {{2, 500}};
    t.timescale = 1000;
    t.movieTimescale = 600;
    Mp4Source s(trakBox(t));
    const auto trak = s.topLevel().at(0);
    EXPECT_EQ(types(s.children(trak)), (Types{"tkhd", "mdia"}));
    const auto tkhd = *s.child(trak, "tkhd");
    EXPECT_EQ(s.be(tkhd.payload() + 12, 4), 4u);    // track ID
    EXPECT_EQ(s.be(tkhd.payload() + 20, 4), 600u);  // 1 s in movie units
    const auto mdia = *s.child(trak, "mdia");
    EXPECT_EQ(types(s.children(mdia)), (Types{"mdhd", "hdlr", "minf"}));
    EXPECT_EQ(s.be(s.child(mdia, "mdhd")->payload() + 16, 4), 1000u);  // media duration
    const auto minf = *s.child(mdia, "minf");
    EXPECT_EQ(types(s.children(minf)), (Types{"nmhd", "dinf", "stbl"}));
    const auto dref = s.children(*s.child(minf, "dinf")).at(0);
    EXPECT_EQ(dref.type, "dref");
    EXPECT_EQ(types(s.children(dref, 8)), (Types{"url "}));
    const auto stbl = *s.child(minf, "stbl");
    EXPECT_EQ(types(s.children(stbl)), (Types{"stsd", "stts", "stsc", "stsz", "stco"}));
    const auto stsd = *s.child(stbl, "stsd");
    EXPECT_EQ(s.be(stsd.payload() + 4, 4), 1u);
    EXPECT_EQ(types(s.children(stsd, 8)), (Types{"adco"}));
}

TEST(TrackBoxes, DefaultSampleSizeReplacesTheTable) {
    TrackTables t;
    t.defaultSampleSize = 512;
    t.sampleCountField = 3;
    t.sampleSizes = {1, 2};  // ignored with a default size
    Mp4Source s(trakBox(t));
    const auto stsz = *s.find({"trak", "mdia", "minf", "stbl", "stsz"});
    EXPECT_EQ(s.read(stsz.payload(), stsz.size - 8), (Bytes{0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3}));
}

TEST(TrackBoxes, MediaHeaderKindAndCo64AreSelectable) {
    TrackTables t;
    t.mediaHeader = MediaHeader::gmhd;
    t.co64 = true;
    t.chunkOffsets = {1};
    Mp4Source s(trakBox(t));
    const auto minf = *s.find({"trak", "mdia", "minf"});
    EXPECT_EQ(types(s.children(minf)), (Types{"gmhd", "dinf", "stbl"}));
    EXPECT_EQ(types(s.children(*s.child(minf, "gmhd"))), (Types{"gmin"}));
    EXPECT_TRUE(s.find({"trak", "mdia", "minf", "stbl", "co64"}).has_value());
    EXPECT_FALSE(s.find({"trak", "mdia", "minf", "stbl", "stco"}).has_value());
}

TEST(TrackBoxes, EditHooksChangeChildListsBeforeWrapping) {
    TrackTables t;
    t.editStbl = [](std::vector<Bytes>& children) { children.erase(children.begin() + 3); };
    t.editMdia = [](std::vector<Bytes>& children) {
        children[1] = boxWithSizeField("hdlr", 16, Bytes(8, 0));
    };
    Mp4Source s(trakBox(t));
    EXPECT_EQ(types(s.children(*s.find({"trak", "mdia", "minf", "stbl"}))),
              (Types{"stsd", "stts", "stsc", "stco"}));
    EXPECT_EQ(s.find({"trak", "mdia", "hdlr"})->size, 16u);
}

TEST(Mp4Assembly, ChunkOffsetsPointIntoTheMdatPayload) {
    const Bytes payload = {0xAA, 0xBB};
    std::uint64_t seen = 0;
    const auto traks = [&](std::uint64_t offset) {
        seen = offset;
        TrackTables t;
        t.chunkOffsets = {offset + 1};
        return std::vector<Bytes>{trakBox(t)};
    };
    Mp4Source s(assembleMp4(payload, traks));
    EXPECT_EQ(types(s.topLevel()), (Types{"ftyp", "mdat", "moov"}));
    EXPECT_EQ(s.read(seen, 2), payload);
    const auto stco = *s.find({"moov", "trak", "mdia", "minf", "stbl", "stco"});
    EXPECT_EQ(s.read(s.be(stco.payload() + 8, 4), 1), (Bytes{0xBB}));
    EXPECT_EQ(s.be(s.find({"moov", "mvhd"})->payload() + 96, 4), 2u);
}

TEST(Mp4Assembly, MoovFirstAndLargeMdatHeaderKeepOffsetsRight) {
    const Bytes payload = {1, 2, 3};
    Mp4Layout layout;
    layout.moovFirst = true;
    layout.largeMdatHeader = true;
    layout.nextTrackId = 9;
    const auto traks = [](std::uint64_t offset) {
        TrackTables t;
        t.chunkOffsets = {offset + 2};
        return std::vector<Bytes>{trakBox(t)};
    };
    Mp4Source s(assembleMp4(payload, traks, layout));
    const auto top = s.topLevel();
    ASSERT_EQ(types(top), (Types{"ftyp", "moov", "mdat"}));
    EXPECT_EQ(top[2].headerSize, 16u);
    EXPECT_EQ(s.read(top[2].payload(), 3), payload);
    const auto stco = *s.find({"moov", "trak", "mdia", "minf", "stbl", "stco"});
    EXPECT_EQ(s.be(stco.payload() + 8, 4), top[2].payload() + 2);
    EXPECT_EQ(s.be(s.find({"moov", "mvhd"})->payload() + 96, 4), 9u);
}

}  // namespace
}  // namespace skelder::kovra
