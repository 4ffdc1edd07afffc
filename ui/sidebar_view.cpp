#include "ui/sidebar_view.hpp"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/empty_state_panel.hpp"
#include "ui/file_row_widget.hpp"
#include "ui/reveal_in_file_manager.hpp"
#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

constexpr int kPathKeyRole = Qt::UserRole + 1;
constexpr int kSectionTitleRole = Qt::UserRole + 2;
// How long moves between sections are gathered before the list is laid out again.
constexpr int kRebuildDelayMilliseconds = 60;

std::vector<std::filesystem::path> droppedPaths(const QMimeData* data) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.emplace_back(url.toLocalFile().toStdString());
    }
    return paths;
}

}  // namespace

SidebarView::SidebarView(AppViewModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setAcceptDrops(true);
    setMinimumWidth(300);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget;
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(12, 10, 12, 10);
    includeAll_ = new TriStateCheckbox;
    includeAll_->setFixedSize(24, 24);
    includeAll_->setAccessibleName(QStringLiteral("Include all files in export"));
    includeAll_->onToggle = [this](bool on) { model_.setAllSelected(on); };
    auto* includeLabel = new QLabel(QStringLiteral("Include In Export"));
    QFont labelFont = styledFont(includeLabel->font(), TextStyle::subheadline);
    labelFont.setWeight(QFont::DemiBold);
    includeLabel->setFont(labelFont);
    useSecondaryForeground(includeLabel);
    count_ = new QLabel;
    count_->setFont(monospacedDigitsFont(styledFont(count_->font(), TextStyle::caption)));
    useSecondaryForeground(count_);
    headerRow->addWidget(includeAll_);
    headerRow->addWidget(includeLabel);
    headerRow->addStretch(1);
    headerRow->addWidget(count_);
    column->addWidget(header);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    column->addWidget(line);

    list_ = new QListWidget;
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setMouseTracking(true);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setStyleSheet(
        QStringLiteral("QListWidget::item:hover:!selected { background: rgba(128, 128, 128, 26); "
                       "border-radius: 6px; }"));
    list_->installEventFilter(this);
    connect(list_, &QListWidget::itemSelectionChanged, this, &SidebarView::readSelectionFromList);
    connect(list_, &QListWidget::customContextMenuRequested, this, &SidebarView::showContextMenu);
    listOrEmpty_ = new QStackedWidget;
    listOrEmpty_->addWidget(list_);
    listOrEmpty_->addWidget(
        new EmptyStatePanel(QStringLiteral("No Files Yet"), Symbol::filmStack,
                            QStringLiteral("Drop MP4 files here or use Add Files")));
    column->addWidget(listOrEmpty_, 1);

    auto* line2 = new QFrame;
    line2->setFrameShape(QFrame::HLine);
    column->addWidget(line2);

    auto* footer = new QWidget;
    auto* footerRow = new QHBoxLayout(footer);
    footerRow->setContentsMargins(12, 12, 12, 12);
    auto* add = new QPushButton(symbolIcon(Symbol::plus, palette().color(QPalette::ButtonText)),
                                QStringLiteral("Add Files"));
    connect(add, &QPushButton::clicked, &model_, [this] { model_.openFiles(); });
    auto* clear = new QPushButton(QStringLiteral("Clear"));
    QPalette destructive = clear->palette();
    destructive.setColor(QPalette::ButtonText, systemRed());
    clear->setPalette(destructive);
    connect(clear, &QPushButton::clicked, &model_, [this] { model_.clearAll(); });
    footerRow->addWidget(add);
    footerRow->addStretch(1);
    footerRow->addWidget(clear);
    column->addWidget(footer);

    for (auto signal :
         {&AppViewModel::droppedFilesChanged, &AppViewModel::selectedFilePathKeysChanged,
          &AppViewModel::thumbnailByPathChanged}) {
        connect(&model_, signal, this, &SidebarView::modelChanged);
    }
    rebuildTimer_ = new QTimer(this);
    rebuildTimer_->setSingleShot(true);
    rebuildTimer_->setInterval(kRebuildDelayMilliseconds);
    connect(rebuildTimer_, &QTimer::timeout, this, &SidebarView::rebuildList);
    // A drag over the column outlines the list in the accent colour.
    connect(&model_, &AppViewModel::isDropTargetedChanged, this, [this] {
        listOrEmpty_->setStyleSheet(
            model_.isDropTargeted()
                ? QStringLiteral("QStackedWidget { border: 2px solid palette(highlight); "
                                 "border-radius: 6px; }")
                : QString());
    });
    rebuildHeader();
    listOrEmpty_->setCurrentIndex(model_.droppedFiles().empty() ? 1 : 0);
    rebuildList();
}

