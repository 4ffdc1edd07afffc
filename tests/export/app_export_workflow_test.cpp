#include "export/app_export_workflow.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "core/cancellation.hpp"
#include "core/path_key.hpp"
#include "export/export_error.hpp"
#include "export/export_service.hpp"
#include "media/input_file.hpp"
#include "telemetry/extraction_error.hpp"
#include "tests/support/fake_export_service.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

PlannedSegment segment(std::int64_t start, std::int64_t end) {
    return {start, end, end - start + 1, 10.0 * (end - start + 1), 10.0, 12.0};
}

// Sessions by file name; a file without one fails like a recording without telemetry.
class FakeProvider : public TelemetrySessionProviding {
  public:
    std::map<std::string, std::vector<PlannedSegment>> segmentsByName;

    TelemetrySession loadSession(const std::filesystem::path& url, HighlightFilterMode,
                                 std::stop_token) const override {
        const auto found = segmentsByName.find(url.filename().string());
        if (found == segmentsByName.end()) {
            throw TelemetryExtractionError::telemetryMissing(
                "No telemetry track with handler type 'adrv' found");
        }
        return {.inputURL = url, .highlightSegmentLines = {}, .highlightSegments = found->second};
    }
    TieredTelemetrySession loadTieredSession(const std::filesystem::path& url,
                                             HighlightFilterMode mode,
                                             std::stop_token stop) const override {
        TieredTelemetrySession tiered{loadSession(url, mode, stop), {}};
        for (const auto& s : tiered.session.highlightSegments)
            tiered.tiers[PlannedSegmentKey::of(s)] = HighlightTier::best;
        return tiered;
    }
};

// Every hook call, in order, as text.
struct HookLog {
    std::vector<std::string> statuses;
    std::vector<double> progress;
    std::vector<std::optional<std::string>> activeFiles;
    std::vector<std::string> previewText;

    ExportWorkflowHooks hooks() {
        ExportWorkflowHooks h;
        h.setStatusMessage = [this](const std::string& s) { statuses.push_back(s); };
        h.setProgress = [this](double p) { progress.push_back(p); };
        h.setActiveFileName = [this](const std::optional<std::string>& n) {
            activeFiles.push_back(n);
        };
        h.setHighlightPreview = [this](const std::vector<std::string>&, const std::string& text) {
            previewText.push_back(text);
        };
        return h;
    }
    bool hasStatus(const std::string& text) const {
        return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
    }
};

class Workflow : public ::testing::Test {
  protected:
    std::filesystem::path video(const std::string& relative) {
        const auto path = dir / relative;
        std::filesystem::create_directories(path.parent_path());
        if (!std::filesystem::exists(path))
            testing::makeTestVideo(path, {.fps = 5, .seconds = 1, .audio = false});
        return path;
    }
    ExportWorkflowResult full(std::vector<std::filesystem::path> inputs, OutputTarget target,
                              std::stop_token stop = {}) {
        const ExportWorkflowResult result =
            workflow.runFullExport(inputs, target, log.hooks(), 650.0, executor, stop);
        executor.runPending();
        return result;
    }
    ExportWorkflowResult reel(std::vector<std::filesystem::path> inputs, OutputTarget target,
                              ExcludedSegmentsLookup excluded = {}, std::stop_token stop = {}) {
        const ExportWorkflowResult result =
            workflow.runHighlightsReel(inputs, target, HighlightFilterMode::onlyBest, true, 400.0,
                                       log.hooks(), excluded, executor, stop);
        executor.runPending();
        return result;
    }

    testing::TempDir dir;
    std::shared_ptr<FakeProvider> provider = std::make_shared<FakeProvider>();
    std::shared_ptr<testing::FakeExportService> service =
        std::make_shared<testing::FakeExportService>();
    AppExportWorkflow workflow{provider, service};
    RunLoopExecutor executor;
    HookLog log;
};

