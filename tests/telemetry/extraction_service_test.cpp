#include "telemetry/extraction_service.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "kovra_writer/kovra_writer.hpp"
#include "telemetry/file_source.hpp"
#include "telemetry/source_extraction.hpp"
#include "tests/support/extraction_matchers.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::TempDir;

const kovra::ChannelDefinition& standardChannel(std::uint16_t id) {
    static const auto channels = kovra::standardChannels();
    for (const auto& channel : channels) {
        if (channel.id == id)
            return channel;
    }
    throw std::invalid_argument("no such channel");
}

double synthetic(std::uint16_t id, double seconds) {
    return kovra::syntheticValue(standardChannel(id), seconds);
}

class ExtractionService : public ::testing::Test {
  protected:
    std::filesystem::path write(const kovra::RecordingOptions& options,
                                const std::string& name = "lap.mp4") {
        const auto path = dir / name;
        kovra::writeRecording(path, options);
        return path;
    }
    TempDir dir;
    BasicTelemetryExtractionService service;
};

TEST_F(ExtractionService, GridFollowsTheRecordedSignals) {
    kovra::RecordingOptions options;
    options.durationSeconds = 10;
    const auto path = write(options);
    const ParsedTelemetryData data = service.extractTelemetry(path, true, true);

    EXPECT_EQ(data.inputURL, path);
    EXPECT_EQ(data.fileSizeBytes, std::filesystem::file_size(path));
    const DecisecondGrid& grid = data.overlaySamplesByDecisecond;
    ASSERT_EQ(grid.firstKey(), 0);
    ASSERT_EQ(grid.lastKey(), 99);
    for (const auto& [d, sample] : grid) {
        const double t = static_cast<double>(d) / 10.0;
        // Speed is sent at 10 Hz on the decisecond; 50 Hz pedals last at +0.08 s; 100 Hz
        // accelerations last at +0.09 s. Raw quantisation bounds the differences.
        EXPECT_NEAR(sample.speedMps, synthetic(kovra::kSpeedChannel, t), 0.006) << d;
        EXPECT_NEAR(sample.throttle, synthetic(kovra::kThrottleChannel, t + 0.08), 0.0006) << d;
        EXPECT_NEAR(sample.brake, synthetic(kovra::kBrakeChannel, t + 0.08), 0.0006) << d;
        EXPECT_NEAR(sample.rpm, synthetic(kovra::kEngineSpeedChannel, t + 0.08) * 60 / (2 * M_PI),
                    0.5)
            << d;
        EXPECT_NEAR(sample.latG, synthetic(kovra::kLateralAccelChannel, t + 0.09) / 9.80665, 0.001)
            << d;
        EXPECT_NEAR(sample.lonG, synthetic(kovra::kLongitudinalAccelChannel, t + 0.09) / 9.80665,
                    0.001)
            << d;
        EXPECT_NEAR(sample.steeringDeg,
                    synthetic(kovra::kSteeringAngleChannel, t + 0.08) * 180 / M_PI, 0.02)
            << d;
        EXPECT_GE(sample.gear, 1);
    }

    ASSERT_EQ(data.contiguousBuckets.size(), 10u);
    for (const auto& [second, bucket] : data.contiguousBuckets) {
        double fastest = 0;
        for (int i = 0; i < 10; ++i) {
            fastest = std::max(fastest, grid.find(second * 10 + i)->speedMps);
        }
        EXPECT_DOUBLE_EQ(bucket.speedMaxMps, fastest);
        // Eight channels: 2 at 10 Hz, 4 at 50 Hz, 2 at 100 Hz.
        EXPECT_EQ(bucket.sampleCount, 2 * 10 + 4 * 50 + 2 * 100);
    }
    EXPECT_EQ(data.packetRecords.size(), 10u);
    ASSERT_TRUE(data.headerMinusPTSSeconds.has_value());
    EXPECT_EQ(*data.headerMinusPTSSeconds, 0.0);
}

