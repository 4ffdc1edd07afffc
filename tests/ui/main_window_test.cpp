// The main window driven like a user: real recordings, the real model and its services, real
// clicks, keys and drops on the offscreen platform. Only the file panels are answered by the
// test. The sidebar's rows are read as a user reads them: the statistics line at the window's
// default size, elided in a narrow row with the full line in the tooltip and the accessible name.

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "laps/lap_texts.hpp"
#include "tests/support/camera_recordings.hpp"
#include "tests/support/circuit_drive.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "ui/detail_pane_view.hpp"
#include "ui/export_progress_sheet.hpp"
#include "ui/file_list_model.hpp"
#include "ui/file_panel_service.hpp"
#include "ui/file_row_delegate.hpp"
#include "ui/main_window.hpp"
#include "ui/preview_player_widget.hpp"
#include "ui/shutdown.hpp"
#include "ui/sidebar_view.hpp"
#include "ui/timeline_widget.hpp"

namespace skelder::ui {
namespace {

namespace fs = std::filesystem;

// Two drives with sound, small pictures; written once for the whole program.
const fs::path& recordingsFolder() {
    static const testing::TempDir folder;
    [[maybe_unused]] static const bool written = [] {
        testing::copySampleRecording(folder / "b-lap.mp4",
                                     {.seconds = 40, .width = 320, .height = 180, .seed = 1});
        testing::copySampleRecording(folder / "a-lap.mp4",
                                     {.seconds = 30, .width = 320, .height = 180, .seed = 2});
        return true;
    }();
    return folder.path();
}

// A camera's film of three flying laps of a club circuit with the recorder's telemetry.
const fs::path& clubRecording() {
    static testing::TempDir folder;
    static const fs::path file = [] {
        const testing::CircuitDrive drive(testing::clubCircuit(), {.flyingLaps = 3});
        const testing::CameraRecordingSpec camera{.name = "window_club",
                                                  .displayWidth = 160,
                                                  .displayHeight = 90,
                                                  .frameRate = "10",
                                                  .audio = testing::CameraAudio::none,
                                                  .seconds = std::ceil(drive.endSeconds())};
        testing::writeCircuitRecording(folder / "club.mp4", drive, testing::cameraVideo(camera));
        return folder / "club.mp4";
    }();
    return file;
}

// Generous: scans and analyses run at lowered priority, slow on a busy machine.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 180000) {
    return QTest::qWaitFor(condition, milliseconds);
}

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() {
        AppServices services;
        services.settings = std::make_shared<QSettings>(
            QString::fromStdString((dir / "settings.ini").string()), QSettings::IniFormat);
        panels = std::make_shared<FilePanelService>(nullptr, [this](QFileDialog& dialog) {
            ++panelsShown;
            if (!panelAnswer)
                return false;
            dialog.selectFile(QString::fromStdString(panelAnswer->string()));
            return true;
        });
        services.filePanelService = panels;
        model = std::make_unique<AppViewModel>(std::move(services));
        window = std::make_unique<MainWindow>(*model);
        panels->setParentWindow(window.get());
        window->show();
    }
    ~MainWindowTest() override {
        window.reset();
        model.reset();
    }

    static fs::path first() { return recordingsFolder() / "a-lap.mp4"; }
    static fs::path second() { return recordingsFolder() / "b-lap.mp4"; }
    static PathKey keyOf(const fs::path& path) { return DroppedFileItem{path}.id(); }

    void drop(const std::vector<fs::path>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& path : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(path.string()));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window->sidebar(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        EXPECT_TRUE(model->isDropTargeted());
        QDropEvent dropEvent(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                             Qt::NoModifier);
        QApplication::sendEvent(window->sidebar(), &dropEvent);
        EXPECT_FALSE(model->isDropTargeted());
    }

    bool scansDone() const {
        for (const DroppedFileItem& file : model->droppedFiles()) {
            if (std::holds_alternative<QuickScanPending>(file.quickScanStatus) ||
                std::holds_alternative<QuickScanScanning>(file.quickScanStatus))
                return false;
        }
        return true;
    }

    // Drops both recordings and waits until the shown one is analysed.
    void listBothAndWait() {
        drop({recordingsFolder()});
        ASSERT_TRUE(waitFor([&] { return scansDone(); }));
        ASSERT_TRUE(waitFor([&] {
            const auto shown = window->primaryFilePathKey();
            return shown && !model->isHighlightAnalysisInProgress(*shown);
        }));
        ASSERT_FALSE(timeline()->bars().empty()) << "the drive has no highlights";
    }

