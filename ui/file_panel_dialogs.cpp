#include "ui/file_panel_dialogs.hpp"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace skelder::ui {
namespace {

const char* const kMessageProperty = "skelderPanelMessage";

QString qtPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

std::filesystem::path stdPath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

QStringList mpeg4Filters() {
    // Recorders write upper-case extensions; the list is matched case by case.
    return {QObject::tr("MPEG-4 Movies (*.mp4 *.MP4 *.Mp4 *.mP4)"), QObject::tr("All Files (*)")};
}

// Qt's dialog lays out its parts in a grid: the message goes in a new first row above them.
void showMessage(QFileDialog& dialog, const QString& message) {
    dialog.setProperty(kMessageProperty, message);
    auto* label = new QLabel(message, &dialog);
    label->setObjectName(QStringLiteral("panelMessage"));
    label->setWordWrap(true);
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (grid == nullptr) {
        if (dialog.layout() != nullptr) {
            dialog.layout()->addWidget(label);
        }
        return;
    }
    struct Placed {
        QLayoutItem* item;
        int row, column, rowSpan, columnSpan;
    };
    std::vector<Placed> placed;
    while (grid->count() > 0) {
        Placed entry{};
        grid->getItemPosition(0, &entry.row, &entry.column, &entry.rowSpan, &entry.columnSpan);
        entry.item = grid->takeAt(0);
        placed.push_back(entry);
    }
    grid->addWidget(label, 0, 0, 1, std::max(grid->columnCount(), 1));
    for (const Placed& entry : placed) {
        grid->addItem(entry.item, entry.row + 1, entry.column, entry.rowSpan, entry.columnSpan);
    }
}

QString folderOfFirst(const std::vector<std::filesystem::path>& inputURLs) {
    if (inputURLs.empty()) {
        return {};
    }
    return qtPath(inputURLs.front().parent_path());
}

bool wantsSingleFile(const std::vector<std::filesystem::path>& inputURLs, ProcessingMode mode) {
    return isReel(mode) || inputURLs.size() == 1;
}

}  // namespace

InputFilesDialog::InputFilesDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ReadOnly, true);  // no new folders
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFiles);
    setNameFilters(mpeg4Filters());
    setWindowTitle(tr("Add Files"));
    showMessage(*this, tr("Choose MP4 files or folders that hold them"));
    if (auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"))) {
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &InputFilesDialog::enableOpenForSelectedFolders);
    }
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        connect(edit, &QLineEdit::textChanged, this,
                &InputFilesDialog::enableOpenForSelectedFolders);
    }
}

QStringList InputFilesDialog::selectedItemPaths() const {
    QStringList paths;
    // The list and the detail view share one selection model.
    const auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (view == nullptr || view->selectionModel() == nullptr) {
        return paths;
    }
    for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
        const QString path = index.data(QFileSystemModel::FilePathRole).toString();
        if (!path.isEmpty() && !paths.contains(path)) {
            paths.append(path);
        }
    }
    return paths;
}

// Qt enables "Open" for selected files only (it browses into folders); a selected folder is
// something to add here.
void InputFilesDialog::enableOpenForSelectedFolders() {
    const QStringList items = selectedItemPaths();
    const bool hasFolder = std::any_of(items.begin(), items.end(),
                                       [](const QString& path) { return QFileInfo(path).isDir(); });
    if (!hasFolder) {
        return;
    }
    if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        if (QPushButton* open = buttons->button(QDialogButtonBox::Open)) {
            open->setEnabled(true);
        }
    }
}

void InputFilesDialog::accept() {
    const QStringList items = selectedItemPaths();
    const bool hasFolder = std::any_of(items.begin(), items.end(),
                                       [](const QString& path) { return QFileInfo(path).isDir(); });
    if (hasFolder) {
        chosenItems_ = items;
        QDialog::accept();
        return;
    }
    chosenItems_.reset();
    QFileDialog::accept();
}

std::vector<std::filesystem::path> InputFilesDialog::chosenPaths() const {
    const QStringList items = chosenItems_ ? *chosenItems_ : selectedFiles();
    std::vector<std::filesystem::path> paths;
    paths.reserve(static_cast<std::size_t>(items.size()));
    for (const QString& item : items) {
        paths.push_back(stdPath(item));
    }
    return paths;
}

std::unique_ptr<InputFilesDialog> makeInputFilesDialog(QWidget* parent) {
    return std::make_unique<InputFilesDialog>(parent);
}

std::unique_ptr<QFileDialog> makeOutputTargetDialog(
    const std::vector<std::filesystem::path>& inputURLs, ProcessingMode mode,
    const std::string& defaultReelName, QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    const QString folder = folderOfFirst(inputURLs);
    if (!folder.isEmpty()) {
        dialog->setDirectory(folder);
    }
    if (wantsSingleFile(inputURLs, mode)) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        if (mode == ProcessingMode::hudLayer) {
            dialog->setNameFilters({QObject::tr("QuickTime Movie (*.mov)")});
            dialog->setDefaultSuffix(QStringLiteral("mov"));
        } else {
            dialog->setNameFilters({QObject::tr("MPEG-4 Movie (*.mp4)")});
            dialog->setDefaultSuffix(QStringLiteral("mp4"));
        }
        if (mode == ProcessingMode::highlights) {
            dialog->selectFile(QString::fromStdString(defaultReelName));
            dialog->setWindowTitle(QObject::tr("Save Highlights Reel"));
            showMessage(*dialog, QObject::tr("Choose where to save the combined highlights reel"));
        } else if (mode == ProcessingMode::bestLaps) {
            dialog->selectFile(QString::fromStdString(defaultReelName));
            dialog->setWindowTitle(QObject::tr("Save Best Laps Reel"));
            showMessage(*dialog, QObject::tr("Choose where to save the reel of the best laps"));
        } else if (mode == ProcessingMode::hudLayer) {
            dialog->selectFile(QString::fromStdString(outputFileName(inputURLs.front(), mode)));
            dialog->setWindowTitle(QObject::tr("Save HUD Layer"));
            showMessage(*dialog, QObject::tr("Choose where to save the HUD layer"));
        } else {
            dialog->selectFile(
                QString::fromStdString(outputFileName(inputURLs.front(), ProcessingMode::full)));
            dialog->setWindowTitle(QObject::tr("Save Output"));
            showMessage(*dialog, QObject::tr("Choose where to save the exported video"));
        }
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        dialog->setWindowTitle(QObject::tr("Choose Output Folder"));
        showMessage(*dialog, QObject::tr("One output file will be written per input file"));
    }
    return dialog;
}

std::optional<OutputTarget> outputTargetOf(const QFileDialog& dialog,
                                           const std::vector<std::filesystem::path>& inputURLs,
                                           ProcessingMode mode) {
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) {
        return std::nullopt;
    }
    const std::filesystem::path chosen = stdPath(files.front());
    if (wantsSingleFile(inputURLs, mode)) {
        return SingleFileTarget{chosen};
    }
    return FolderTarget{chosen};
}

QString panelMessage(const QFileDialog& dialog) {
    return dialog.property(kMessageProperty).toString();
}

}  // namespace skelder::ui
