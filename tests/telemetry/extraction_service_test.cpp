#include "telemetry/extraction_service.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "kovra_writer/kovra_writer.hpp"
#include "telemetry/file_source.hpp"
#include "telemetry/source_extraction.hpp"
#include "tests/support/extraction_matchers.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::TempDir;

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
    const auto path = write({.durationSeconds = 20, .headerOffsetTicks = 6'500'000});
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

TEST_F(ExtractionService, TheExtensionIsCheckedBeforeTheFileAndInAnyCase) {
    kovra::RecordingOptions options;
    options.durationSeconds = 1;
    EXPECT_NO_THROW(service.extractTelemetry(write(options, "Mixed.mP4"), false, false));
    EXPECT_EXTRACTION_ERROR(service.extractTelemetry(dir / "missing", false, false),
                            unsupportedInput, "Only MP4 files are supported");
    try {
        service.extractTelemetry(dir / "missing.mp4", false, false);
        ADD_FAILURE() << "a missing file must fail";
    } catch (const std::filesystem::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(error.path1(), dir / "missing.mp4");
    }
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