    TimelineWidget* timeline() const { return window->detailPane()->timeline(); }
    PreviewPlayerWidget* preview() const { return window->detailPane()->previewPlayer(); }

    testing::TempDir dir;
    std::shared_ptr<FilePanelService> panels;
    std::optional<fs::path> panelAnswer;
    int panelsShown = 0;
    std::unique_ptr<AppViewModel> model;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ADropListsTheFilesByStateAndShowsTheFirstWithItsHighlights) {
    EXPECT_TRUE(window->sidebar()->isShowingEmptyState());
    EXPECT_EQ(window->detailPane()->fileTitle()->text(), "No selected file");
    EXPECT_FALSE(window->selectAllAction()->isEnabled());

    listBothAndWait();
    SidebarView* sidebar = window->sidebar();
    EXPECT_FALSE(sidebar->isShowingEmptyState());
    EXPECT_EQ(sidebar->sectionTitles(), QStringList{"Processed (2)"});
    EXPECT_EQ(sidebar->countText()->text(), "2/2");
    EXPECT_EQ(sidebar->includeAll()->checkState(), Qt::Checked);
    // Sorted by name: a-lap first, and the list selection starts on it.
    EXPECT_EQ(sidebar->tableSelection(), std::set<PathKey>{keyOf(first())});
    EXPECT_EQ(window->detailPane()->fileTitle()->text(), "a-lap.mp4");
    EXPECT_EQ(window->detailPane()->analysisHeader()->text(), "Detected Interesting Parts");
    EXPECT_EQ(preview()->source(), fs::path(keyOf(first())));
    EXPECT_EQ(window->previewPathKey(), keyOf(first()));

    // One bar per stored segment, in stored order, on the file's timeline.
    const auto& segments = *model->highlightSegments(keyOf(first()));
    ASSERT_EQ(timeline()->bars().size(), segments.size());
    for (std::size_t i = 0; i < segments.size(); ++i)
        EXPECT_EQ(timeline()->bars()[i].segment, segments[i]);
    ASSERT_TRUE(waitFor([&] { return !model->thumbnail(keyOf(first())).isNull(); }));

    // Choosing the other row shows that file.
    const QModelIndex other = sidebar->indexFor(keyOf(second()));
    ASSERT_TRUE(other.isValid());
    const QRect otherRect = sidebar->list()->visualRect(other);
    QTest::mouseClick(sidebar->list()->viewport(), Qt::LeftButton, {},
                      QPoint(otherRect.right() - 10, otherRect.center().y()));
    EXPECT_EQ(sidebar->tableSelection(), std::set<PathKey>{keyOf(second())});
    EXPECT_EQ(window->detailPane()->fileTitle()->text(), "b-lap.mp4");
    EXPECT_EQ(preview()->source(), fs::path(keyOf(second())));
}

