// Telemetry added to camera files that ffmpeg wrote; ffmpeg reads the result back.
#include "kovra_writer/mp4_merge.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "box_walker.hpp"
#include "reference_decoder.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::kovra {
namespace {

using test::Mp4Source;

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

// What ffmpeg reads from a file: decoded video and audio frames with checksums, or the packets
// of one stream copied out.
std::string ffmpegOutput(const std::filesystem::path& path, std::vector<std::string> output) {
    std::vector<std::string> command{"ffmpeg", "-v", "error", "-i", path.string()};
    command.insert(command.end(), output.begin(), output.end());
    const auto r = testing::runCommand(command);
    EXPECT_EQ(r.exitStatus, 0) << r.standardError;
    return r.standardOutput;
}
std::string mediaChecksums(const std::filesystem::path& path) {
    return ffmpegOutput(path, {"-map", "0:v", "-map", "0:a", "-f", "framemd5", "-"});
}
std::string streamBytes(const std::filesystem::path& path, int stream) {
    return ffmpegOutput(path,
                        {"-map", "0:" + std::to_string(stream), "-c", "copy", "-f", "data", "-"});
}
std::string samplesOf(const RecordingOptions& options) {
    const Bytes bytes = concatAll(buildTelemetrySamples(options));
    return {bytes.begin(), bytes.end()};
}
std::uint64_t nextTrackId(const Mp4Source& s) {
    return s.be(s.find({"moov", "mvhd"})->payload() + 96, 4);
}

RecordingOptions seconds(double duration) {
    RecordingOptions o;
    o.durationSeconds = duration;
    return o;
}

TEST(Mp4Merge, AddsTheTelemetryTrackWhereverTheMoovWasAndLeavesTheMediaAlone) {
    testing::TempDir dir;
    for (const bool moovFirst : {false, true}) {
        SCOPED_TRACE(moovFirst ? "moov first" : "moov last");
        const auto in =
            makeCameraFile(dir, "in.mp4",
                           moovFirst ? std::vector<std::string>{"-movflags", "+faststart"}
                                     : std::vector<std::string>{});
        const auto out = dir / "out.mp4";
        appendTelemetryTrack(in, out, seconds(3));

        Mp4Source before(in);
        Mp4Source after(out);
        if (!moovFirst) {
            // The media is not rewritten: everything before the old moov stays in place.
            const std::uint64_t prefix = before.topLevel().back().offset;
            EXPECT_EQ(after.read(0, prefix), before.read(0, prefix));
        }
        EXPECT_EQ(after.topLevel().back().type, "moov");
        // ffmpeg finds the media through the relocated tables.
        EXPECT_EQ(mediaChecksums(out), mediaChecksums(in));
        EXPECT_EQ(streamBytes(out, 2), samplesOf(seconds(3)));
        EXPECT_EQ(nextTrackId(after), nextTrackId(before) + 1);
        const auto t = test::decodeTelemetry(after);
        EXPECT_EQ(after.be(after.child(t.trak, "tkhd")->payload() + 12, 4), nextTrackId(before));
        ASSERT_EQ(t.packets.size(), 3u);
        EXPECT_EQ(t.packets[2].headerTicks, 20'000'000u);
    }
}

TEST(Mp4Merge, TelemetryOfNoDurationTakesTheMoviesAndLongerTelemetryExtendsIt) {
    testing::TempDir dir;
    const auto in = makeCameraFile(dir, "in.mp4");
    appendTelemetryTrack(in, dir / "zero.mp4", seconds(0));
    EXPECT_EQ(test::decodeTelemetry(Mp4Source(dir / "zero.mp4")).packets.size(), 3u);
    appendTelemetryTrack(in, dir / "ten.mp4", seconds(10));
    Mp4Source ten(dir / "ten.mp4");
    const auto mvhd = *ten.find({"moov", "mvhd"});
    EXPECT_EQ(ten.be(mvhd.payload() + 16, 4), 10 * ten.be(mvhd.payload() + 12, 4));
}

TEST(Mp4Merge, RelocatesCo64TablesOfExistingTracks) {
    testing::TempDir dir;
    RecordingOptions inner = seconds(2);
    inner.useCo64 = true;
    inner.valueAt = [](const ChannelDefinition&, double) { return 1.0; };
    const auto samples = buildTelemetrySamples(inner);
    const Mp4Layout layout{.moovFirst = true, .movieDuration = 2000};
    const Bytes file = assembleMp4(
        concatAll(samples),
        [&](std::uint64_t offset) {
            return std::vector<Bytes>{
                trakBox(telemetryTrackTables(inner, samples, offset, 1, 1000))};
        },
        layout);
    testing::writeFile(dir / "in.mp4", file);
    appendTelemetryTrack(dir / "in.mp4", dir / "out.mp4", seconds(3));

    Mp4Source after(dir / "out.mp4");
    const auto old = test::decodeTelemetry(after);  // the first "adrv" track is the old one
    ASSERT_EQ(old.packets.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(after.read(old.samples[i].offset, old.samples[i].size), samples[i]);
    EXPECT_EQ(streamBytes(dir / "out.mp4", 1), samplesOf(seconds(3)));
}

TEST(Mp4Merge, RefusesInputsItCannotRewrite) {
    testing::TempDir dir;
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        testing::writeFile(dir / name, bytes);
        return dir / name;
    };
    const auto out = dir / "out.mp4";
    const Bytes ftyp = box("ftyp", Bytes(8, 0));
    const Bytes moov = box("moov", mvhdBox(1000, 0, 2));
    for (const auto& input : {
             write("none.mp4", concat({ftyp, box("mdat", {})})),
             write("two.mp4", concat({ftyp, moov, moov})),
             write("cut.mp4", concat({ftyp, boxWithSizeField("mdat", 100, {})})),
             makeCameraFile(dir, "frag.mp4", {"-movflags", "frag_keyframe+empty_moov"}),
         }) {
        EXPECT_THROW(appendTelemetryTrack(input, out, {}), std::runtime_error) << input;
    }
    const auto good = write("good.mp4", concat({ftyp, moov}));
    EXPECT_THROW(appendTelemetryTrack(good, good, {}), std::invalid_argument);
    EXPECT_NO_THROW(appendTelemetryTrack(good, out, seconds(3)));
}

}  // namespace
}  // namespace skelder::kovra
