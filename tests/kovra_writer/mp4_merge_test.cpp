#include "kovra_writer/mp4_merge.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "box_walker.hpp"
#include "reference_decoder.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::kovra {
namespace {

using test::Box;
using test::Mp4Source;
using Types = std::vector<std::string>;

// A 3 s camera-like file: video and audio, written by ffmpeg (moov last unless told otherwise).
std::filesystem::path makeCameraFile(const testing::TempDir& dir, const std::string& name,
                                     const std::vector<std::string>& muxerArgs = {}) {
    const auto path = dir / name;
    std::vector<std::string> args = {
        "ffmpeg",   "-v",    "error", "-y",
        "-f",       "lavfi", "-i",    "testsrc=size=160x120:rate=25:duration=3",
        "-f",       "lavfi", "-i",    "sine=frequency=440:duration=3",
        "-c:v",     "mpeg4", "-c:a",  "aac",
        "-shortest"};
    args.insert(args.end(), muxerArgs.begin(), muxerArgs.end());
    args.push_back(path.string());
    const auto r = testing::runCommand(args);
    EXPECT_EQ(r.exitStatus, 0) << r.standardError;
    return path;
}

// Decoded video and audio frames with checksums: equal lists mean the media is intact.
std::string mediaChecksums(const std::filesystem::path& path) {
    const auto r = testing::runCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-map", "0:v",
                                        "-map", "0:a", "-f", "framemd5", "-"});
    EXPECT_EQ(r.exitStatus, 0) << r.standardError;
    EXPECT_NE(r.standardOutput.find("#stream#"), std::string::npos);
    return r.standardOutput;
}

std::string telemetryStreamBytes(const std::filesystem::path& path, int stream) {
    const auto r =
        testing::runCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-map",
                             "0:" + std::to_string(stream), "-c", "copy", "-f", "data", "-"});
    EXPECT_EQ(r.exitStatus, 0) << r.standardError;
    return r.standardOutput;
}

std::string asString(const Bytes& b) {
    return {b.begin(), b.end()};
}

std::vector<std::uint64_t> chunkOffsets(const Mp4Source& s, const Box& trak) {
    const auto stbl = *s.child(*s.child(*s.child(trak, "mdia"), "minf"), "stbl");
    const auto stco = s.child(stbl, "stco");
    const Box table = stco ? *stco : *s.child(stbl, "co64");
    const int width = stco ? 4 : 8;
    std::vector<std::uint64_t> out(s.be(table.payload() + 4, 4));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = s.be(table.payload() + 8 + i * width, width);
    }
    return out;
}

std::vector<Box> traks(const Mp4Source& s) {
    std::vector<Box> out;
    for (const auto& b : s.children(*s.find({"moov"}))) {
        if (b.type == "trak") {
            out.push_back(b);
        }
    }
    return out;
}

std::uint64_t nextTrackId(const Mp4Source& s) {
    return s.be(s.find({"moov", "mvhd"})->payload() + 96, 4);
}

RecordingOptions threeSeconds() {
    RecordingOptions o;
    o.durationSeconds = 3;
    return o;
}

TEST(Mp4Merge, KeepsMediaBeforeTheMoovAndAddsTheTelemetryTrack) {
    testing::TempDir dir;
    const auto in = makeCameraFile(dir, "in.mp4");
    const auto out = dir / "out.mp4";
    appendTelemetryTrack(in, out, threeSeconds());

    Mp4Source before(in);
    Mp4Source after(out);
    const auto oldTop = before.topLevel();
    ASSERT_EQ(oldTop.back().type, "moov");
    const std::uint64_t prefix = oldTop.back().offset;
    EXPECT_EQ(after.read(0, prefix), before.read(0, prefix));
    const auto newTop = after.topLevel();
    ASSERT_EQ(newTop.size(), oldTop.size() + 1);
    EXPECT_EQ(newTop[newTop.size() - 2].type, "mdat");
    EXPECT_EQ(newTop.back().type, "moov");

    const auto tracks = traks(after);
    ASSERT_EQ(tracks.size(), traks(before).size() + 1);
    const auto telemetryTkhd = *after.child(tracks.back(), "tkhd");
    EXPECT_EQ(after.be(telemetryTkhd.payload() + 12, 4), nextTrackId(before));
    EXPECT_EQ(nextTrackId(after), nextTrackId(before) + 1);

    EXPECT_EQ(mediaChecksums(out), mediaChecksums(in));
    const auto t = test::decodeTelemetry(after);
    ASSERT_EQ(t.packets.size(), 3u);
    EXPECT_EQ(t.samples.front().offset, newTop[newTop.size() - 2].payload());
    EXPECT_EQ(t.packets[2].headerTicks, 20'000'000u);
    EXPECT_EQ(telemetryStreamBytes(out, 2),
              asString(concatAll(buildTelemetrySamples(threeSeconds()))));
}