TEST_F(MainWindowTest, InclusionButtonsHeaderCheckboxSpaceAndTheSelectionCommands) {
    listBothAndWait();
    SidebarView* sidebar = window->sidebar();
    const auto markOf = [&](const PathKey& key) {
        return FileRowDelegate::inclusionRect(sidebar->list()->visualRect(sidebar->indexFor(key)))
            .center();
    };
    const auto markText = [&](const PathKey& key) {
        return inclusionActionText(*sidebar->fileList()->content(sidebar->indexFor(key)));
    };
    EXPECT_EQ(markText(keyOf(second())), "Deselect b-lap.mp4");
    // A click on the mark includes or excludes the file; it does not change the shown file.
    QTest::mouseClick(sidebar->list()->viewport(), Qt::LeftButton, {}, markOf(keyOf(second())));
    EXPECT_EQ(model->selectedFilePathKeys(), std::set<PathKey>{keyOf(first())});
    EXPECT_EQ(sidebar->tableSelection(), std::set<PathKey>{keyOf(first())});
    EXPECT_EQ(sidebar->includeAll()->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(sidebar->countText()->text(), "1/2");
    EXPECT_EQ(markText(keyOf(second())), "Select b-lap.mp4");
    EXPECT_EQ(sidebar->fileList()->data(sidebar->indexFor(keyOf(second())), Qt::CheckStateRole),
              Qt::Unchecked);

    // Mixed: a click includes every eligible file; on: a click empties the selection.
    QTest::mouseClick(sidebar->includeAll(), Qt::LeftButton);
    EXPECT_EQ(model->selectedCount(), 2);
    QTest::mouseClick(sidebar->includeAll(), Qt::LeftButton);
    EXPECT_EQ(model->selectedCount(), 0);
    EXPECT_FALSE(window->deselectAllAction()->isEnabled());
    EXPECT_FALSE(window->removeSelectedAction()->isEnabled());
    EXPECT_FALSE(window->detailPane()->exportButton()->isEnabled());

    // Space toggles the file chosen in the list.
    sidebar->list()->setFocus();
    QTest::keyClick(sidebar->list(), Qt::Key_Space);
    EXPECT_EQ(model->selectedFilePathKeys(), std::set<PathKey>{keyOf(first())});
    EXPECT_TRUE(window->detailPane()->exportButton()->isEnabled());

    // The menu shortcuts work with the focus in the list.
    QTest::keyClick(sidebar->list(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(model->selectedCount(), 2);
    QTest::keyClick(sidebar->list(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(model->selectedCount(), 0);
    QTest::keyClick(sidebar->list(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(window->removeSelectedAction()->isEnabled());
    QTest::keyClick(sidebar->list(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(model->droppedFiles().empty());
    EXPECT_TRUE(sidebar->isShowingEmptyState());
    EXPECT_EQ(window->detailPane()->fileTitle()->text(), "No selected file");
    EXPECT_EQ(preview()->source(), fs::path());
    EXPECT_EQ(window->previewPathKey(), std::nullopt);

    // Nothing is lost by one key: Ctrl+Z brings both back as they were.
    EXPECT_TRUE(window->undoAction()->isEnabled());
    EXPECT_TRUE(window->undoButton()->isVisibleTo(window.get()));
    QTest::keyClick(sidebar->list(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(model->droppedFiles().size(), 2u);
    EXPECT_EQ(model->selectedCount(), 2);
    EXPECT_EQ(sidebar->sectionTitles(), QStringList{"Processed (2)"});
    EXPECT_FALSE(timeline()->bars().empty());
    EXPECT_FALSE(window->undoAction()->isEnabled());
    EXPECT_FALSE(window->undoButton()->isVisibleTo(window.get()));
}

TEST_F(MainWindowTest, AFileThatIsNoRecordingIsInNoSectionButCanAlwaysBeFoundAgain) {
    // The status line says what a drop did.
    EXPECT_EQ(window->statusLine()->text(), "Drop MP4 files to begin");
    const fs::path notes = dir / "notes.txt";
    std::ofstream(notes) << "lap times";
    drop({notes});
    EXPECT_EQ(window->statusLine()->text(), "No MP4 files found in drop");
    EXPECT_TRUE(window->sidebar()->isShowingEmptyState());

    const fs::path broken = dir / "broken.mp4";
    std::ofstream(broken) << "this is not a video";
    drop({first(), broken});
    ASSERT_TRUE(waitFor([&] { return scansDone(); }));
    EXPECT_TRUE(window->statusLine()->text().startsWith("2 file(s), 1 selected"));
    QMessageBox* alert = window->rejectionAlert();
    ASSERT_TRUE(waitFor([&] { return alert->isVisible(); }));
    EXPECT_EQ(alert->windowTitle(), "Some Files Were Skipped");
    EXPECT_EQ(alert->text(), model->rejectedFileSummaries().join('\n'));
    EXPECT_TRUE(alert->text().startsWith("broken.mp4: "));
    // The exact reason, for a closer look.
    EXPECT_EQ(
        alert->detailedText(),
        QString::fromStdString(
            "broken.mp4: " +
            std::get<QuickScanFailed>(model->file(keyOf(broken))->quickScanStatus).description));
    SidebarView* sidebar = window->sidebar();
    EXPECT_EQ(sidebar->sectionTitles(), QStringList{"Processed (1)"});
    EXPECT_FALSE(sidebar->indexFor(keyOf(broken)).isValid());
    EXPECT_EQ(sidebar->countText()->text(), "1/1");

    QTest::mouseClick(alert->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(model->isRejectionAlertPresented());
    EXPECT_FALSE(alert->isVisible());

    // The line under the list finds it again, and the alert offers to remove it.
    ASSERT_TRUE(sidebar->skippedLine()->isVisibleTo(window.get()));
    EXPECT_EQ(sidebar->skippedLine()->text(), "Skipped (1)");
    QTest::mouseClick(sidebar->skippedLine(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return alert->isVisible(); }));
    EXPECT_EQ(alert->text(), model->rejectedFileSummaries().join('\n'));
    window->removeSkippedButton()->click();
    ASSERT_TRUE(waitFor([&] { return !alert->isVisible(); }));
    EXPECT_EQ(model->droppedFiles().size(), 1u);
    EXPECT_FALSE(sidebar->skippedLine()->isVisibleTo(window.get()));
    EXPECT_EQ(window->statusLine()->text(), model->statusMessage());

    // And Undo in the status line brings it back, still skipped.
    QTest::mouseClick(window->undoButton(), Qt::LeftButton);
    EXPECT_EQ(model->skippedFiles().size(), 1u);
    EXPECT_EQ(sidebar->skippedLine()->text(), "Skipped (1)");
    EXPECT_EQ(window->primaryFilePathKey(), keyOf(first()));
}

TEST_F(MainWindowTest, AnExcludedBarIsLeftOutOfTheReelAndTheSheetStaysUntilOK) {
    listBothAndWait();
    // Exclude the first bar of the shown file through its menu.
    const PlannedSegment excluded = timeline()->bars().front().segment;
    std::unique_ptr<QMenu> menu = timeline()->contextMenuForBar(0);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), "Exclude from Export");
    menu->actions().front()->trigger();
    EXPECT_FALSE(model->isSegmentIncluded(keyOf(first()), PlannedSegmentKey::of(excluded)));
    EXPECT_FALSE(timeline()->bars().front().isIncludedInExport);
    EXPECT_EQ(timeline()->contextMenuForBar(0)->actions().front()->text(), "Include in Export");

    // A cancelled save panel starts nothing.
    QTest::mouseClick(window->detailPane()->exportButton(), Qt::LeftButton);
    EXPECT_EQ(panelsShown, 1);
    EXPECT_FALSE(model->isProcessing());
    EXPECT_FALSE(window->exportSheet()->isVisible());
    EXPECT_EQ(model->statusMessage(), "Export canceled");

    const fs::path reel = dir / "reel.mp4";
    panelAnswer = reel;
    QTest::mouseClick(window->detailPane()->exportButton(), Qt::LeftButton);
    EXPECT_EQ(panelsShown, 2);
    ExportProgressSheet* sheet = window->exportSheet();
    EXPECT_TRUE(window->isExportModalPresented());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(window->detailPane()->exportButton()->text(), "Exporting…");
    EXPECT_FALSE(window->detailPane()->exportButton()->isEnabled());
    EXPECT_FALSE(window->removeSelectedAction()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return model->isCompletionAlertPresented(); }, 240000));
    EXPECT_EQ(sheet->titleText(), "Highlights Reel Ready");
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(window->detailPane()->exportButton()->text(), "Export");

    // The reel holds every included piece of both files and none of the excluded one.
    double expected = 0;
    for (const auto& [key, results] : model->fileResults()) {
        for (const PlannedSegment& segment :
             results.segments.value_or(std::vector<PlannedSegment>{})) {
            if (model->isSegmentIncluded(key, PlannedSegmentKey::of(segment)))
                expected += static_cast<double>(segment.endSecond - segment.startSecond + 1);
        }
    }
    ASSERT_TRUE(fs::exists(reel));
    const double duration =
        std::stod(testing::ffprobe(reel)["format"]["duration"].get<std::string>());
    EXPECT_NEAR(duration, expected, 0.2);
    EXPECT_TRUE(model->highlightSegmentPreviewText().contains("[b-lap.mp4]"))
        << model->highlightSegmentPreviewText().toStdString();

    // OK closes the sheet and dismisses the result.
    QPushButton* ok = nullptr;
    for (QPushButton* button : sheet->findChildren<QPushButton*>()) {
        if (button->text() == "OK")
            ok = button;
    }
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(window->isExportModalPresented());
    EXPECT_FALSE(model->isCompletionAlertPresented());
}

TEST_F(MainWindowTest, TheShownFilesLapsAreInTheTableOnTheTimelineAndInTheTooltip) {
    drop({clubRecording()});
    const PathKey key = keyOf(clubRecording());
    const auto lapsFound = [&](std::optional<double> line) {
        return waitFor([&] {
            const FileLaps* found = model->laps(key);
            return found && found->lineAtSeconds == line && !model->isLapAnalysisInProgress(key);
        });
    };
    ASSERT_TRUE(lapsFound(std::nullopt));
    const auto analysis = model->laps(key)->analysis;
    const auto lapCount = static_cast<int>(analysis->laps.size());
    ASSERT_GE(lapCount, 3);
    LapTableView* lapTable = window->detailPane()->lapTable();
    EXPECT_EQ(lapTable->table()->rowCount(), lapCount + 2);
    const laps::Lap* best = analysis->bestLap();
    const QString tooltip =
        window->sidebar()->indexFor(key).data(Qt::ToolTipRole).toString().section('\n', 1);
    EXPECT_EQ(tooltip.toStdString(), "Best lap " + std::to_string(best->number) + ": " +
                                         laps::lapTimeText(best->timeSeconds()) + " of " +
                                         std::to_string(lapCount) + " laps");

    // A tick at each crossing; a lap chosen in the table plays from its tick.
    ASSERT_TRUE(waitFor([&] { return !model->isHighlightAnalysisInProgress(key); }));
    ASSERT_FALSE(timeline()->bars().empty()) << "the drive has no highlights";
    const std::vector<double> ticks = timeline()->lapTickXs();
    ASSERT_EQ(ticks.size(), static_cast<std::size_t>(lapCount + 1));
    const QRect secondLap = lapTable->table()->visualItemRect(lapTable->table()->item(2, 1));
    QTest::mouseClick(lapTable->table()->viewport(), Qt::LeftButton, {}, secondLap.center());
    ASSERT_TRUE(waitFor([&] { return timeline()->playheadX().has_value(); }));
    EXPECT_TRUE(window->previewPlaybackController().hasStopObserver());
    EXPECT_GE(*timeline()->playheadX(), ticks[1] - 1);
    EXPECT_LT(*timeline()->playheadX(), ticks[2]);

    // The line goes where the car is in the picture: the telemetry of the advance later.
    preview()->playback()->pause();
    ASSERT_TRUE(waitFor([&] { return !preview()->isPlaying(); }));
    const double picture = preview()->currentSeconds();
    ASSERT_TRUE(window->setStartFinishAction()->isEnabled());
    EXPECT_FALSE(window->resetStartFinishAction()->isEnabled());
    QTest::mouseClick(lapTable->setLineButton(), Qt::LeftButton);
    const std::optional<double> line = model->startFinishLineSeconds(key);
    ASSERT_TRUE(line);
    EXPECT_NEAR(*line, picture + 0.65, 1e-9);
    ASSERT_TRUE(lapsFound(line));
    EXPECT_TRUE(lapTable->resetLineButton()->isEnabled());
    window->resetStartFinishAction()->trigger();
    EXPECT_FALSE(model->startFinishLineSeconds(key));
    ASSERT_TRUE(lapsFound(std::nullopt));

    // The table shows in every mode.
    QTest::mouseClick(window->detailPane()->modePicker()->button(0), Qt::LeftButton);
    EXPECT_TRUE(lapTable->table()->isVisibleTo(window.get()));
}

// The whole number before " mph" or " km/h" in the shown statistics; -1 when there is none.
int topSpeedFigure(const QStringList& shown, const QString& unit) {
    const QRegularExpression figure(QStringLiteral("(\\d+) ") + QRegularExpression::escape(unit) +
                                    QStringLiteral("(?![A-Za-z/])"));
    const QRegularExpressionMatch match = figure.match(shown.join(' '));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

TEST_F(MainWindowTest, TheStatisticsAreReadableElidedWhenNarrowCompleteInTheTooltipAndInTheUnit) {
    const fs::path lap = dir / "lap.mp4";
    // Long enough to leave the pit lane: every figure has its full width of digits.
    testing::copySampleRecording(lap, {.seconds = 20, .width = 160, .height = 90, .audio = false});
    model->addFiles({lap});
    ASSERT_TRUE(waitFor([&] { return scansDone(); }));
    const PathKey key = model->droppedFiles().front().id();
    const QString full = QString::fromStdString(model->file(key)->statusText());
    const QStringList figures = full.split(QStringLiteral("  |  "));
    ASSERT_EQ(figures.size(), 4) << full.toStdString();

    // At the window's default size every figure shows in full.
    const QStringList shown = window->sidebar()->statisticsShown(key);
    ASSERT_FALSE(shown.isEmpty());
    for (const QString& line : shown)
        EXPECT_FALSE(line.endsWith(QChar(0x2026))) << line.toStdString();
    for (const QString& figure : figures)
        EXPECT_TRUE(shown.join(' ').contains(figure)) << figure.toStdString();

    // The tooltip and the accessible name carry the line as the file list states it.
    const QModelIndex index = window->sidebar()->indexFor(key);
    const QRect row = window->sidebar()->list()->visualRect(index);
    const QPoint onStatistics(row.right() - 20, row.bottom() - 12);
    QHelpEvent help(QEvent::ToolTip, onStatistics,
                    window->sidebar()->list()->viewport()->mapToGlobal(onStatistics));
    QApplication::sendEvent(window->sidebar()->list()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), full);
    QToolTip::hideText();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(window->sidebar()->list());
    ASSERT_NE(list, nullptr);
    bool named = false;
    for (int i = 0; i < list->childCount(); ++i) {
        if (QAccessibleInterface* child = list->child(i))
            named = named || child->text(QAccessible::Name).contains(full);
    }
    EXPECT_TRUE(named);

    // A narrow row elides each line with "…" and never draws past its width.
    auto* delegate = static_cast<FileRowDelegate*>(window->sidebar()->list()->itemDelegate());
    const FileRowContent* content = window->sidebar()->fileList()->content(index);
    ASSERT_NE(content, nullptr);
    const QStringList narrow =
        delegate->statisticsLines(*content, window->sidebar()->list()->font(), 70);
    ASSERT_FALSE(narrow.isEmpty());
    EXPECT_TRUE(narrow.back().endsWith(QChar(0x2026))) << narrow.back().toStdString();

    // The top speed follows the chosen unit in place.
    const QStringList inMph = window->sidebar()->statisticsShown(key);
    const int mph = topSpeedFigure(inMph, QStringLiteral("mph"));
    ASSERT_GT(mph, 20) << inMph.join(' ').toStdString();

    model->setSpeedUnit(SpeedUnit::kmh);
    const QStringList inKmh = window->sidebar()->statisticsShown(key);
    const int kmh = topSpeedFigure(inKmh, QStringLiteral("km/h"));
    // A mile is 1.609344 km; both figures are rounded.
    EXPECT_NEAR(kmh, mph * 1.609344, 1.5) << inKmh.join(' ').toStdString();
    EXPECT_EQ(topSpeedFigure(inKmh, QStringLiteral("mph")), -1);
    // The other figures stay as they were.
    for (const QString& figure : figures.mid(1))
        EXPECT_TRUE(inKmh.join(' ').contains(figure)) << figure.toStdString();

    model->setSpeedUnit(SpeedUnit::mph);
    EXPECT_EQ(window->sidebar()->statisticsShown(key), inMph);
}

TEST_F(MainWindowTest, WithNothingToIncludeTheSelectAllBoxStaysOff) {
    const fs::path broken = dir / "broken.mp4";
    std::ofstream(broken) << "not a recording";
    model->addFiles({broken});
    ASSERT_TRUE(waitFor([&] { return scansDone(); }));
    EXPECT_EQ(window->sidebar()->includeAll()->checkState(), Qt::Unchecked);
    QTest::mouseClick(window->sidebar()->includeAll(), Qt::LeftButton);
    EXPECT_EQ(window->sidebar()->includeAll()->checkState(), Qt::Unchecked);
    EXPECT_EQ(window->sidebar()->countText()->text(), "0/0");
    EXPECT_FALSE(window->selectAllAction()->isEnabled());
}

// Answers the next modal question by pressing the button with this text.
void answerNextQuestion(const QString& buttonText) {
    QTimer::singleShot(0, [buttonText] {
        auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(question->windowTitle(), "Export in Progress");
        for (QAbstractButton* button : question->buttons()) {
            if (button->text() == buttonText) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << buttonText.toStdString();
        question->reject();
    });
}

TEST_F(MainWindowTest, ClosingDuringAnExportAsksAndCancelsItOnlyWhenConfirmed) {
    listBothAndWait();
    const testing::TemporaryFolderOverride temporary;  // where the export writes its partial file
    const fs::path reel = dir / "reel.mp4";
    panelAnswer = reel;
    QTest::mouseClick(window->detailPane()->exportButton(), Qt::LeftButton);
    ASSERT_TRUE(model->isProcessing());

    answerNextQuestion(QStringLiteral("Keep Exporting"));
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(model->isProcessing());

    answerNextQuestion(QStringLiteral("Cancel Export and Close"));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->exportSheet()->isVisible());
    // Quitting waits, with events processed, for the export to end and clean up.
    waitForWorkToStop(*model);
    EXPECT_FALSE(model->isProcessing());
    EXPECT_EQ(model->statusMessage(), "Highlights reel export canceled");
    EXPECT_FALSE(fs::exists(reel));
    EXPECT_TRUE(temporary.isEmpty());
}

}  // namespace
}  // namespace skelder::ui
