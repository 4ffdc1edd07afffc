#include "ui/sidebar_view.hpp"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/file_list.hpp"
#include "ui/empty_state_panel.hpp"
#include "ui/file_list_model.hpp"
#include "ui/file_row_delegate.hpp"
#include "ui/reveal_in_file_manager.hpp"
#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

constexpr int kFadeFrameMilliseconds = 16;

std::vector<std::filesystem::path> droppedPaths(const QMimeData* data) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.emplace_back(url.toLocalFile().toStdString());
    }
    return paths;
}

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

Qt::CheckState checkState(ExportSelectionState state) {
    switch (state) {
        case ExportSelectionState::none:
            return Qt::Unchecked;
        case ExportSelectionState::some:
            return Qt::PartiallyChecked;
        case ExportSelectionState::all:
            return Qt::Checked;
    }
    return Qt::Unchecked;
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
    includeAll_->onToggle = [this](bool on) {
        model_.setAllSelected(on);
        // The box shows what the model holds, also when the click changed nothing (no file
        // can be included).
        refreshHeader();
    };
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
    column->addWidget(divider());

    rows_ = new FileListModel(model_, this);
    delegate_ = new FileRowDelegate(*rows_, this);
    list_ = new QListView;
    list_->setModel(rows_);
    list_->setItemDelegate(delegate_);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setMouseTracking(true);
    list_->viewport()->setAttribute(Qt::WA_Hover);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setAccessibleName(QStringLiteral("Files"));
    // The rows draw on the sidebar's own background.
    QPalette transparent = list_->palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    list_->setPalette(transparent);
    list_->viewport()->setAutoFillBackground(false);
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SidebarView::readSelectionFromList);
    connect(list_, &QListView::customContextMenuRequested, this, &SidebarView::showContextMenu);
    connect(rows_, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { scrollBeforeLayout_ = list_->verticalScrollBar()->value(); });
    connect(rows_, &QAbstractItemModel::modelReset, this, [this] {
        list_->doItemsLayout();
        list_->verticalScrollBar()->setValue(scrollBeforeLayout_);
        selectInList();
    });

    fadeTimer_ = new QTimer(this);
    fadeTimer_->setInterval(kFadeFrameMilliseconds);
    connect(fadeTimer_, &QTimer::timeout, this, [this] {
        if (!delegate_->fades().prune())
            fadeTimer_->stop();
        list_->viewport()->update();
    });
    rows_->onBadgeChanged = [this](const PathKey& key, const QString& from, const QString& to) {
        delegate_->fades().start(key, from, to);
        if (!fadeTimer_->isActive())
            fadeTimer_->start();
    };

    listOrEmpty_ = new QStackedWidget;
    listOrEmpty_->addWidget(list_);
    listOrEmpty_->addWidget(
        new EmptyStatePanel(QStringLiteral("No Files Yet"), Symbol::filmStack,
                            QStringLiteral("Drop MP4 files here or use Add Files")));
    column->addWidget(listOrEmpty_, 1);

    skipped_ = new QPushButton;
    skipped_->setObjectName(QStringLiteral("skippedFiles"));
    skipped_->setFlat(true);
    skipped_->setCursor(Qt::PointingHandCursor);
    skipped_->setToolTip(QStringLiteral("Show the files that could not be read"));
    skipped_->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding: 6px 12px; }"));
    connect(skipped_, &QPushButton::clicked, &model_, [this] { model_.showSkippedFiles(); });
    column->addWidget(skipped_);
    column->addWidget(divider());

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
         {&AppViewModel::droppedFilesChanged, &AppViewModel::selectedFilePathKeysChanged}) {
        connect(&model_, signal, this, [this] {
            refreshHeader();
            refreshSkippedLine();
            listOrEmpty_->setCurrentIndex(model_.droppedFiles().empty() ? 1 : 0);
        });
    }
    // A drag over the column outlines the list in the accent colour.
    connect(&model_, &AppViewModel::isDropTargetedChanged, this, [this] {
        listOrEmpty_->setStyleSheet(
            model_.isDropTargeted()
                ? QStringLiteral("QStackedWidget { border: 2px solid palette(highlight); "
                                 "border-radius: 6px; }")
                : QString());
    });
    refreshHeader();
    refreshSkippedLine();
    listOrEmpty_->setCurrentIndex(model_.droppedFiles().empty() ? 1 : 0);
}

void SidebarView::setTableSelection(std::set<PathKey> selection) {
    if (selection == tableSelection_)
        return;
    tableSelection_ = std::move(selection);
    selectInList();
    emit tableSelectionChanged();
}