TEST_F(Workflow, FullExportSkipsAFileWithoutTelemetry) {
    provider->segmentsByName = {{"a.mp4", {}}, {"c.mp4", {}}};
    const auto result =
        full({video("a.mp4"), video("b.mp4"), video("c.mp4")}, FolderTarget{dir / "out"});
    const std::vector<std::string> expected{
        "Processing a.mp4 (1/3)",
        "Exporting a.mp4 (1/3) 0%",
        "Exporting a.mp4 (1/3) 50%",
        "Exporting a.mp4 (1/3) 100%",
        "Exported: a.full.overlay.mp4",
        "Processing b.mp4 (2/3)",
        "Skipped b.mp4: No telemetry track with handler type 'adrv' found",
        "Processing c.mp4 (3/3)",
        "Exporting c.mp4 (3/3) 0%",
        "Exporting c.mp4 (3/3) 50%",
        "Exporting c.mp4 (3/3) 100%",
        "Exported: c.full.overlay.mp4",
    };
    EXPECT_EQ(log.statuses, expected);
    EXPECT_EQ(result.statusMessage, "Done: 2 exported, 1 failed");
    EXPECT_EQ(result.progress, 1.0);
    ASSERT_TRUE(result.completion);
    EXPECT_EQ(result.completion->title, "Export Complete");
    EXPECT_EQ(result.completion->message, "Exported 2 file(s). 1 file(s) failed.");
    EXPECT_EQ(result.completion->outputURLs,
              (std::vector<std::filesystem::path>{dir / "out" / "a.full.overlay.mp4",
                                                  dir / "out" / "c.full.overlay.mp4"}));
    EXPECT_EQ(service->calls().front().options.timeOffsetSeconds, 0.65);
    EXPECT_EQ(log.activeFiles.front(), "a.mp4");
}

// Probing a file reads and decodes its first packets: a full export probes its file once (for
// the job, the description and the video reader), and the audio reader opens the header only.
TEST_F(Workflow, AFullExportProbesItsFileOnce) {
    const auto input = dir / "lap.mp4";
    testing::makeTestVideo(input, {.fps = 5, .seconds = 1});
    provider->segmentsByName = {{"lap.mp4", {}}};
    AppExportWorkflow real{provider,
                           std::make_shared<ExportService>(ParallelExportConfig{2, 4, 0})};
    const media::InputOpenCounts before = media::inputOpenCounts();
    const auto result = real.runFullExport({input}, SingleFileTarget{dir / "lap.hud.mp4"},
                                           log.hooks(), 650.0, executor, {});
    executor.runPending();
    ASSERT_EQ(result.statusMessage, "Done: 1 full file(s) exported");
    EXPECT_EQ(testing::ffprobe(dir / "lap.hud.mp4")["streams"].size(), 2u);
    const media::InputOpenCounts after = media::inputOpenCounts();
    EXPECT_EQ(after.probed - before.probed, 1);
    EXPECT_EQ(after.opened - before.opened, 2);
}

// The unit and each recording's own telemetry advance reach every job; mph and the setting's
// advance are the defaults.
TEST_F(Workflow, EveryJobGetsTheUnitAndItsRecordingsAdvance) {
    provider->segmentsByName = {{"a.mp4", {segment(0, 4)}}, {"b.mp4", {segment(1, 3)}}};
    const auto a = video("a.mp4"), b = video("b.mp4");
    const TelemetryOffsets offsets(650, {{b, -120}});
    full({a, b}, FolderTarget{dir / "default"});
    workflow.runFullExport({a, b}, FolderTarget{dir / "out"}, log.hooks(), offsets, executor, {},
                           SpeedUnit::kmh);
    workflow.runHighlightsReel({a, b}, SingleFileTarget{dir / "reel.mp4"},
                               HighlightFilterMode::onlyBest, false, offsets, log.hooks(), {},
                               executor, {}, SpeedUnit::kmh);
    executor.runPending();
    const auto calls = service->calls();
    ASSERT_EQ(calls.size(), 5u);
    const std::vector<std::pair<double, SpeedUnit>> expected{{0.65, SpeedUnit::mph},
                                                             {0.65, SpeedUnit::mph},
                                                             {0.65, SpeedUnit::kmh},
                                                             {-0.12, SpeedUnit::kmh},
                                                             {0.65, SpeedUnit::kmh}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(calls[i].options.timeOffsetSeconds, expected[i].first) << i;
        EXPECT_EQ(calls[i].options.speedUnit, expected[i].second) << i;
    }
    EXPECT_FALSE(calls[4].options.debugHUDEnabled);
    ASSERT_EQ(calls[4].reel.size(), 2u);
    EXPECT_EQ(calls[4].reel[0].timeOffsetSeconds, 0.65);
    EXPECT_EQ(calls[4].reel[1].timeOffsetSeconds, -0.12);
}

