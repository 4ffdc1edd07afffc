#include <gtest/gtest.h>

#include <algorithm>

#include "kovra_writer/kovra_writer.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::kovra {
namespace {

TEST(RecordingFfprobe, OpensARecordingWithVideoAndTelemetryTracks) {
    testing::TempDir dir;
    const auto path = dir / "rec.mp4";
    RecordingOptions o;
    o.durationSeconds = 4;
    o.includeVideoTrack = true;
    writeRecording(path, o);

    const auto probe =
        testing::runCommand({"ffprobe", "-v", "error", "-show_entries",
                             "stream=index,codec_type,codec_tag_string:format=duration", "-of",
                             "compact=p=0", path.string()});
    ASSERT_EQ(probe.exitStatus, 0) << probe.standardError;
    const std::string& out = probe.standardOutput;
    EXPECT_NE(out.find("index=0|codec_type=video|codec_tag_string=mp4v"), std::string::npos) << out;
    EXPECT_NE(out.find("index=1|codec_type=data|codec_tag_string=adco"), std::string::npos) << out;
    EXPECT_NE(out.find("duration=4.000000"), std::string::npos) << out;
}

TEST(RecordingFfprobe, DemuxerReadsTheTelemetrySamplesThroughTheTables) {
    testing::TempDir dir;
    const auto path = dir / "rec.mp4";
    RecordingOptions o;
    o.durationSeconds = 5;
    o.samplesPerChunk = 2;
    o.useCo64 = true;
    writeRecording(path, o);

    const auto dump = testing::runCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-map",
                                           "0:0", "-c", "copy", "-f", "data", "-"});
    ASSERT_EQ(dump.exitStatus, 0) << dump.standardError;
    const Bytes expected = concatAll(buildTelemetrySamples(o));
    ASSERT_EQ(expected.size(), 5u * (14 + 830));
    EXPECT_EQ(dump.standardOutput, std::string(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace skelder::kovra