TEST_F(ExtractionService, QuickExtractionKeepsOnlyTheGrid) {
    kovra::RecordingOptions options;
    options.durationSeconds = 4;
    const auto extra = kovra::extraChannels();
    options.channels.insert(options.channels.end(), extra.begin(), extra.end());
    const auto path = write(options);
    const ParsedTelemetryData full = service.extractTelemetry(path, true, true);
    const ParsedTelemetryData quick = service.extractTelemetry(path, false, false);
    EXPECT_TRUE(quick.packetRecords.empty());
    EXPECT_FALSE(quick.headerMinusPTSSeconds.has_value());
    EXPECT_TRUE(quick.contiguousBuckets.empty());
    EXPECT_EQ(quick.overlaySamplesByDecisecond, full.overlaySamplesByDecisecond);
    EXPECT_EQ(quick.overlaySamplesByDecisecond.size(), 40u);

    const ParsedTelemetryData bucketsOnly = service.extractTelemetry(path, true, false);
    EXPECT_EQ(bucketsOnly.contiguousBuckets, full.contiguousBuckets);
    EXPECT_TRUE(bucketsOnly.packetRecords.empty());
}

TEST_F(ExtractionService, TimingReportOfAHeaderClockRunningAhead) {
    kovra::RecordingOptions options;
    options.durationSeconds = 20;
    options.headerOffsetTicks = 6'500'000;
    const auto path = write(options);
    const ParsedTelemetryData data = service.extractTelemetry(path, true, true);
    ASSERT_TRUE(data.headerMinusPTSSeconds.has_value());
    EXPECT_NEAR(*data.headerMinusPTSSeconds, 0.65, 1e-9);
    const std::vector<std::string> expected{
        "packets=20 overlay_ticks=200",
        "header_time_range=0.650..19.650 sec",
        "sample_pts_range=0.000..19.000 sec",
        "header_minus_pts avg=0.650 min=0.650 max=0.650 sec",
        "applied_mapping=per_packet_pts (median_header_minus_pts=0.650 sec)",
        "overlay_time_range=0.000..19.900 sec",
        "packet rows: idx sample pts header d(sec)",
        "  0      0    0.000    0.650  +0.650",
        "  1      1    1.000    1.650  +0.650",
        "  2      2    2.000    2.650  +0.650",
        "  3      3    3.000    3.650  +0.650",
        "  4      4    4.000    4.650  +0.650",
        "  5      5    5.000    5.650  +0.650",
        "  6      6    6.000    6.650  +0.650",
        "  7      7    7.000    7.650  +0.650",
    };
    EXPECT_EQ(telemetryTimingReport(data.packetRecords, data.overlaySamplesByDecisecond,
                                    data.headerMinusPTSSeconds),
              expected);
}

TEST(TimingReport, PacketsWithoutPresentationTimes) {
    std::vector<PacketRecord> packets;
    for (int i = 0; i < 3; ++i) {
        packets.push_back({static_cast<std::uint64_t>(12'340'000 + i * 10'000'000), 0, {}, i, {}});
    }
    EXPECT_FALSE(medianHeaderMinusPTS(packets).has_value());
    const std::vector<std::string> expected{
        "packets=3 overlay_ticks=0",
        "header_time_range=1.234..3.234 sec",
        "sample_pts_range=na",
        "header_minus_pts=na",
        "applied_mapping=header_time_only (no packet pts mapping)",
        "overlay_time_range=na",
        "packet rows: idx sample pts header d(sec)",
        "0 0 na 1.234 na",
        "1 1 na 2.234 na",
        "2 2 na 3.234 na",
    };
    EXPECT_EQ(telemetryTimingReport(packets, {}, std::nullopt), expected);
    EXPECT_EQ(telemetryTimingReport({}, {}, std::nullopt),
              std::vector<std::string>{"no packets decoded"});
}

