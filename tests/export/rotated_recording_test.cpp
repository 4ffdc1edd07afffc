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

// How a recorder stores its picture: turned, and mirrored first when set to.
struct Orientation {
    int rotation = 0;
    bool mirrored = false;
};

// Stored 640 x 360, so quarter turns play back as 360 x 640.
CameraRecordingSpec turnedRecorder(Orientation orientation) {
    const bool quarterTurn = orientation.rotation % 180 != 0;
    return {.name = fmt::format("turned_{}{}", orientation.rotation,
                                orientation.mirrored ? "_mirrored" : ""),
            .displayWidth = quarterTurn ? 360 : 640,
            .displayHeight = quarterTurn ? 640 : 360,
            .audio = testing::CameraAudio::none,
            .rotation = orientation.rotation,
            .mirrored = orientation.mirrored};
}

// How two files played back whole differ, frame by frame; they must have the same frames.
testing::RegionComparison comparePlayback(const std::filesystem::path& a,
                                          const std::filesystem::path& b) {
    const auto size = testing::displayedSize(a);
    const auto sizeB = testing::displayedSize(b);
    EXPECT_EQ(std::pair(sizeB.width, sizeB.height), std::pair(size.width, size.height))
        << "displayed size of " << b.filename() << " against " << a.filename();
    const testing::PictureRegion whole{0, 0, std::min(size.width, sizeB.width),
                                       std::min(size.height, sizeB.height)};
    const auto framesA = testing::playedBackFrames(a, whole);
    const auto framesB = testing::playedBackFrames(b, whole);
    EXPECT_FALSE(framesA.frames.empty()) << a.filename();
    EXPECT_EQ(framesB.frames.size(), framesA.frames.size())
        << "frames of " << b.filename() << " and " << a.filename();
    return testing::compareRegions(framesA, framesB);
}

class RotatedRecording : public ::testing::TestWithParam<Orientation> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(turned, turnedRecorder(GetParam())));
        ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(
            upright, testing::uprightTwin(turnedRecorder(GetParam()))));
        // The two recordings themselves must play back alike, or nothing below means anything.
        const auto sources = comparePlayback(turned, upright);
        ASSERT_GE(sources.worstPsnr, testing::kReencodeLimitDb)
            << testing::describe(sources, "the recordings");
    }

    testing::TempDir dir;
    std::filesystem::path turned = dir / "turned.mp4";
    std::filesystem::path upright = dir / "upright.mp4";
};

TEST_P(RotatedRecording, ExportAndHudStillPlayBackLikeThoseOfAnUprightRecording) {
    const auto turnedExport = dir / "turned.full.overlay.mp4";
    const auto uprightExport = dir / "upright.full.overlay.mp4";
    const auto turnedRun = testing::exportFull(turned, turnedExport);
    ASSERT_EQ(turnedRun.exitStatus, 0) << turnedRun.standardError;
    const auto uprightRun = testing::exportFull(upright, uprightExport);
    ASSERT_EQ(uprightRun.exitStatus, 0) << uprightRun.standardError;

    // Every frame has a HUD to compare: no export frame is its source's.
    const auto hud = comparePlayback(uprightExport, upright);
    EXPECT_LT(hud.bestPsnr, testing::kReencodeLimitDb) << "a frame without HUD";

    const auto exports = comparePlayback(turnedExport, uprightExport);
    EXPECT_GE(exports.worstPsnr, testing::kReencodeLimitDb)
        << testing::describe(exports, "the two exports with their HUDs");

    // The HUD still, mid-recording, so it is drawn over the recording's own picture.
    const auto still = [&](const std::filesystem::path& recording, const std::string& name) {
        const auto png = dir / name;
        const auto result =
            testing::runCommand({testing::skelderExecutable(), "hud", recording.string(), "--at",
                                 "0.5", "-o", png.string()});
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        return png;
    };
    const auto turnedStill = still(turned, "turned.png");
    const auto uprightStill = still(upright, "upright.png");
    const auto shown = testing::displayedSize(upright);
    const auto uprightSize = testing::displayedSize(uprightStill);
    ASSERT_EQ(uprightSize.width, shown.width) << "the upright recording's still";
    ASSERT_EQ(uprightSize.height, shown.height) << "the upright recording's still";

    const auto stills = comparePlayback(turnedStill, uprightStill);
    EXPECT_GE(stills.worstPsnr, testing::kReencodeLimitDb)
        << testing::describe(stills, "the two HUD stills");
}

// A recorder set to mirror its picture says so in the display matrix too: the HUD must read
// left to right once the player has mirrored and turned the frame.
INSTANTIATE_TEST_SUITE_P(Rotations, RotatedRecording,
                         ::testing::Values(Orientation{90}, Orientation{180}, Orientation{270},
                                           Orientation{90, true}, Orientation{0, true}),
                         [](const auto& info) { return turnedRecorder(info.param).name; });

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
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(turned, turnedRecorder({180})));
    ASSERT_NO_FATAL_FAILURE(
        testing::makeCameraRecording(twin, testing::uprightTwin(turnedRecorder({180}))));
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(
        plain, {.name = "reel_plain", .audio = testing::CameraAudio::none, .seconds = 2}));

    ExportService service;
    const HighlightsOverlayOptions options{0.65, false};
    const auto mixed = dir / "mixed.mp4";
    const auto reference = dir / "reference.mp4";
    service.exportHighlightsReel(reelOf(turned, plain), options, mixed, {}, {});
    service.exportHighlightsReel(reelOf(twin, plain), options, reference, {}, {});

    const auto reels = comparePlayback(mixed, reference);
    EXPECT_GE(reels.worstPsnr, testing::kReencodeLimitDb)
        << testing::describe(reels, "the mixed reel against the reel of upright recordings");
}

INSTANTIATE_TEST_SUITE_P(Orders, MixedReel, ::testing::Bool(), [](const auto& info) {
    return info.param ? "UpsideDownFirst" : "UprightFirst";
});

}  // namespace
}  // namespace skelder
