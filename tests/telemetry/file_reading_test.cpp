// Recordings that shrink, change or fail to read while the extraction reads them: every such
// read ends that one extraction with "Failed to read file: ..." and never the process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

#include "core/cancellation.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "telemetry/extraction_service.hpp"
#include "telemetry/file_source.hpp"
#include "telemetry/quick_scan.hpp"
#include "telemetry/source_extraction.hpp"
#include "tests/support/extraction_matchers.hpp"
#include "tests/support/file_cutter.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

// A real file source whose system reads go through a hook first: the hook sees the number of
// the read (from 0) and may do something to the file, or name an error for the read to fail
// with instead of reading.
class HookedFileSource : public FileSource {
  public:
    using Hook = std::function<std::optional<int>(int read)>;

    HookedFileSource(const std::filesystem::path& path, Hook hook)
        : FileSource(path), hook_(std::move(hook)) {}

    int reads = 0;

  protected:
    ssize_t readSome(int fd, std::uint8_t* buffer, std::size_t count, off_t offset) override {
        if (const std::optional<int> error = hook_(reads++)) {
            errno = *error;
            return -1;
        }
        return FileSource::readSome(fd, buffer, count, offset);
    }

  private:
    Hook hook_;
};

// A drive with one sample to a chunk and other bytes between the chunks, as a camera
// interleaves its video: every sample is a read of its own.
kovra::Bytes interleavedDrive(const kovra::RecordingOptions& options) {
    const std::vector<kovra::Bytes> samples = kovra::buildTelemetrySamples(options);
    kovra::Bytes mdat;
    std::vector<std::uint64_t> positions;
    for (const kovra::Bytes& sample : samples) {
        positions.push_back(mdat.size());
        mdat.insert(mdat.end(), sample.begin(), sample.end());
        mdat.insert(mdat.end(), 100, 0xEE);
    }
    return kovra::assembleMp4(mdat, [&](std::uint64_t mdatOffset) {
        kovra::TrackTables tables =
            kovra::telemetryTrackTables(options, samples, mdatOffset, 1, 1000);
        for (std::size_t i = 0; i < positions.size(); ++i)
            tables.chunkOffsets[i] = mdatOffset + positions[i];
        return std::vector<kovra::Bytes>{kovra::trakBox(tables)};
    });
}

class FileReading : public ::testing::Test {
  protected:
    void SetUp() override {
        contents = interleavedDrive({.durationSeconds = 6, .samplesPerChunk = 1});
        testing::writeFile(path, contents);
        reference = extract(false, false, [](int) { return std::nullopt; });
        HookedFileSource counting(path, [](int) { return std::nullopt; });
        extractTelemetryFromSource(counting, true, true);
        readsOfAWholeExtraction = counting.reads;
    }

    ParsedTelemetryData extract(bool buckets, bool timing, HookedFileSource::Hook hook,
                                std::stop_token stop = {}) {
        HookedFileSource source(path, std::move(hook));
        return extractTelemetryFromSource(source, buckets, timing, stop);
    }

    // Puts the recording back, with a modification time well in the past so that a rewrite
    // during a read shows even on file systems with coarse clocks.
    void restore() {
        testing::writeFile(path, contents);
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    }

    testing::TempDir dir;
    std::filesystem::path path = dir / "drive.mp4";
    kovra::Bytes contents;
    ParsedTelemetryData reference;
    int readsOfAWholeExtraction = 0;
};

TEST_F(FileReading, OnlyTheMovieBoxAndTheSamplesAreRead) {
    // The top-level headers (one window holds this small file), the movie box, six samples.
    EXPECT_EQ(readsOfAWholeExtraction, 8);
    EXPECT_EQ(reference.overlaySamplesByDecisecond.size(), 60u);
}

TEST_F(FileReading, AdjacentSamplesAreReadTogether) {
    kovra::RecordingOptions options;
    options.durationSeconds = 6;
    options.samplesPerChunk = 2;  // three chunks, back to back in the media data
    testing::writeFile(path, kovra::buildRecording(options));
    HookedFileSource source(path, [](int) { return std::nullopt; });
    EXPECT_EQ(extractTelemetryFromSource(source, false, false).overlaySamplesByDecisecond,
              reference.overlaySamplesByDecisecond);
    EXPECT_EQ(source.reads, 3);  // header window, movie box, all six samples at once
}

TEST_F(FileReading, InterruptedReadsAreRepeated) {
    const auto data = extract(false, false, [](int read) -> std::optional<int> {
        if (read % 2 == 0)
            return EINTR;
        return std::nullopt;
    });
    EXPECT_EQ(data.overlaySamplesByDecisecond, reference.overlaySamplesByDecisecond);
}

