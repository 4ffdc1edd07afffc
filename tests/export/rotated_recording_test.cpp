// Recorders mounted sideways or upside down store the picture turned and say in the track
// header how to turn it back. Played back with that rotation applied, what we write from such
// a recording must look like what we write from an upright recording of the same picture and
// telemetry: the HUD upright, laid out for the displayed size.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "export/export_service.hpp"
#include "telemetry/extraction_service.hpp"
#include "tests/export/camera_export_support.hpp"
#include "tests/support/camera_recordings.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::CameraRecordingSpec;

// Stored 640 x 360, so quarter turns play back as 360 x 640.
CameraRecordingSpec turnedRecorder(int rotation) {
    const bool quarterTurn = rotation % 180 != 0;
    return {.name = fmt::format("turned_{}", rotation),
            .displayWidth = quarterTurn ? 360 : 640,
            .displayHeight = quarterTurn ? 640 : 360,
            .audio = testing::CameraAudio::none,
            .rotation = rotation};
}

// The worst PSNR over every frame of two files played back whole, with where it is worst.
struct Playback {
    testing::RegionComparison comparison;
    std::size_t framesA = 0;
    std::size_t framesB = 0;
    std::string describe(const std::string& what) const {
        return fmt::format(
            "{}: PSNR {:.1f} dB in frame {}{}", what, comparison.worstPsnr, comparison.worstFrame,
            comparison.rowsBelowLimit.empty() ? ""
                                              : ", rows below 20 dB: " + comparison.rowsBelowLimit);
    }
};

Playback comparePlayback(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto size = testing::displayedSize(a);
    const auto sizeB = testing::displayedSize(b);
    EXPECT_EQ(sizeB.width, size.width) << b.filename() << " displayed width";
    EXPECT_EQ(sizeB.height, size.height) << b.filename() << " displayed height";
    const testing::PictureRegion whole{0, 0, std::min(size.width, sizeB.width),
                                       std::min(size.height, sizeB.height)};
    const auto framesA = testing::playedBackFrames(a, whole);
    const auto framesB = testing::playedBackFrames(b, whole);
    return {testing::compareRegions(framesA, framesB, 20), framesA.frames.size(),
            framesB.frames.size()};
}

class RotatedRecording : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(turned, turnedRecorder(GetParam())));
        ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(
            upright, testing::uprightTwin(turnedRecorder(GetParam()))));
        // The two recordings themselves must play back alike, or nothing below means anything.
        const Playback sources = comparePlayback(turned, upright);
        ASSERT_GE(sources.comparison.worstPsnr, testing::kReencodeLimitDb)
            << sources.describe("the recordings");
    }

    testing::TempDir dir;
    std::filesystem::path turned = dir / "turned.mp4";
    std::filesystem::path upright = dir / "upright.mp4";
};

TEST_P(RotatedRecording, ExportPlaysBackLikeThatOfAnUprightRecording) {
    const auto turnedExport = dir / "turned.full.overlay.mp4";
    const auto uprightExport = dir / "upright.full.overlay.mp4";
    const auto turnedRun = testing::exportFull(turned, turnedExport);
    ASSERT_EQ(turnedRun.exitStatus, 0) << turnedRun.standardError;
    const auto uprightRun = testing::exportFull(upright, uprightExport);
    ASSERT_EQ(uprightRun.exitStatus, 0) << uprightRun.standardError;

    const Playback exports = comparePlayback(turnedExport, uprightExport);
    EXPECT_EQ(exports.framesA, exports.framesB);
    EXPECT_GE(exports.comparison.worstPsnr, testing::kReencodeLimitDb)
        << exports.describe("the two exports with their HUDs");
}

TEST_P(RotatedRecording, HudStillLooksLikeThatOfAnUprightRecording) {
    const auto still = [&](const std::filesystem::path& recording, const std::string& name) {
        const auto png = dir / name;
        const auto result =
            testing::runCommand({testing::skelderExecutable(), "hud", recording.string(), "--at",
                                 "1", "-o", png.string()});
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        return png;
    };
    const Playback stills =
        comparePlayback(still(turned, "turned.png"), still(upright, "upright.png"));
    EXPECT_GE(stills.comparison.worstPsnr, testing::kReencodeLimitDb)
        << stills.describe("the two HUD stills");
}

INSTANTIATE_TEST_SUITE_P(Rotations, RotatedRecording, ::testing::Values(90, 180, 270),
                         [](const auto& info) { return fmt::format("turned_{}", info.param); });

// A reel of an upside-down recording and an upright one, in either order, plays back like the
// reel of the same pieces from upright recordings: every piece upright with its HUD.
class MixedReel : public ::testing::TestWithParam<bool> {
  protected:
    std::vector<HighlightsReelInput> reelOf(const std::filesystem::path& first,
                                            const std::filesystem::path& second) const {
        const BasicTelemetryExtractionService extractor;
        const auto input = [&](const std::filesystem::path& file, std::int64_t atSecond) {
            const PlannedSegment piece{atSecond, atSecond, 1, 1, 1, 1};
            return HighlightsReelInput{
                file,
                {piece},
                std::make_shared<const DecisecondGrid>(
                    extractor.extractTelemetry(file, false, false).overlaySamplesByDecisecond)};
        };
        // Different seconds of the two, so their pieces show different pictures.
        return GetParam() ? std::vector{input(first, 0), input(second, 1)}
                          : std::vector{input(second, 1), input(first, 0)};
    }

    testing::TempDir dir;
};

TEST_P(MixedReel, EveryPiecePlaysBackUpright) {
    const auto turned = dir / "turned.mp4";
    const auto twin = dir / "twin.mp4";
    const auto plain = dir / "plain.mp4";
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(turned, turnedRecorder(180)));
    ASSERT_NO_FATAL_FAILURE(
        testing::makeCameraRecording(twin, testing::uprightTwin(turnedRecorder(180))));
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(
        plain, {.name = "reel_plain", .audio = testing::CameraAudio::none}));

    ExportService service;
    const HighlightsOverlayOptions options{0.65, false};
    const auto mixed = dir / "mixed.mp4";
    const auto reference = dir / "reference.mp4";
    service.exportHighlightsReel(reelOf(turned, plain), options, mixed, {}, {});
    service.exportHighlightsReel(reelOf(twin, plain), options, reference, {}, {});

    const Playback reels = comparePlayback(mixed, reference);
    EXPECT_EQ(reels.framesA, reels.framesB);
    EXPECT_GE(reels.comparison.worstPsnr, testing::kReencodeLimitDb)
        << reels.describe("the mixed reel against the reel of upright recordings");
}

INSTANTIATE_TEST_SUITE_P(Orders, MixedReel, ::testing::Bool(), [](const auto& info) {
    return info.param ? "UpsideDownFirst" : "UprightFirst";
});

}  // namespace
}  // namespace skelder