void SidebarView::setTableSelection(std::set<PathKey> selection) {
    if (selection == tableSelection_)
        return;
    tableSelection_ = std::move(selection);
    rebuilding_ = true;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const QVariant key = item->data(kPathKeyRole);
        if (key.isValid())
            item->setSelected(tableSelection_.contains(key.toString().toStdString()));
    }
    rebuilding_ = false;
    emit tableSelectionChanged();
}

void SidebarView::readSelectionFromList() {
    if (rebuilding_)
        return;
    std::set<PathKey> selection;
    for (QListWidgetItem* item : list_->selectedItems()) {
        const QVariant key = item->data(kPathKeyRole);
        if (key.isValid())
            selection.insert(key.toString().toStdString());
    }
    if (selection == tableSelection_)
        return;
    tableSelection_ = std::move(selection);
    emit tableSelectionChanged();
}

void SidebarView::rebuildHeader() {
    const int selected = model_.selectedCount();
    const int eligible = model_.eligibleCount();
    includeAll_->setStateValue(includeAllState(selected, eligible));
    count_->setText(QStringLiteral("%1/%2").arg(selected).arg(eligible));
}

std::vector<SidebarView::ListEntry> SidebarView::desiredEntries() const {
    struct Section {
        const char* title;
        std::size_t statusIndex;  // the QuickScanStatus alternative of its files
    };
    static constexpr Section sections[] = {
        {"Processed", 2},   // done
        {"Processing", 1},  // scanning
        {"Pending", 0},     // queued
    };
    static_assert(std::is_same_v<std::variant_alternative_t<2, QuickScanStatus>, QuickScanDone>);
    static_assert(
        std::is_same_v<std::variant_alternative_t<1, QuickScanStatus>, QuickScanScanning>);
    static_assert(std::is_same_v<std::variant_alternative_t<0, QuickScanStatus>, QuickScanPending>);

    std::vector<ListEntry> entries;
    const auto& files = model_.droppedFiles();
    for (const Section& section : sections) {
        std::size_t members = 0;
        for (const DroppedFileItem& file : files)
            members += file.quickScanStatus.index() == section.statusIndex ? 1 : 0;
        if (members == 0)
            continue;
        entries.push_back({QStringLiteral("%1 (%2)").arg(section.title).arg(members), {}});
        for (const DroppedFileItem& file : files) {
            if (file.quickScanStatus.index() == section.statusIndex)
                entries.push_back({{}, file.id()});
        }
    }
    return entries;
}

void SidebarView::modelChanged() {
    rebuildHeader();
    listOrEmpty_->setCurrentIndex(model_.droppedFiles().empty() ? 1 : 0);
    const std::vector<ListEntry> desired = desiredEntries();
    if (desired == entries_) {
        updateRows();
        return;
    }
    // Removed files and the first or last file go at once; files moving between sections or
    // arriving are gathered for a moment, so a folder of files scanning one after another
    // does not lay the list out again for every file.
    bool removed = desired.empty() || entries_.empty();
    for (const ListEntry& entry : entries_) {
        if (!entry.pathKey.empty() && model_.file(entry.pathKey) == nullptr)
            removed = true;
    }
    if (removed) {
        rebuildList();
        return;
    }
    updateRows();
    if (!rebuildTimer_->isActive())
        rebuildTimer_->start();
}

void SidebarView::flushPendingRebuild() {
    if (rebuildTimer_->isActive())
        rebuildList();
}

void SidebarView::rebuildList() {
    rebuildTimer_->stop();
    rebuilding_ = true;
    const int scroll = list_->verticalScrollBar()->value();
    list_->clear();
    rows_.clear();
    entries_ = desiredEntries();
    for (const ListEntry& entry : entries_) {
        if (entry.pathKey.empty()) {
            // The title is a label over an empty, inert entry, so it can sit in line with
            // the rows and keep 4 points below it.
            auto* header = new QListWidgetItem;
            header->setFlags(Qt::NoItemFlags);
            header->setData(kSectionTitleRole, entry.header);
            header->setData(Qt::AccessibleTextRole, entry.header);
            auto* title = new QLabel(entry.header);
            QFont font = title->font();
            font.setWeight(QFont::DemiBold);
            title->setFont(font);
            title->setContentsMargins(8, 6, 8, 4);
            useSecondaryForeground(title);
            header->setSizeHint(title->sizeHint());
            list_->addItem(header);
            list_->setItemWidget(header, title);
            continue;
        }
        const PathKey key = entry.pathKey;
        const DroppedFileItem* file = model_.file(key);
        auto* item = new QListWidgetItem;
        item->setData(kPathKeyRole, QString::fromStdString(key));
        item->setData(Qt::AccessibleTextRole,
                      QString::fromStdString(file->url.filename().string()));
        auto* row = new FileRowWidget;
        row->onToggleInclusion = [this, key] { model_.toggleSelection(key); };
        row->setContents(*file, model_.selectedFilePathKeys().contains(key), model_.thumbnail(key));
        item->setSizeHint(QSize(0, std::max(72, row->sizeHint().height())));
        list_->addItem(item);
        list_->setItemWidget(item, row);
        item->setSelected(tableSelection_.contains(key));
        rows_.emplace(key, row);
    }
    list_->verticalScrollBar()->setValue(scroll);
    rebuilding_ = false;
}