void SidebarView::selectInList() {
    QItemSelection selection;
    for (const PathKey& key : tableSelection_) {
        const QModelIndex index = rows_->indexOf(key);
        if (index.isValid())
            selection.select(index, index);
    }
    selectingInList_ = true;
    list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty())
        list_->selectionModel()->setCurrentIndex(selection.indexes().front(),
                                                 QItemSelectionModel::NoUpdate);
    selectingInList_ = false;
}

void SidebarView::readSelectionFromList() {
    if (selectingInList_)
        return;
    std::set<PathKey> selection;
    for (const QModelIndex& index : list_->selectionModel()->selectedIndexes()) {
        const PathKey key = rows_->pathKeyAt(index);
        if (!key.empty())
            selection.insert(key);
    }
    if (selection == tableSelection_)
        return;
    tableSelection_ = std::move(selection);
    emit tableSelectionChanged();
}

void SidebarView::refreshHeader() {
    includeAll_->setStateValue(checkState(model_.exportSelectionState()));
    count_->setText(
        QStringLiteral("%1/%2").arg(model_.selectedCount()).arg(model_.eligibleCount()));
}

void SidebarView::refreshSkippedLine() {
    const std::size_t skipped = model_.skippedFiles().size();
    skipped_->setVisible(skipped > 0);
    if (skipped == 0)
        return;
    skipped_->setText(QStringLiteral("Skipped (%1)").arg(skipped));
    skipped_->setIcon(symbolIcon(Symbol::warning, systemOrange()));
    skipped_->setAccessibleName(skipped_->text());
}

QModelIndex SidebarView::indexFor(const PathKey& pathKey) {
    rows_->flushPendingLayout();
    return rows_->indexOf(pathKey);
}

QStringList SidebarView::sectionTitles() {
    rows_->flushPendingLayout();
    return rows_->sectionTitles();
}

QStringList SidebarView::statisticsShown(const PathKey& pathKey) {
    const QModelIndex index = indexFor(pathKey);
    const FileRowContent* row = rows_->content(index);
    if (row == nullptr)
        return {};
    return delegate_->statisticsLines(*row, list_->font(),
                                      FileRowDelegate::textWidth(list_->visualRect(index)));
}

bool SidebarView::isShowingEmptyState() const {
    return listOrEmpty_->currentIndex() == 1;
}

std::vector<PathKey> SidebarView::contextMenuTargets(const PathKey& row) const {
    if (!tableSelection_.contains(row))
        return {row};
    std::vector<PathKey> targets;
    for (const DroppedFileItem& file : model_.droppedFiles()) {
        if (tableSelection_.contains(listedKey(file)))
            targets.push_back(listedKey(file));
    }
    return targets;
}

QStringList SidebarView::contextMenuTitles(const PathKey& row) const {
    const std::size_t n = contextMenuTargets(row).size();
    const auto title = [n](const QString& singular, const QString& plural) {
        return n < 2 ? singular : QStringLiteral("%1 (%2)").arg(plural).arg(n);
    };
    return {title(QStringLiteral("Show in File Manager"), QStringLiteral("Show in File Manager")),
            title(QStringLiteral("Re-Analyze"), QStringLiteral("Re-Analyze Selected")),
            title(QStringLiteral("Remove"), QStringLiteral("Remove Selected"))};
}

void SidebarView::showContextMenu(const QPoint& position) {
    const PathKey row = rows_->pathKeyAt(list_->indexAt(position));
    if (row.empty())
        return;
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
    QAction* remove = menu.addAction(titles[2], this, [this, targets] {
        // One step, so one Undo brings them all back; ignored while an export runs.
        model_.removeFiles(targets);
    });
    remove->setEnabled(!model_.isProcessing());
    menu.exec(list_->viewport()->mapToGlobal(position));
}

bool SidebarView::handleInclusionClick(QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPoint position = mouse->position().toPoint();
    const QModelIndex index = list_->indexAt(position);
    const PathKey key = rows_->pathKeyAt(index);
    const bool onMark =
        !key.empty() && FileRowDelegate::inclusionRect(list_->visualRect(index)).contains(position);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // The mark includes or excludes the file; it does not choose the shown file.
            pressedInclusion_ = onMark ? key : PathKey();
            return onMark;
        case QEvent::MouseButtonRelease: {
            const bool toggle = onMark && key == pressedInclusion_;
            const bool wasPressed = !pressedInclusion_.empty();
            pressedInclusion_.clear();
            if (toggle)
                model_.toggleSelection(key);
            return wasPressed;
        }
        default:
            return false;
    }
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier &&
            !tableSelection_.empty()) {
            model_.toggleSelection(*tableSelection_.begin());
            return true;
        }
    }
    if (watched == list_->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
         event->type() == QEvent::MouseButtonDblClick)) {
        if (handleInclusionClick(event))
            return true;
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
