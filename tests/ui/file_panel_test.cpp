#include "ui/file_panel_service.hpp"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.hpp"
#include "ui/file_panel_dialogs.hpp"

namespace skelder::ui {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

void touch(const fs::path& path) {
    std::ofstream(path) << "x";
}

// What a panel offered, as the runner saw it.
struct PanelSeen {
    QString title;
    QString message;
    QFileDialog::AcceptMode acceptMode{};
    QFileDialog::FileMode fileMode{};
    QString directory;
    QStringList selected;
    bool showsDirsOnly = false;
    bool readOnly = false;
    QString defaultSuffix;
};

PanelSeen seen(const QFileDialog& dialog) {
    return {dialog.windowTitle(),
            panelMessage(dialog),
            dialog.acceptMode(),
            dialog.fileMode(),
            dialog.directory().absolutePath(),
            dialog.selectedFiles(),
            dialog.testOption(QFileDialog::ShowDirsOnly),
            dialog.testOption(QFileDialog::ReadOnly),
            dialog.defaultSuffix()};
}

QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

TEST(FilePanelService, HighlightsAskForOneReelFileWithTheProposedName) {
    testing::TempDir directory;
    PanelSeen panel;
    FilePanelService service(nullptr, [&](QFileDialog& dialog) {
        panel = seen(dialog);
        dialog.selectFile(q(directory / "my reel.mp4"));
        return true;
    });
    const auto target =
        service.chooseOutputTarget({directory / "a.mp4", directory / "b.mp4"},
                                   ProcessingMode::highlights, "highlights.reel.mp4");

    EXPECT_EQ(panel.title, "Save Highlights Reel");
    EXPECT_EQ(panel.message, "Choose where to save the combined highlights reel");
    EXPECT_EQ(panel.acceptMode, QFileDialog::AcceptSave);
    EXPECT_FALSE(panel.readOnly);  // may create folders
    EXPECT_EQ(panel.defaultSuffix, "mp4");
    EXPECT_EQ(panel.directory, q(directory.path()));
    EXPECT_THAT(panel.selected, ElementsAre(q(directory / "highlights.reel.mp4")));
    ASSERT_TRUE(target.has_value());
    ASSERT_TRUE(std::holds_alternative<SingleFileTarget>(*target));
    EXPECT_EQ(std::get<SingleFileTarget>(*target).url, directory / "my reel.mp4");
}

TEST(FilePanelService, OneFullExportProposesItsOutputName) {
    testing::TempDir directory;
    PanelSeen panel;
    FilePanelService service(nullptr, [&](QFileDialog& dialog) {
        panel = seen(dialog);
        return true;
    });
    const auto target =
        service.chooseOutputTarget({directory / "Run 3.MP4"}, ProcessingMode::full, "unused.mp4");

    EXPECT_EQ(panel.title, "Save Output");
    EXPECT_EQ(panel.message, "Choose where to save the exported video");
    EXPECT_EQ(panel.acceptMode, QFileDialog::AcceptSave);
    EXPECT_THAT(panel.selected, ElementsAre(q(directory / "Run 3.full.overlay.mp4")));
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(std::get<SingleFileTarget>(*target).url, directory / "Run 3.full.overlay.mp4");
}

TEST(FilePanelService, SeveralFullExportsAskForAFolder) {
    testing::TempDir directory;
    fs::create_directory(directory / "out");
    PanelSeen panel;
    FilePanelService service(nullptr, [&](QFileDialog& dialog) {
        panel = seen(dialog);
        dialog.selectFile(q(directory / "out"));
        return true;
    });
    const auto target = service.chooseOutputTarget({directory / "a.mp4", directory / "b.mp4"},
                                                   ProcessingMode::full, "highlights.reel.mp4");

    EXPECT_EQ(panel.title, "Choose Output Folder");
    EXPECT_EQ(panel.message, "One output file will be written per input file");
    EXPECT_EQ(panel.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(panel.fileMode, QFileDialog::Directory);
    EXPECT_TRUE(panel.showsDirsOnly);
    EXPECT_FALSE(panel.readOnly);
    ASSERT_TRUE(target.has_value());
    ASSERT_TRUE(std::holds_alternative<FolderTarget>(*target));
    EXPECT_EQ(std::get<FolderTarget>(*target).url, directory / "out");
}

TEST(FilePanelService, ACancelledPanelGivesNothing) {
    FilePanelService service(nullptr, [](QFileDialog&) { return false; });
    EXPECT_EQ(service.chooseOutputTarget({"/videos/a.mp4"}, ProcessingMode::full, "x.mp4"),
              std::nullopt);
    EXPECT_EQ(service.chooseOutputTarget({}, ProcessingMode::highlights, "x.mp4"), std::nullopt);
    EXPECT_EQ(service.chooseInputFiles(), std::nullopt);
}

TEST(FilePanelService, TheMessageStandsAboveTheFileList) {
    const auto dialog =
        makeOutputTargetDialog({"/videos/a.mp4"}, ProcessingMode::highlights, "a.highlights.mp4");
    auto* message = dialog->findChild<QLabel*>("panelMessage");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), "Choose where to save the combined highlights reel");
    dialog->resize(700, 500);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto* list = dialog->findChild<QAbstractItemView*>("listView");
    ASSERT_NE(list, nullptr);
    EXPECT_LT(message->mapTo(dialog.get(), QPoint(0, 0)).y(),
              list->mapTo(dialog.get(), QPoint(0, 0)).y());
}