TEST(TimingReport, MedianTakesTheUpperMiddleAndMixedRows) {
    std::vector<PacketRecord> packets{{4'000'000, 0, {}, 0, 0.0}, {2'000'000, 0, {}, 1, 0.0}};
    EXPECT_NEAR(*medianHeaderMinusPTS(packets), 0.4, 1e-12);
    packets.push_back({1'000'000, 0, {}, 2, 0.0});
    EXPECT_NEAR(*medianHeaderMinusPTS(packets), 0.2, 1e-12);

    std::vector<PacketRecord> many;
    for (int i = 0; i < 20; ++i) {
        std::optional<double> pts;
        if (i % 2 == 0)
            pts = i - 0.25;
        many.push_back({static_cast<std::uint64_t>(i) * 10'000'000, 0, {}, 100 + i, pts});
    }
    const auto lines = telemetryTimingReport(many, DecisecondGrid(5, {OverlayTelemetrySample{}}),
                                             medianHeaderMinusPTS(many));
    ASSERT_EQ(lines.size(), 7u + 8u);
    EXPECT_EQ(lines[0], "packets=20 overlay_ticks=1");
    EXPECT_EQ(lines[2], "sample_pts_range=-0.250..17.750 sec");
    EXPECT_EQ(lines[3], "header_minus_pts avg=0.250 min=0.250 max=0.250 sec");
    EXPECT_EQ(lines[5], "overlay_time_range=0.500..0.500 sec");
    EXPECT_EQ(lines[7], "  0    100   -0.250    0.000  +0.250");
    EXPECT_EQ(lines[8], "1 101 na 1.000 na");
    EXPECT_EQ(lines[14], "7 107 na 7.000 na");
}

TEST_F(ExtractionService, InputValidation) {
    kovra::RecordingOptions options;
    options.durationSeconds = 1;
    EXPECT_NO_THROW(service.extractTelemetry(write(options, "Mixed.mP4"), false, false));

    const auto mov = write(options, "clip.mov");
    EXPECT_EXTRACTION_ERROR(service.extractTelemetry(mov, false, false), unsupportedInput,
                            "Only MP4 files are supported");
    // The extension is checked before the file is touched.
    EXPECT_EXTRACTION_ERROR(service.extractTelemetry(dir / "missing", false, false),
                            unsupportedInput, "Only MP4 files are supported");

    std::filesystem::create_directory(dir / "folder.mp4");
    EXPECT_EXTRACTION_ERROR(service.extractTelemetry(dir / "folder.mp4", false, false),
                            unsupportedInput, "Input is not a regular file");

    testing::writeFile(dir / "empty.mp4", {});
    EXPECT_EXTRACTION_ERROR(service.extractTelemetry(dir / "empty.mp4", false, false), decodeFailed,
                            "Input file is empty");

    try {
        service.extractTelemetry(dir / "missing.mp4", false, false);
        ADD_FAILURE() << "a missing file must fail";
    } catch (const std::filesystem::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(error.path1(), dir / "missing.mp4");
    }
}

TEST_F(ExtractionService, ReadFailuresCarryTheSystemText) {
    EXPECT_DECODE_FAILED(FileSource(dir / "gone.mp4"),
                         "Failed to read file: No such file or directory");
}

// Counts the bytes a real file source reads.
class CountingFileSource : public FileSource {
  public:
    using FileSource::FileSource;
    std::int64_t bytesRead = 0;

  protected:
    ssize_t readSome(int fd, std::uint8_t* buffer, std::size_t count, off_t offset) override {
        const ssize_t got = FileSource::readSome(fd, buffer, count, offset);
        bytesRead += std::max<ssize_t>(got, 0);
        return got;
    }
};

TEST_F(ExtractionService, FilesBeyondFourGigabytesAreReadOnlyWhereTheTelemetryIs) {
    kovra::RecordingOptions options;
    options.durationSeconds = 3;
    options.mdatPaddingBytes = 4ull << 30;  // a hole: costs no disk
    const auto after = write(options, "large.mp4");
    ASSERT_GT(std::filesystem::file_size(after), 4ull << 30);
    EXPECT_EQ(service.extractTelemetry(after, false, false).overlaySamplesByDecisecond.size(), 30u);
    CountingFileSource source(after);
    EXPECT_EQ(extractTelemetryFromSource(source, true, true).overlaySamplesByDecisecond.size(),
              30u);
    // Header windows, the movie box and three samples: far below the padding.
    EXPECT_LT(source.bytesRead, 1 << 20);

    // Samples behind the padding need 64-bit chunk offsets.
    options.paddingBeforeSamples = true;
    options.useCo64 = true;
    const auto before = write(options, "large-co64.mp4");
    const auto data = service.extractTelemetry(before, true, true);
    EXPECT_EQ(data.overlaySamplesByDecisecond.size(), 30u);
    EXPECT_EQ(data.packetRecords.size(), 3u);
}

}  // namespace
}  // namespace skelder
