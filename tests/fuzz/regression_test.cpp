// Every input the fuzzer once crashed on, replayed through the same exercise in the
// sanitizer build; plus truncations of a valid recording at every length.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/exercise.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "telemetry/source_extraction.hpp"

namespace {

TEST(FuzzRegressions, SavedInputsRunClean) {
    const std::filesystem::path dir = SKELDER_FUZZ_REGRESSIONS;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().filename() == "README.md")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        skelder::fuzz::exerciseExtraction(bytes.data(), bytes.size());
        ++replayed;
    }
    RecordProperty("replayed", replayed);
    if (replayed == 0)
        GTEST_SKIP() << "no saved fuzzer findings to replay";
}

TEST(FuzzRegressions, EveryTruncationOfARecordingRunsClean) {
    const auto bytes =
        skelder::kovra::buildRecording({.durationSeconds = 0.3, .packetDurationTicks = 1'000'000});
    for (std::size_t size = 0; size <= bytes.size(); ++size)
        skelder::fuzz::exerciseExtraction(bytes.data(), size);
    // The whole recording itself extracts: the loop above did real work at its end.
    EXPECT_EQ(
        skelder::extractTelemetryFromBuffer(bytes, true, true).overlaySamplesByDecisecond.size(),
        3u);
}

}  // namespace