// The open panel with a real folder: select items in its list as a user would and press Open.
class InputFilesPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(directory / "day 2");
        touch(directory / "day 2" / "lap.mp4");
        touch(directory / "run.MP4");
        touch(directory / "notes.txt");
    }

    // Selects the named entries of the shown folder (once the folder has been read) and
    // presses Open.
    bool chooseInList(QFileDialog& dialog, const QStringList& names) {
        dialog.setDirectory(q(directory.path()));
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) {
            return false;
        }
        auto* view = dialog.findChild<QAbstractItemView*>("listView");
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        if (model == nullptr) {
            return false;
        }
        for (const QString& name : names) {
            const QString path = q(directory / name.toStdString());
            if (!QTest::qWaitFor([&] { return model->index(path).isValid(); }, 5000)) {
                return false;
            }
            view->selectionModel()->select(model->index(path),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        auto* open =
            dialog.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
        openWasEnabled = open->isEnabled();
        QTest::mouseClick(open, Qt::LeftButton);
        return dialog.result() == QDialog::Accepted;
    }

    testing::TempDir directory;
    bool openWasEnabled = false;
};

TEST_F(InputFilesPanelTest, FilesAndFoldersAreChosenTogether) {
    PanelSeen panel;
    FilePanelService service(nullptr, [&](QFileDialog& dialog) {
        panel = seen(dialog);
        return chooseInList(dialog, {"day 2", "run.MP4"});
    });
    const auto chosen = service.chooseInputFiles();
    EXPECT_EQ(panel.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(panel.fileMode, QFileDialog::ExistingFiles);
    EXPECT_TRUE(panel.readOnly);  // no new folders
    EXPECT_TRUE(openWasEnabled);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_THAT(*chosen, UnorderedElementsAre(directory / "day 2", directory / "run.MP4"));
}

TEST_F(InputFilesPanelTest, AFolderAloneCanBeChosen) {
    FilePanelService service(nullptr,
                             [&](QFileDialog& dialog) { return chooseInList(dialog, {"day 2"}); });
    const auto chosen = service.chooseInputFiles();
    EXPECT_TRUE(openWasEnabled);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_THAT(*chosen, ElementsAre(directory / "day 2"));
}

TEST_F(InputFilesPanelTest, FilesAloneAreChosenAsUsual) {
    FilePanelService service(
        nullptr, [&](QFileDialog& dialog) { return chooseInList(dialog, {"run.MP4"}); });
    const auto chosen = service.chooseInputFiles();
    ASSERT_TRUE(chosen.has_value());
    EXPECT_THAT(*chosen, ElementsAre(directory / "run.MP4"));
}

}  // namespace
}  // namespace skelder::ui
