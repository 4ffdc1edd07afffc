#include "ui/file_panel_service.hpp"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileSystemModel>
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

TEST(FilePanelService, EachExportAsksForItsTargetWithTheProposedName) {
    testing::TempDir directory;
    fs::create_directory(directory / "out");
    const struct {
        std::vector<fs::path> inputs;
        ProcessingMode mode;
        QString title;
        QString message;
        QStringList proposed;
        std::optional<fs::path> chosen;  // what the user picks, if anything
        OutputTarget target;
    } cases[] = {
        {{directory / "a.mp4", directory / "b.mp4"},
         ProcessingMode::highlights,
         "Save Highlights Reel",
         "Choose where to save the combined highlights reel",
         {q(directory / "highlights.reel.mp4")},
         directory / "my reel.mp4",
         SingleFileTarget{directory / "my reel.mp4"}},
        {{directory / "Run 3.MP4"},
         ProcessingMode::full,
         "Save Output",
         "Choose where to save the exported video",
         {q(directory / "Run 3.full.overlay.mp4")},
         std::nullopt,
         SingleFileTarget{directory / "Run 3.full.overlay.mp4"}},
        {{directory / "lap.mp4"},
         ProcessingMode::hudLayer,
         "Save HUD Layer",
         "Choose where to save the HUD layer",
         {q(directory / "lap.hud.mov")},
         std::nullopt,
         SingleFileTarget{directory / "lap.hud.mov"}},
        {{directory / "a.mp4", directory / "b.mp4"},
         ProcessingMode::full,
         "Choose Output Folder",
         "One output file will be written per input file",
         {},
         directory / "out",
         FolderTarget{directory / "out"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        PanelSeen panel;
        FilePanelService service(nullptr, [&](QFileDialog& dialog) {
            panel = seen(dialog);
            if (c.chosen)
                dialog.selectFile(q(*c.chosen));
            return true;
        });
        const auto target = service.chooseOutputTarget(c.inputs, c.mode, "highlights.reel.mp4");
        EXPECT_EQ(panel.title, c.title);
        EXPECT_EQ(panel.message, c.message);
        EXPECT_FALSE(panel.readOnly);  // may create folders
        const bool folder = std::holds_alternative<FolderTarget>(c.target);
        EXPECT_EQ(panel.acceptMode, folder ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        if (folder) {
            EXPECT_EQ(panel.fileMode, QFileDialog::Directory);
            EXPECT_TRUE(panel.showsDirsOnly);
        } else {
            EXPECT_EQ(panel.defaultSuffix, c.mode == ProcessingMode::hudLayer ? "mov" : "mp4");
            EXPECT_EQ(panel.directory, q(directory.path()));
            EXPECT_EQ(panel.selected, c.proposed);
        }
        ASSERT_TRUE(target.has_value());
        ASSERT_EQ(target->index(), c.target.index());
        EXPECT_EQ(
            folder ? std::get<FolderTarget>(*target).url : std::get<SingleFileTarget>(*target).url,
            folder ? std::get<FolderTarget>(c.target).url
                   : std::get<SingleFileTarget>(c.target).url);
    }
    FilePanelService cancelled(nullptr, [](QFileDialog&) { return false; });
    EXPECT_EQ(cancelled.chooseOutputTarget({"/videos/a.mp4"}, ProcessingMode::full, "x.mp4"),
              std::nullopt);
    EXPECT_EQ(cancelled.chooseInputFiles(), std::nullopt);
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
        if (!QTest::qWaitForWindowExposed(&dialog))
            return false;
        auto* view = dialog.findChild<QAbstractItemView*>("listView");
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        if (model == nullptr)
            return false;
        for (const QString& name : names) {
            const QString path = q(directory / name.toStdString());
            if (!QTest::qWaitFor([&] { return model->index(path).isValid(); }, 5000))
                return false;
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

TEST_F(InputFilesPanelTest, FilesAndFoldersAreChosenTogetherOrAlone) {
    for (const QStringList& names :
         {QStringList{"day 2", "run.MP4"}, QStringList{"day 2"}, QStringList{"run.MP4"}}) {
        SCOPED_TRACE(names.join(", ").toStdString());
        PanelSeen panel;
        FilePanelService service(nullptr, [&](QFileDialog& dialog) {
            panel = seen(dialog);
            return chooseInList(dialog, names);
        });
        const auto chosen = service.chooseInputFiles();
        EXPECT_EQ(panel.acceptMode, QFileDialog::AcceptOpen);
        EXPECT_EQ(panel.fileMode, QFileDialog::ExistingFiles);
        EXPECT_TRUE(panel.readOnly);  // no new folders
        EXPECT_TRUE(openWasEnabled);
        ASSERT_TRUE(chosen.has_value());
        std::vector<fs::path> expected;
        for (const QString& name : names)
            expected.push_back(directory / name.toStdString());
        EXPECT_THAT(*chosen, ::testing::UnorderedElementsAreArray(expected));
    }
}

}  // namespace
}  // namespace skelder::ui
