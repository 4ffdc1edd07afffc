#include "highlights/session_key.hpp"
#include "core/path_key.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::TempDir;

// Sets a file's modification time to whole seconds plus nanoseconds.
void setModificationTime(const std::filesystem::path& path, time_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(RoundTripDecimal, ShortestTextThatReadsBackWithWholeNumbersKeepingAPoint) {
    EXPECT_EQ(roundTripDecimal(1700000000.0), "1700000000.0");
    EXPECT_EQ(roundTripDecimal(0.0), "0.0");
    EXPECT_EQ(roundTripDecimal(-3.0), "-3.0");
    EXPECT_EQ(roundTripDecimal(0.1), "0.1");
    EXPECT_EQ(roundTripDecimal(1700000000.25), "1700000000.25");
    EXPECT_EQ(roundTripDecimal(1e300), "1e+300");
    for (const double value : {1700000000.123456789, 1.0 / 3.0, 123456.000001}) {
        const std::string text = roundTripDecimal(value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        EXPECT_LE(text.size(), 18u) << text;  // shortest form, not a fixed 17 digits
    }
}

TEST(StandardizedPathKey, AbsoluteAndWithoutDotSegments) {
    EXPECT_EQ(pathKey("/recordings/./day1/../day2//lap.mp4"), "/recordings/day2/lap.mp4");
    const std::filesystem::path cwd = std::filesystem::current_path();
    EXPECT_EQ(pathKey("sub/../lap.mp4"), (cwd / "lap.mp4").string());
}

TEST(TelemetrySessionKey, JoinsPathModeSizeAndModificationTime) {
    TempDir dir;
    const auto file = dir / "lap.mp4";
    testing::writeFile(file, std::vector<std::uint8_t>(1234, 7));
    setModificationTime(file, 1700000000, 500000000);
    const std::string expectedPrefix = pathKey(file);
    std::filesystem::create_directory(dir / "x");
    EXPECT_EQ(telemetrySessionKey(file, HighlightFilterMode::onlyBest),
              expectedPrefix + "|onlyBest|1234|1700000000.5");
    EXPECT_EQ(telemetrySessionKey(dir.path() / "x" / ".." / "lap.mp4",
                                  HighlightFilterMode::maybeInteresting),
              expectedPrefix + "|maybeInteresting|1234|1700000000.5");
    setModificationTime(file, 1700000000, 0);
    EXPECT_EQ(telemetrySessionKey(file, HighlightFilterMode::onlyBest),
              expectedPrefix + "|onlyBest|1234|1700000000.0");
}

TEST(TelemetrySessionKey, UnreadableAttributesAreMarkedUnknown) {
    EXPECT_EQ(telemetrySessionKey("/no/such/dir/../lap.mp4", HighlightFilterMode::onlyBest),
              "/no/such/lap.mp4|onlyBest|unknown-size|unknown-mtime");
}

}  // namespace
}  // namespace skelder
