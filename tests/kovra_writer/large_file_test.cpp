#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>

#include "box_walker.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "reference_decoder.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::kovra {
namespace {

constexpr std::uint64_t k4GiB = 1ull << 32;
constexpr std::uint64_t kSampleSize = 14 + 830;  // one second of the standard channels

std::uint64_t allocatedBytes(const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

TEST(LargeFile, FourGiBPaddingIsAHoleBehindA64BitMdatSize) {
    testing::TempDir dir;
    const auto path = dir / "padded.mp4";
    RecordingOptions o;
    o.durationSeconds = 2;
    o.mdatPaddingBytes = k4GiB;
    writeRecording(path, o);

    EXPECT_LT(allocatedBytes(path), 1u << 20);
    test::Mp4Source s(path);
    const auto top = s.topLevel();
    ASSERT_EQ(types(top), (std::vector<std::string>{"ftyp", "mdat", "moov"}));
    EXPECT_EQ(s.be(top[1].offset, 4), 1u);
    EXPECT_EQ(top[1].headerSize, 16u);
    EXPECT_EQ(top[1].size, 16 + 2 * kSampleSize + k4GiB);
    EXPECT_EQ(s.size(), top[2].end());
    EXPECT_EQ(s.read(top[1].end() - 8, 8), Bytes(8, 0));

    const auto t = test::decodeTelemetry(s);
    ASSERT_EQ(t.packets.size(), 2u);
    EXPECT_EQ(t.samples[0].offset, top[1].payload());
    EXPECT_EQ(t.packets[1].headerTicks, 10'000'000u);
}

TEST(LargeFile, SamplesBehindFourGiBNeedCo64) {
    testing::TempDir dir;
    const auto path = dir / "far.mp4";
    RecordingOptions o;
    o.durationSeconds = 2;
    o.mdatPaddingBytes = k4GiB;
    o.paddingBeforeSamples = true;
    EXPECT_THROW(writeRecording(path, o), std::out_of_range);

    o.useCo64 = true;
    writeRecording(path, o);
    EXPECT_LT(allocatedBytes(path), 1u << 20);
    test::Mp4Source s(path);
    const auto mdat = *s.find({"mdat"});
    const auto co64 = *s.find({"moov", "trak", "mdia", "minf", "stbl", "co64"});
    EXPECT_EQ(s.be(co64.payload() + 8, 8), mdat.payload() + k4GiB);
    const auto t = test::decodeTelemetry(s);
    ASSERT_EQ(t.packets.size(), 2u);
    EXPECT_GT(t.samples[1].offset, k4GiB);
    EXPECT_EQ(t.packets[0].headerTicks, 0u);
    EXPECT_EQ(t.packets[1].headerTicks, 10'000'000u);
    EXPECT_EQ(t.packets[1].payload.size(), 830u);
}

}  // namespace
}  // namespace skelder::kovra
