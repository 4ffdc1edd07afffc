#pragma once

// Fixtures of the application model tests: recordings written at test time, services whose
// background work waits at gates the test opens, and a model over them with its settings in a
// temporary folder.

#include <gtest/gtest.h>

#include <QSettings>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/app_view_model.hpp"
#include "core/path_key.hpp"
#include "tests/support/fake_export_service.hpp"
#include "tests/support/temp_dir.hpp"

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace skelder::apptest {

// Background work calls pass(name) and waits there while the gate is closed, until the test
// opens it for that name or for everyone. Never waits longer than a minute, so a broken test
// fails instead of hanging.
class Gate {
  public:
    void close();
    void open(const std::string& name);
    void openAll();
    void pass(const std::string& name);

    // Names of the work that arrived, in order, and how many wait now.
    std::vector<std::string> arrivals() const;
    int waiting() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    std::set<std::string> opened_;
    std::vector<std::string> arrivals_;
    int waiting_ = 0;
};

// Keeps the highest value a running count reached.
class ConcurrencyMeter {
  public:
    void enter();
    void leave();
    int now() const { return now_.load(); }
    int most() const { return most_.load(); }

  private:
    std::atomic<int> now_{0};
    std::atomic<int> most_{0};
};

// The real extractor behind two gates: one for quick scans (no feature buckets) and one for
// highlight analyses (with buckets), keyed by file name.
class GatedExtractor : public TelemetryExtractionService {
  public:
    ParsedTelemetryData extractTelemetry(const std::filesystem::path& inputURL,
                                         bool includeFeatureBuckets, bool includePacketTiming,
                                         std::stop_token stop = {}) const override;

    mutable Gate quickScans;
    mutable Gate analyses;
    mutable ConcurrencyMeter quickScansAtOnce;
    mutable ConcurrencyMeter analysesAtOnce;

    // No extraction is running (the provider's own threads are detached and outlive a
    // cancelled analysis).
    bool idle() const { return quickScansAtOnce.now() == 0 && analysesAtOnce.now() == 0; }

  private:
    BasicTelemetryExtractionService real_;
};

// A session provider that waits at a gate and, unlike the real one, never notices
// cancellation: its result always arrives, as a late result of a cancelled task would. Plain
// sessions (which the model asks for its lap analyses) wait at a gate of their own.
class StubbornProvider : public TelemetrySessionProviding {
  public:
    explicit StubbornProvider(std::shared_ptr<const TelemetrySessionProviding> real)
        : real_(std::move(real)) {}

    TelemetrySession loadSession(const std::filesystem::path& url, HighlightFilterMode filterMode,
                                 std::stop_token stop) const override;
    TieredTelemetrySession loadTieredSession(const std::filesystem::path& url,
                                             HighlightFilterMode filterMode,
                                             std::stop_token stop) const override;

    std::vector<HighlightFilterMode> modesAsked() const;
    // Tiered calls that came back with a session or an error.
    int returned() const { return returned_.load(); }
    // Plain calls that came back, and the threads that made them.
    int sessionsReturned() const { return sessionsReturned_.load(); }
    std::vector<std::thread::id> sessionThreads() const;

    mutable Gate gate;
    mutable Gate sessionGate;

  private:
    std::shared_ptr<const TelemetrySessionProviding> real_;
    mutable std::mutex mutex_;
    mutable std::vector<HighlightFilterMode> modes_;
    mutable std::atomic<int> returned_{0};
    mutable std::atomic<int> sessionsReturned_{0};
    mutable std::vector<std::thread::id> sessionThreads_;
};

using testing::FakeExportService;

// Answers the panels with what the test set; counts how often they were shown.
class FakeFilePanel : public FilePanelServicing {
  public:
    std::optional<std::vector<std::filesystem::path>> chooseInputFiles() override;
    std::optional<OutputTarget> chooseOutputTarget(const std::vector<std::filesystem::path>&,
                                                   ProcessingMode mode,
                                                   const std::string& defaultReelName) override;

    std::optional<std::vector<std::filesystem::path>> inputFiles;
    std::optional<OutputTarget> outputTarget;
    int outputPanelsShown = 0;
    std::vector<std::filesystem::path> lastInputs;
    std::string lastDefaultReelName;
    std::optional<ProcessingMode> lastMode;
};

// Thumbnails made by the test: records every request (file name and second) and answers
// with a small JPEG picture.
class ThumbnailRecorder {
  public:
    ThumbnailRecorder();
    ThumbnailLoader loader();
    std::vector<std::pair<std::string, double>> requests() const;

  private:
    struct Shared {
        std::mutex mutex;
        std::vector<std::pair<std::string, double>> requests;
        std::vector<std::uint8_t> jpeg;
    };
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

// A recording of telemetry only: `seconds` of driving with a hard corner from second 20 and
// a full-throttle run from second 40 (when long enough), so both highlight plans find
// something. `withoutGForce` keeps both accelerations at 0 (no peak second).
void writeDrive(const std::filesystem::path& path, double seconds, bool withoutGForce = false);
// A camera's video without the recorder's telemetry, as ffmpeg writes it ("No Kovra Data").
void writeRecordingWithoutTelemetry(const std::filesystem::path& path);

// Processes events until the condition holds (at most 30 s); false when it never did.
bool waitFor(const std::function<bool()>& condition);

class ModelTest : public ::testing::Test {
  protected:
    ~ModelTest() override;

    // The services over the fakes above; a test may change them before makeModel().
    AppServices services();
    void makeModel();
    std::shared_ptr<QSettings> settingsFile() const;
    // Puts a StubbornProvider over a real provider of the extractor above (before makeModel()).
    const StubbornProvider& useStubbornProvider();
    // Adds the files and waits until each is scanned, analysed and has its thumbnail and laps.
    void addAnalysed(const std::vector<std::filesystem::path>& files);
    std::vector<std::string> listedNames() const;

    // A drive recording in the temporary folder (written once per name).
    std::filesystem::path drive(const std::string& name, double seconds = 30);
    std::vector<std::filesystem::path> drives(const std::vector<std::string>& names,
                                              double seconds = 30);
    // A small sample recording with video (320 x 180, no sound), as full exports need.
    std::filesystem::path videoRecording(const std::string& name, double seconds = 2);
    static PathKey keyOf(const std::filesystem::path& path) { return pathKey(path); }

    // Files whose record holds what `has` asks for; with analysed highlights, a thumbnail, laps.
    int countResults(const std::function<bool(const FileResults&)>& has) const;
    int analysed() const {
        return countResults([](const auto& r) { return !!r.segments; });
    }
    int withThumbnail() const {
        return countResults([](const auto& r) { return !r.thumbnail.isNull(); });
    }
    int withLaps() const {
        return countResults([](const auto& r) { return !!r.laps; });
    }

    int countStatus(const std::function<bool(const QuickScanStatus&)>& is) const;
    int scanning() const;
    int finished() const;
    bool allScanned() const;

    testing::TempDir dir;
    std::shared_ptr<GatedExtractor> extractor = std::make_shared<GatedExtractor>();
    std::shared_ptr<FakeExportService> exporter = std::make_shared<FakeExportService>();
    std::shared_ptr<FakeFilePanel> panel = std::make_shared<FakeFilePanel>();
    ThumbnailRecorder thumbnails;
    std::map<std::string, double> durationsByName;              // the duration loader's answers
    std::shared_ptr<const TelemetrySessionProviding> provider;  // empty: the model's own
    std::unique_ptr<AppViewModel> model;
};

// A ModelTest whose model is made before each test.
class ReadyModelTest : public ModelTest {
  protected:
    void SetUp() override { makeModel(); }
};

}  // namespace skelder::apptest