void SidebarView::updateRows() {
    for (const DroppedFileItem& file : model_.droppedFiles()) {
        const PathKey key = file.id();
        if (const auto row = rows_.find(key); row != rows_.end())
            row->second->setContents(file, model_.selectedFilePathKeys().contains(key),
                                     model_.thumbnail(key));
    }
}

QListWidgetItem* SidebarView::itemFor(const PathKey& pathKey) {
    flushPendingRebuild();
    const QString key = QString::fromStdString(pathKey);
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->data(kPathKeyRole).toString() == key)
            return list_->item(i);
    }
    return nullptr;
}

FileRowWidget* SidebarView::rowFor(const PathKey& pathKey) {
    QListWidgetItem* item = itemFor(pathKey);
    return item ? qobject_cast<FileRowWidget*>(list_->itemWidget(item)) : nullptr;
}

QStringList SidebarView::sectionTitles() {
    flushPendingRebuild();
    QStringList titles;
    for (int i = 0; i < list_->count(); ++i) {
        if (!list_->item(i)->data(kPathKeyRole).isValid())
            titles << list_->item(i)->data(kSectionTitleRole).toString();
    }
    return titles;
}

bool SidebarView::isShowingEmptyState() const {
    return listOrEmpty_->currentIndex() == 1;
}

std::vector<PathKey> SidebarView::contextMenuTargets(const PathKey& row) const {
    if (!tableSelection_.contains(row))
        return {row};
    std::vector<PathKey> targets;
    for (const DroppedFileItem& file : model_.droppedFiles()) {
        if (tableSelection_.contains(file.id()))
            targets.push_back(file.id());
    }
    return targets;
}

QStringList SidebarView::contextMenuTitles(const PathKey& row) const {
    const std::size_t n = contextMenuTargets(row).size();
    const auto title = [n](const QString& singular, const QString& plural) {
        return n < 2 ? singular : QStringLiteral("%1 (%2)").arg(plural).arg(n);
    };
    return {title(QStringLiteral("Reveal In Finder"), QStringLiteral("Reveal in Finder")),
            title(QStringLiteral("Re-Analyze"), QStringLiteral("Re-Analyze Selected")),
            title(QStringLiteral("Remove"), QStringLiteral("Remove Selected"))};
}

void SidebarView::showContextMenu(const QPoint& position) {
    QListWidgetItem* item = list_->itemAt(position);
    if (item == nullptr || !item->data(kPathKeyRole).isValid())
        return;
    const PathKey row = item->data(kPathKeyRole).toString().toStdString();
    const std::vector<PathKey> targets = contextMenuTargets(row);
    const QStringList titles = contextMenuTitles(row);
    QMenu menu(this);
    menu.addAction(titles[0], this, [targets] {
        std::vector<std::filesystem::path> files(targets.begin(), targets.end());
        revealInFileManager(files);
    });
    menu.addAction(titles[1], this, [this, targets] {
        for (const PathKey& key : targets)
            model_.reanalyzeFile(key);
    });
    menu.addSeparator();
    menu.addAction(titles[2], this, [this, targets] {
        for (const PathKey& key : targets) {
            if (!model_.isProcessing())
                model_.removeFile(key);
        }
    });
    menu.exec(list_->viewport()->mapToGlobal(position));
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && !tableSelection_.empty()) {
            model_.toggleSelection(*tableSelection_.begin());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SidebarView::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    model_.setDropTargeted(true);
}

void SidebarView::dragLeaveEvent(QDragLeaveEvent*) {
    model_.setDropTargeted(false);
}

void SidebarView::dropEvent(QDropEvent* event) {
    model_.setDropTargeted(false);
    const auto paths = droppedPaths(event->mimeData());
    if (paths.empty())
        return;
    event->acceptProposedAction();
    model_.addFiles(paths);
}

}  // namespace skelder::ui
