// The sidebar with a thousand scanned files on Qt's offscreen platform: the time to draw a
// frame while scrolling, and to take in a change of the model (one file's inclusion) and draw
// again. A frame of 60 Hz scrolling has 16.7 ms; the list should need a small part of it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QListView>
#include <QScrollBar>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "app/app_view_model.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "ui/sidebar_view.hpp"

namespace {

namespace fs = std::filesystem;
constexpr int kFiles = 1000;

// Analyses find nothing, at once: the list is what is measured.
class InstantProvider final : public skelder::TelemetrySessionProviding {
  public:
    skelder::TelemetrySession loadSession(const fs::path&, skelder::HighlightFilterMode,
                                          std::stop_token) const override {
        return {};
    }
    skelder::TieredTelemetrySession loadTieredSession(const fs::path&, skelder::HighlightFilterMode,
                                                      std::stop_token) const override {
        return {};
    }
};

std::vector<std::uint8_t> thumbnailJpeg() {
    QImage picture(320, 180, QImage::Format_RGB32);
    picture.fill(QColor(90, 130, 170));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG");
    return {bytes.begin(), bytes.end()};
}

// A thousand files (links to one telemetry recording, each its own file to the model), all
// scanned, in a sidebar of the window's default size.
struct ThousandFiles {
    ThousandFiles() {
        folder = fs::temp_directory_path() / "skelder-sidebar-bench";
        fs::remove_all(folder);
        fs::create_directories(folder);
        skelder::kovra::RecordingOptions recording;
        recording.durationSeconds = 30;
        skelder::kovra::writeRecording(folder / "source.kovra", recording);
        std::vector<fs::path> files;
        for (int i = 0; i < kFiles; ++i) {
            const fs::path link = folder / ("lap-" + std::to_string(1000 + i) + ".mp4");
            fs::create_symlink(folder / "source.kovra", link);
            files.push_back(link);
        }
        skelder::AppServices services;
        services.settings = std::make_shared<QSettings>(
            QString::fromStdString((folder / "settings.ini").string()), QSettings::IniFormat);
        services.telemetrySessionProvider = std::make_shared<InstantProvider>();
        services.loadVideoDuration = [](const fs::path&) { return std::optional<double>(30.0); };
        services.thumbnailJPEG = [jpeg = thumbnailJpeg()](const fs::path&, double) {
            return std::optional<std::vector<std::uint8_t>>(jpeg);
        };
        model = std::make_unique<skelder::AppViewModel>(std::move(services));
        sidebar = std::make_unique<skelder::ui::SidebarView>(*model);
        sidebar->resize(340, 700);
        sidebar->show();
        model->addFiles(files);
        const bool scanned = QTest::qWaitFor(
            [&] {
                return model->queues().activeQuickScans == 0 &&
                       model->queues().pendingQuickScanPaths.empty() &&
                       std::count_if(model->fileResults().begin(), model->fileResults().end(),
                                     [](const auto& entry) {
                                         return !entry.second.thumbnail.isNull();
                                     }) == kFiles;
            },
            600000);
        if (!scanned)
            throw std::runtime_error("The thousand files were not scanned in ten minutes");
        sidebar->sectionTitles();  // lays out what is still gathered
        QApplication::processEvents();
    }
    ~ThousandFiles() {
        sidebar.reset();
        model.reset();
        fs::remove_all(folder);
    }

    fs::path folder;
    std::unique_ptr<skelder::AppViewModel> model;
    std::unique_ptr<skelder::ui::SidebarView> sidebar;
};

// Made on first use; gone before the application object.
std::unique_ptr<ThousandFiles> files;

ThousandFiles& thousandFiles() {
    if (!files)
        files = std::make_unique<ThousandFiles>();
    return *files;
}

// One frame of scrolling: the list moves by a little more than half a row and is drawn.
void BM_ScrollFrame(benchmark::State& state) {
    ThousandFiles& thousand = thousandFiles();
    QListView* list = thousand.sidebar->list();
    QScrollBar* scroll = list->verticalScrollBar();
    int position = 0;
    for (auto _ : state) {
        position = (position + 41) % std::max(scroll->maximum(), 1);
        scroll->setValue(position);
        list->viewport()->repaint();
    }
    state.counters["rows"] = list->model()->rowCount();
    state.counters["scrollRange"] = scroll->maximum();
}

// A change of one file (its inclusion) with a thousand listed: the rows are brought up to date
// and the visible ones drawn again.
void BM_ToggleOneFileAndDraw(benchmark::State& state) {
    ThousandFiles& thousand = thousandFiles();
    const skelder::PathKey key = thousand.model->droppedFiles()[500].id();
    QListView* list = thousand.sidebar->list();
    for (auto _ : state) {
        thousand.model->toggleSelection(key);
        list->viewport()->repaint();
    }
    state.counters["rows"] = list->model()->rowCount();
}

BENCHMARK(BM_ScrollFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ToggleOneFileAndDraw)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    files.reset();
    return 0;
}