TEST_F(Workflow, ProgressOfTheThirdOfFourFilesAtHalfway) {
    provider->segmentsByName = {{"a.mp4", {}}, {"b.mp4", {}}, {"c.mp4", {}}, {"d.mp4", {}}};
    full({video("a.mp4"), video("b.mp4"), video("c.mp4"), video("d.mp4")},
         FolderTarget{dir.path()});
    EXPECT_NE(std::find(log.progress.begin(), log.progress.end(), 0.625), log.progress.end());
    EXPECT_TRUE(log.hasStatus("Exporting c.mp4 (3/4) 50%"));
}

TEST_F(Workflow, AFailingFileStillReservesItsName) {
    provider->segmentsByName = {{"clip.mp4", {}}};
    // The first clip.mp4 has telemetry but no video, so it fails after its name was taken.
    const auto first = dir / "x" / "clip.mp4";
    std::filesystem::create_directories(first.parent_path());
    testing::writeFile(first, std::vector<std::uint8_t>(64, 'x'));  // no video
    const auto result = full({first, video("y/clip.mp4")}, FolderTarget{dir / "out"});
    ASSERT_EQ(service->calls().size(), 1u);
    EXPECT_EQ(service->calls()[0].outputURL, dir / "out" / "clip.full.overlay-2.mp4");
    EXPECT_EQ(result.statusMessage, "Done: 1 exported, 1 failed");
}

TEST_F(Workflow, CancellingFullExports) {
    provider->segmentsByName = {{"a.mp4", {}}, {"b.mp4", {}}, {"c.mp4", {}}};
    std::stop_source stop;
    service->beforeFinishing = [&](int call) {
        if (call == 2) {
            stop.request_stop();
            throw CancellationError();
        }
    };
    const auto result = full({video("a.mp4"), video("b.mp4"), video("c.mp4")},
                             FolderTarget{dir.path()}, stop.get_token());
    EXPECT_EQ(result.statusMessage, "Export canceled after 1 file(s)");
    EXPECT_FALSE(result.progress.has_value());
    ASSERT_TRUE(result.completion);
    EXPECT_EQ(result.completion->title, "Export Canceled");
    EXPECT_EQ(result.completion->message, "Canceled after exporting 1 file(s).");
    EXPECT_EQ(result.completion->outputURLs.size(), 1u);

    std::stop_source early;
    early.request_stop();
    const auto none = full({video("a.mp4")}, FolderTarget{dir.path()}, early.get_token());
    EXPECT_EQ(none.statusMessage, "Export canceled");
    EXPECT_FALSE(none.completion);
    EXPECT_FALSE(none.progress);
}