// At every read in turn: the read fails, or the file is cut short or rewritten (same bytes even:
// the reader cannot tell what it got, so it does not trust it) just before it.
TEST_F(FileReading, AFailedReadOrAFileChangedBeforeAnyReadEndsTheExtraction) {
    const std::string changed = "Failed to read file: the file changed while it was being read";
    using Event = std::function<std::optional<int>()>;
    const auto cutTo = [&](std::uintmax_t length) -> Event {
        return [&, length] {
            std::filesystem::resize_file(path, length);
            return std::nullopt;
        };
    };
    const std::vector<std::pair<std::string, Event>> events{
        {"input/output error", [] { return std::optional<int>(EIO); }},
        {"cut to nothing", cutTo(0)},
        {"cut to half", cutTo(contents.size() / 2)},
        {"cut by a byte", cutTo(contents.size() - 1)},
        {"rewritten",
         [&] {
             testing::writeFile(path, contents);
             return std::optional<int>();
         }},
    };
    for (const auto& [name, event] : events) {
        for (int at = 0; at < readsOfAWholeExtraction; ++at) {
            SCOPED_TRACE(::testing::Message() << name << " at read " << at);
            restore();
            EXPECT_DECODE_FAILED(
                extract(true, true,
                        [&](int read) -> std::optional<int> {
                            return read == at ? event() : std::nullopt;
                        }),
                name == "input/output error" ? "Failed to read file: Input/output error" : changed);
        }
    }
}

TEST_F(FileReading, AFileThatVanishesWhileOpenIsStillReadWhole) {
    // Removing a name does not take the bytes from a reader that has the file open.
    const auto data = extract(false, false, [&](int read) -> std::optional<int> {
        if (read == 1)
            std::filesystem::remove(path);
        return std::nullopt;
    });
    EXPECT_EQ(data.overlaySamplesByDecisecond, reference.overlaySamplesByDecisecond);
}

TEST_F(FileReading, AStopRequestedDuringAnyReadEndsTheWalkBeforeTheNextRead) {
    for (int stopping = 0; stopping < readsOfAWholeExtraction; ++stopping) {
        SCOPED_TRACE(stopping);
        std::stop_source stop;
        HookedFileSource source(path, [&](int read) -> std::optional<int> {
            if (read == stopping)
                stop.request_stop();
            return std::nullopt;
        });
        EXPECT_THROW(extractTelemetryFromSource(source, true, true, stop.get_token()),
                     CancellationError);
        EXPECT_EQ(source.reads, stopping + 1);
    }
}

TEST_F(FileReading, AStoppedScanReadsNothing) {
    std::stop_source stop;
    stop.request_stop();
    bool durationLoaded = false;
    const BasicTelemetryExtractionService service;
    EXPECT_THROW(quickStats(
                     service, path,
                     [&](const std::filesystem::path&) {
                         durationLoaded = true;
                         return std::optional<double>(6.0);
                     },
                     stop.get_token()),
                 CancellationError);
    EXPECT_FALSE(durationLoaded);
    // Not even the file's attributes: a missing file is not reported either.
    EXPECT_THROW(service.extractTelemetry(dir / "missing.mp4", false, false, stop.get_token()),
                 CancellationError);
    std::stop_source running;
    EXPECT_EQ(quickStats(service, path, {}, running.get_token()).fileSizeBytes, contents.size());
}

// The real thing: a second thread cuts the file and writes it back while extractions and quick
// scans run. Whatever moment a cut hits, the reader either read the whole file or failed with
// an extraction error; a mapped file would have taken the process down here.
TEST_F(FileReading, ExtractionsAndQuickScansSurviveAFileCutWhileTheyReadIt) {
    const BasicTelemetryExtractionService service;
    const ParsedTelemetryData full = service.extractTelemetry(path, true, true);
    int completed = 0;
    int failed = 0;
    {
        testing::FileCutter cutter(path, contents, std::chrono::milliseconds(20));
        for (int round = 0; round < 200; ++round) {
            try {
                if (round % 2 == 0) {
                    const auto data = service.extractTelemetry(path, true, true);
                    EXPECT_EQ(data.overlaySamplesByDecisecond, full.overlaySamplesByDecisecond);
                    EXPECT_EQ(data.contiguousBuckets, full.contiguousBuckets);
                } else {
                    quickStats(service, path, {});
                }
                ++completed;
            } catch (const TelemetryExtractionError& error) {
                EXPECT_EQ(error.errorCase(), TelemetryExtractionError::Case::decodeFailed)
                    << error.what();
                ++failed;
            }
        }
        EXPECT_GT(cutter.cuts(), 0);
    }
    EXPECT_EQ(completed + failed, 200);
    // With the file whole again, it reads as before.
    EXPECT_EQ(service.extractTelemetry(path, true, true).overlaySamplesByDecisecond,
              full.overlaySamplesByDecisecond);
}

}  // namespace
}  // namespace skelder
