#include "tests/app/model_test_support.hpp"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <algorithm>
#include <chrono>

#include "core/cancellation.hpp"
#include "highlights/session_cache.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/staged_drive.hpp"

namespace skelder::apptest {

using namespace std::chrono_literals;

void Gate::close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
}

void Gate::open(const std::string& name) {
    const std::lock_guard lock(mutex_);
    opened_.insert(name);
    changed_.notify_all();
}

void Gate::openAll() {
    const std::lock_guard lock(mutex_);
    closed_ = false;
    changed_.notify_all();
}

void Gate::pass(const std::string& name) {
    std::unique_lock lock(mutex_);
    arrivals_.push_back(name);
    ++waiting_;
    changed_.wait_for(lock, 60s, [&] { return !closed_ || opened_.contains(name); });
    --waiting_;
}

std::vector<std::string> Gate::arrivals() const {
    const std::lock_guard lock(mutex_);
    return arrivals_;
}

int Gate::waiting() const {
    const std::lock_guard lock(mutex_);
    return waiting_;
}

void ConcurrencyMeter::enter() {
    const int now = ++now_;
    int most = most_.load();
    while (now > most && !most_.compare_exchange_weak(most, now)) {
    }
}

void ConcurrencyMeter::leave() {
    --now_;
}

ParsedTelemetryData GatedExtractor::extractTelemetry(const std::filesystem::path& inputURL,
                                                     bool includeFeatureBuckets,
                                                     bool includePacketTiming,
                                                     std::stop_token stop) const {
    Gate& gate = includeFeatureBuckets ? analyses : quickScans;
    ConcurrencyMeter& meter = includeFeatureBuckets ? analysesAtOnce : quickScansAtOnce;
    meter.enter();
    gate.pass(inputURL.filename().string());
    struct Leave {
        ConcurrencyMeter& meter;
        ~Leave() { meter.leave(); }
    } leave{meter};
    return real_.extractTelemetry(inputURL, includeFeatureBuckets, includePacketTiming, stop);
}

TelemetrySession StubbornProvider::loadSession(const std::filesystem::path& url,
                                               HighlightFilterMode filterMode,
                                               std::stop_token) const {
    {
        const std::lock_guard lock(mutex_);
        sessionThreads_.push_back(std::this_thread::get_id());
    }
    sessionGate.pass(url.filename().string());
    struct Count {
        std::atomic<int>& returned;
        ~Count() { ++returned; }
    } count{sessionsReturned_};
    return real_->loadSession(url, filterMode, {});
}

std::vector<std::thread::id> StubbornProvider::sessionThreads() const {
    const std::lock_guard lock(mutex_);
    return sessionThreads_;
}

TieredTelemetrySession StubbornProvider::loadTieredSession(const std::filesystem::path& url,
                                                           HighlightFilterMode filterMode,
                                                           std::stop_token) const {
    {
        const std::lock_guard lock(mutex_);
        modes_.push_back(filterMode);
    }
    gate.pass(url.filename().string());
    struct Count {
        std::atomic<int>& returned;
        ~Count() { ++returned; }
    } count{returned_};
    return real_->loadTieredSession(url, filterMode, {});
}

std::vector<HighlightFilterMode> StubbornProvider::modesAsked() const {
    const std::lock_guard lock(mutex_);
    return modes_;
}

std::optional<std::vector<std::filesystem::path>> FakeFilePanel::chooseInputFiles() {
    return inputFiles;
}

std::optional<OutputTarget> FakeFilePanel::chooseOutputTarget(
    const std::vector<std::filesystem::path>& inputs, ProcessingMode mode,
    const std::string& defaultReelName) {
    ++outputPanelsShown;
    lastInputs = inputs;
    lastMode = mode;
    lastDefaultReelName = defaultReelName;
    return outputTarget;
}

ThumbnailRecorder::ThumbnailRecorder() {
    QImage picture(32, 18, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG");
    shared_->jpeg.assign(bytes.begin(), bytes.end());
}

ThumbnailLoader ThumbnailRecorder::loader() {
    return [shared = shared_](const std::filesystem::path& url,
                              double seconds) -> std::optional<std::vector<std::uint8_t>> {
        const std::lock_guard lock(shared->mutex);
        shared->requests.emplace_back(url.filename().string(), seconds);
        return shared->jpeg;
    };
}

std::vector<std::pair<std::string, double>> ThumbnailRecorder::requests() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->requests;
}