TEST_F(Workflow, ReelTakesIncludedSegmentsAndCountsEverySelectedFile) {
    provider->segmentsByName = {{"a.mp4", {segment(3, 9), segment(20, 24)}},
                                {"b.mp4", {segment(1, 4)}},
                                {"d.mp4", {segment(5, 8)}}};
    const auto a = video("a.mp4"), b = video("b.mp4"), c = video("c.mp4"), d = video("d.mp4");
    const auto excluded = [&](const std::string& key) {
        if (key == pathKey(a))
            return std::unordered_set<PlannedSegmentKey>{{20, 24}};
        if (key == pathKey(d))
            return std::unordered_set<PlannedSegmentKey>{{5, 8}};
        return std::unordered_set<PlannedSegmentKey>{};
    };
    const auto result = reel({a, b, c, d}, SingleFileTarget{dir / "reel.mp4"}, excluded);
    EXPECT_EQ(result.statusMessage, "Done: reel.mp4");
    EXPECT_EQ(result.progress, 1.0);
    ASSERT_TRUE(result.completion);
    EXPECT_EQ(result.completion->title, "Highlights Reel Ready");
    EXPECT_EQ(result.completion->message, "Created one highlights reel from 4 selected file(s).");

    ASSERT_EQ(service->calls().size(), 1u);
    const auto inputs = service->calls()[0].reel;
    ASSERT_EQ(inputs.size(), 2u);  // c was skipped, d had every segment excluded
    EXPECT_EQ(inputs[0].inputURL, a);
    ASSERT_EQ(inputs[0].highlightSegments.size(), 1u);
    EXPECT_EQ(inputs[0].highlightSegments[0].startSecond, 3);
    EXPECT_EQ(inputs[1].inputURL, b);
    EXPECT_EQ(service->calls()[0].options.timeOffsetSeconds, 0.4);
    EXPECT_TRUE(service->calls()[0].options.debugHUDEnabled);

    ASSERT_EQ(log.previewText.size(), 1u);
    const std::string& preview = log.previewText.front();
    EXPECT_EQ(preview.rfind("[a.mp4]\nIncluded 1 of 2 highlight(s)\n", 0), 0u) << preview;
    EXPECT_NE(preview.find("[c.mp4] Skipped: No telemetry track with handler type 'adrv' found\n"),
              std::string::npos);
    EXPECT_EQ(preview.find("[d.mp4]"), std::string::npos);
    EXPECT_TRUE(log.hasStatus("Preparing c.mp4 (3/4)"));
    EXPECT_TRUE(log.hasStatus("Exporting highlights reel 50%"));
    // Bands: 0.05 to 0.40 while analysing, 0.45 before encoding, then 0.45 to 1.
    EXPECT_EQ(log.progress.front(), 0.05);
    EXPECT_NE(std::find(log.progress.begin(), log.progress.end(), 0.45), log.progress.end());
    EXPECT_NE(std::find(log.progress.begin(), log.progress.end(), 0.5 * 0.55 + 0.45),
              log.progress.end());
    EXPECT_EQ(log.activeFiles.back(), std::nullopt);
}

TEST_F(Workflow, ReelFailuresAndCancellation) {
    provider->segmentsByName = {{"a.mp4", {segment(0, 3)}}};
    const auto a = video("a.mp4");
    const auto everything = [](const std::string&) {
        return std::unordered_set<PlannedSegmentKey>{{0, 3}};
    };
    const auto excludedAll = reel({a}, SingleFileTarget{dir / "r.mp4"}, everything);
    EXPECT_EQ(excludedAll.statusMessage,
              "Highlights reel failed: No highlight segments were selected");
    EXPECT_EQ(excludedAll.progress, 1.0);
    EXPECT_FALSE(excludedAll.completion);

    const auto folder = reel({a}, FolderTarget{dir.path()});
    EXPECT_EQ(folder.statusMessage,
              "Highlights reel failed: No supported output file type available");

    service->beforeFinishing = [](int) {
        throw ExportError::exportFailed("Writer failed", "Disk full");
    };
    const auto failed = reel({a}, SingleFileTarget{dir / "r.mp4"});
    EXPECT_EQ(failed.statusMessage, "Highlights reel failed: Writer failed: Disk full");

    // A cancel that arrives once the reel is written still reports the cancellation.
    std::stop_source stop;
    service->beforeFinishing = [&](int) { stop.request_stop(); };
    const auto late = reel({a}, SingleFileTarget{dir / "r.mp4"}, {}, stop.get_token());
    EXPECT_EQ(late.statusMessage, "Highlights reel export canceled");
    EXPECT_FALSE(late.progress);
    EXPECT_FALSE(late.completion);
}

// The command line waits in runUntil for its worker's flag; a wake-up sent between the loop's
// last look at the flag and its sleep was lost now and then, and the command never exited (a
// lost wake-up hangs this test).
TEST(RunLoopExecutor, AWakeUpAfterTheWorkIsDoneIsNeverLost) {
    for (int round = 0; round < 20000; ++round) {
        RunLoopExecutor loop;
        std::atomic<bool> finished = false;
        std::thread worker([&] {
            finished = true;
            loop.wake();
        });
        loop.runUntil([&] { return finished.load(); });
        worker.join();
    }
}

}  // namespace
}  // namespace skelder