TEST(Mp4Merge, MovesChunkOffsetsWhenTheMoovCameFirst) {
    testing::TempDir dir;
    const auto in = makeCameraFile(dir, "in.mp4", {"-movflags", "+faststart"});
    const auto out = dir / "out.mp4";
    appendTelemetryTrack(in, out, threeSeconds());

    Mp4Source before(in);
    Mp4Source after(out);
    const auto oldTop = before.topLevel();
    const auto oldMoov =
        std::find_if(oldTop.begin(), oldTop.end(), [](const Box& b) { return b.type == "moov"; });
    ASSERT_NE(oldMoov, oldTop.end());
    ASSERT_LT(oldMoov->offset, before.find({"mdat"})->offset);
    EXPECT_EQ(after.topLevel().back().type, "moov");

    const auto oldTracks = traks(before);
    const auto newTracks = traks(after);
    ASSERT_EQ(newTracks.size(), oldTracks.size() + 1);
    for (std::size_t i = 0; i < oldTracks.size(); ++i) {
        auto expected = chunkOffsets(before, oldTracks[i]);
        ASSERT_FALSE(expected.empty());
        for (auto& o : expected) {
            o -= oldMoov->size;
        }
        EXPECT_EQ(chunkOffsets(after, newTracks[i]), expected) << "track " << i;
    }
    EXPECT_EQ(mediaChecksums(out), mediaChecksums(in));
    EXPECT_EQ(test::decodeTelemetry(after).packets.size(), 3u);
}

TEST(Mp4Merge, ZeroDurationTakesTheMovieDuration) {
    testing::TempDir dir;
    const auto in = makeCameraFile(dir, "in.mp4");
    const auto out = dir / "out.mp4";
    RecordingOptions o;
    o.durationSeconds = 0;
    appendTelemetryTrack(in, out, o);
    Mp4Source before(in);
    const auto mvhd = *before.find({"moov", "mvhd"});
    const double seconds = static_cast<double>(before.be(mvhd.payload() + 16, 4)) /
                           static_cast<double>(before.be(mvhd.payload() + 12, 4));
    const auto t = test::decodeTelemetry(Mp4Source(out));
    EXPECT_EQ(t.packets.size(), static_cast<std::size_t>(std::ceil(seconds)));
}

TEST(Mp4Merge, LongerTelemetryExtendsTheMovieDuration) {
    testing::TempDir dir;
    const auto in = makeCameraFile(dir, "in.mp4");
    const auto out = dir / "out.mp4";
    RecordingOptions o;
    o.durationSeconds = 10;
    appendTelemetryTrack(in, out, o);
    Mp4Source after(out);
    const auto mvhd = *after.find({"moov", "mvhd"});
    EXPECT_EQ(after.be(mvhd.payload() + 16, 4), 10 * after.be(mvhd.payload() + 12, 4));
}

TEST(Mp4Merge, RelocatesCo64TablesOfExistingTracks) {
    testing::TempDir dir;
    RecordingOptions inner;
    inner.durationSeconds = 2;
    inner.useCo64 = true;
    inner.valueAt = [](const ChannelDefinition&, double) { return 1.0; };
    const auto samples = buildTelemetrySamples(inner);
    Mp4Layout layout;
    layout.moovFirst = true;
    layout.movieDuration = 2000;
    const Bytes file = assembleMp4(
        concatAll(samples),
        [&](std::uint64_t offset) {
            return std::vector<Bytes>{
                trakBox(telemetryTrackTables(inner, samples, offset, 1, 1000))};
        },
        layout);
    const auto in = dir / "in.mp4";
    testing::writeFile(in, file);
    const auto out = dir / "out.mp4";
    appendTelemetryTrack(in, out, threeSeconds());

    Mp4Source after(out);
    const auto tracks = traks(after);
    ASSERT_EQ(tracks.size(), 2u);
    const auto old = test::decodeTelemetry(after);  // the first "adrv" track is the old one
    ASSERT_EQ(old.packets.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(after.read(old.samples[i].offset, old.samples[i].size), samples[i]);
    }
    EXPECT_EQ(telemetryStreamBytes(out, 1),
              asString(concatAll(buildTelemetrySamples(threeSeconds()))));
}

TEST(Mp4Merge, RejectsInputsItCannotRewrite) {
    testing::TempDir dir;
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        testing::writeFile(dir / name, bytes);
        return dir / name;
    };
    const auto out = dir / "out.mp4";
    const Bytes ftyp = box("ftyp", Bytes(8, 0));
    const Bytes moov = box("moov", mvhdBox(1000, 0, 2));
    EXPECT_THROW(appendTelemetryTrack(write("none.mp4", concat({ftyp, box("mdat", {})})), out, {}),
                 std::runtime_error);
    EXPECT_THROW(appendTelemetryTrack(write("two.mp4", concat({ftyp, moov, moov})), out, {}),
                 std::runtime_error);
    EXPECT_THROW(appendTelemetryTrack(
                     write("cut.mp4", concat({ftyp, boxWithSizeField("mdat", 100, {})})), out, {}),
                 std::runtime_error);
    const auto fragmented =
        makeCameraFile(dir, "frag.mp4", {"-movflags", "frag_keyframe+empty_moov"});
    EXPECT_THROW(appendTelemetryTrack(fragmented, out, {}), std::runtime_error);
    const auto good = write("good.mp4", concat({ftyp, moov}));
    EXPECT_THROW(appendTelemetryTrack(good, good, {}), std::invalid_argument);
    EXPECT_NO_THROW(appendTelemetryTrack(good, out, threeSeconds()));
}

}  // namespace
}  // namespace skelder::kovra