void writeDrive(const std::filesystem::path& path, double seconds, bool withoutGForce) {
    testing::writeStagedDrive(path, seconds, [withoutGForce](double t) {
        samples::DriveState s = t >= 20 && t < 27   ? testing::cornering(t, 20, 1.35)
                                : t >= 40 && t < 52 ? testing::flatOut(t, 40)
                                                    : testing::cruising(t);
        if (withoutGForce) {
            s.lateralAccelerationMps2 = 0;
            s.longitudinalAccelerationMps2 = 0;
        }
        return s;
    });
}

void writeRecordingWithoutTelemetry(const std::filesystem::path& path) {
    testing::makeTestVideo(path, {.seconds = 1, .audio = false});
}

bool waitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 30000);
}

ModelTest::~ModelTest() {
    // Let every waiting thread go before the model waits for its threads.
    extractor->quickScans.openAll();
    extractor->analyses.openAll();
    if (auto stubborn = std::dynamic_pointer_cast<const StubbornProvider>(provider)) {
        stubborn->gate.openAll();
        stubborn->sessionGate.openAll();
    }
    model.reset();
    // Extractions the model stopped waiting for still read the test's files.
    EXPECT_TRUE(waitFor([&] { return extractor->idle(); }));
}

AppServices ModelTest::services() {
    AppServices services;
    services.telemetryExtractor = extractor;
    services.exportService = exporter;
    services.filePanelService = panel;
    services.telemetrySessionProvider = provider;
    services.thumbnailJPEG = thumbnails.loader();
    services.loadVideoDuration =
        [durations = durationsByName](const std::filesystem::path& url) -> std::optional<double> {
        const auto found = durations.find(url.filename().string());
        if (found == durations.end())
            return std::nullopt;
        return found->second;
    };
    services.settings = settingsFile();
    return services;
}

void ModelTest::makeModel() {
    model.reset();
    model = std::make_unique<AppViewModel>(services());
}

std::shared_ptr<QSettings> ModelTest::settingsFile() const {
    return std::make_shared<QSettings>(QString::fromStdString((dir / "settings.ini").string()),
                                       QSettings::IniFormat);
}

const StubbornProvider& ModelTest::useStubbornProvider() {
    auto stubborn = std::make_shared<StubbornProvider>(std::make_shared<TelemetrySessionProvider>(
        extractor, std::make_shared<TelemetrySessionCache>()));
    provider = stubborn;
    return *stubborn;
}

void ModelTest::addAnalysed(const std::vector<std::filesystem::path>& files) {
    model->addFiles(files);
    ASSERT_TRUE(waitFor([&] {
        const auto listed = static_cast<int>(model->droppedFiles().size());
        return allScanned() && analysed() == listed && withThumbnail() == listed &&
               withLaps() == listed;
    }));
}

std::vector<std::string> ModelTest::listedNames() const {
    std::vector<std::string> names;
    for (const DroppedFileItem& item : model->droppedFiles())
        names.push_back(item.url.filename().string());
    return names;
}

std::filesystem::path ModelTest::drive(const std::string& name, double seconds) {
    const std::filesystem::path path = dir / name;
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(path.parent_path());
        writeDrive(path, seconds);
    }
    return path;
}

std::vector<std::filesystem::path> ModelTest::drives(const std::vector<std::string>& names,
                                                     double seconds) {
    std::vector<std::filesystem::path> paths;
    for (const std::string& name : names)
        paths.push_back(drive(name, seconds));
    return paths;
}

std::filesystem::path ModelTest::videoRecording(const std::string& name, double seconds) {
    const std::filesystem::path path = dir / name;
    testing::copySampleRecording(path,
                                 {.seconds = seconds, .width = 320, .height = 180, .audio = false});
    return path;
}

int ModelTest::countResults(const std::function<bool(const FileResults&)>& has) const {
    return static_cast<int>(std::count_if(model->fileResults().begin(), model->fileResults().end(),
                                          [&](const auto& entry) { return has(entry.second); }));
}

int ModelTest::countStatus(const std::function<bool(const QuickScanStatus&)>& is) const {
    int count = 0;
    for (const DroppedFileItem& item : model->droppedFiles())
        count += is(item.quickScanStatus) ? 1 : 0;
    return count;
}

int ModelTest::scanning() const {
    return countStatus(
        [](const QuickScanStatus& s) { return std::holds_alternative<QuickScanScanning>(s); });
}

int ModelTest::finished() const {
    return countStatus([](const QuickScanStatus& s) {
        return std::holds_alternative<QuickScanDone>(s) ||
               std::holds_alternative<QuickScanFailed>(s);
    });
}

bool ModelTest::allScanned() const {
    return finished() == static_cast<int>(model->droppedFiles().size());
}

}  // namespace skelder::apptest
