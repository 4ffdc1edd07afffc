// ffprobe and ffmpeg read recordings of the writer as players do.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>

#include "box_walker.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "reference_decoder.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::kovra {
namespace {

TEST(RecordingFfprobe, ReadsTheVideoAndTelemetryTracksAndTheSamplesThroughTheTables) {
    testing::TempDir dir;
    const auto path = dir / "rec.mp4";
    const RecordingOptions o{
        .durationSeconds = 5, .samplesPerChunk = 2, .useCo64 = true, .includeVideoTrack = true};
    writeRecording(path, o);

    const auto probe =
        testing::runCommand({"ffprobe", "-v", "error", "-show_entries",
                             "stream=index,codec_type,codec_tag_string:format=duration", "-of",
                             "compact=p=0", path.string()});
    ASSERT_EQ(probe.exitStatus, 0) << probe.standardError;
    const std::string& out = probe.standardOutput;
    EXPECT_NE(out.find("index=0|codec_type=video|codec_tag_string=mp4v"), std::string::npos) << out;
    EXPECT_NE(out.find("index=1|codec_type=data|codec_tag_string=adco"), std::string::npos) << out;
    EXPECT_NE(out.find("duration=5.000000"), std::string::npos) << out;

    const auto dump = testing::runCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-map",
                                           "0:1", "-c", "copy", "-f", "data", "-"});
    ASSERT_EQ(dump.exitStatus, 0) << dump.standardError;
    const Bytes expected = concatAll(buildTelemetrySamples(o));
    ASSERT_EQ(expected.size(), 5u * (14 + 830));
    EXPECT_EQ(dump.standardOutput, std::string(expected.begin(), expected.end()));
}

TEST(LargeFile, SamplesBehindFourGiBOfHoleNeedCo64) {
    testing::TempDir dir;
    const auto path = dir / "far.mp4";
    RecordingOptions o{
        .durationSeconds = 2, .mdatPaddingBytes = 1ull << 32, .paddingBeforeSamples = true};
    EXPECT_THROW(writeRecording(path, o), std::out_of_range);

    o.useCo64 = true;
    writeRecording(path, o);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 1 << 20);  // the padding costs no disk
    test::Mp4Source s(path);
    const auto mdat = *s.find({"mdat"});
    EXPECT_EQ(mdat.headerSize, 16u);
    const auto t = test::decodeTelemetry(s);
    ASSERT_EQ(t.packets.size(), 2u);
    EXPECT_EQ(t.samples[0].offset, mdat.payload() + (1ull << 32));
    EXPECT_EQ(t.packets[1].headerTicks, 10'000'000u);
    EXPECT_EQ(t.packets[1].payload.size(), 830u);
}

}  // namespace
}  // namespace skelder::kovra
