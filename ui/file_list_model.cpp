#include "ui/file_list_model.hpp"

#include <QPainter>
#include <QPainterPath>

#include <set>
#include <unordered_set>

#include "app/file_list.hpp"
#include "laps/lap_texts.hpp"
#include "ui/file_row_metrics.hpp"

namespace skelder::ui {
namespace {

// How long moves between sections are gathered before the list is laid out again.
constexpr int kLayoutDelayMilliseconds = 60;
// The separator of the statistics line's figures.
const QString kFigureSeparator = QStringLiteral("  |  ");

struct Section {
    const char* title;
    bool (*holds)(const QuickScanStatus&);
};

constexpr Section kSections[] = {
    {"Processed",
     [](const QuickScanStatus& s) { return std::holds_alternative<QuickScanDone>(s); }},
    {"Processing",
     [](const QuickScanStatus& s) { return std::holds_alternative<QuickScanScanning>(s); }},
    {"Pending",
     [](const QuickScanStatus& s) { return std::holds_alternative<QuickScanPending>(s); }},
};

bool sameStatus(const QuickScanStatus& a, const QuickScanStatus& b) {
    if (a.index() != b.index())
        return false;
    if (const auto* done = std::get_if<QuickScanDone>(&a))
        return done->stats == std::get<QuickScanDone>(b).stats;
    if (const auto* failed = std::get_if<QuickScanFailed>(&a))
        return failed->description == std::get<QuickScanFailed>(b).description;
    return true;
}

QString badgeText(const QuickScanStatus& status) {
    if (std::holds_alternative<QuickScanPending>(status))
        return QStringLiteral("Queued");
    if (std::holds_alternative<QuickScanScanning>(status))
        return QStringLiteral("Scanning");
    return {};
}

// The picture filling the row's rounded thumbnail frame, cropped to it, at twice the density.
QPixmap roundedThumbnail(const QImage& image) {
    const QSize frame(kThumbnailWidth, kThumbnailHeight);
    QPixmap pixmap(frame * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(QPointF(0, 0), frame), kThumbnailCornerRadius,
                           kThumbnailCornerRadius);
    painter.setClipPath(rounded);
    const QImage scaled =
        image.scaled(frame * 2, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRectF source((scaled.width() - frame.width() * 2) / 2.0,
                        (scaled.height() - frame.height() * 2) / 2.0, frame.width() * 2,
                        frame.height() * 2);
    painter.drawImage(QRectF(QPointF(0, 0), frame), scaled, source);
    return pixmap;
}

}  // namespace

QString bestLapLine(const FileLaps* found) {
    if (found == nullptr || !found->analysis)
        return {};
    const laps::Lap* best = found->analysis->bestLap();
    if (best == nullptr)
        return {};
    const std::size_t count = found->analysis->laps.size();
    return QStringLiteral("Best lap %1: %2 of %3 %4")
        .arg(best->number)
        .arg(QString::fromStdString(laps::lapTimeText(best->timeSeconds())))
        .arg(count)
        .arg(count == 1 ? QStringLiteral("lap") : QStringLiteral("laps"));
}

FileListModel::FileListModel(AppViewModel& model, QObject* parent)
    : QAbstractListModel(parent), model_(model) {
    layoutTimer_.setSingleShot(true);
    layoutTimer_.setInterval(kLayoutDelayMilliseconds);
    connect(&layoutTimer_, &QTimer::timeout, this, &FileListModel::layOut);
    connect(&model_, &AppViewModel::droppedFilesChanged, this, &FileListModel::modelChanged);
    connect(&model_, &AppViewModel::selectedFilePathKeysChanged, this,
            &FileListModel::selectionChanged);
    connect(&model_, &AppViewModel::fileResultsChanged, this, &FileListModel::resultsChanged);
    connect(&model_, &AppViewModel::speedUnitChanged, this, &FileListModel::speedUnitChanged);
    entries_ = desiredEntries();
    indexRows();
}

void FileListModel::indexRows() {
    rowOfKey_.clear();
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        if (entries_[row].header.isEmpty())
            rowOfKey_[entries_[row].file.pathKey] = row;
    }
}

std::vector<FileListModel::Entry> FileListModel::desiredEntries() {
    const auto& files = model_.droppedFiles();
    const auto& selection = model_.selectedFilePathKeys();
    std::set<PathKey> listed;
    std::vector<Entry> entries;
    for (const Section& section : kSections) {
        std::size_t members = 0;
        for (const DroppedFileItem& file : files)
            members += section.holds(file.quickScanStatus) ? 1 : 0;
        if (members == 0)
            continue;
        entries.push_back({QStringLiteral("%1 (%2)").arg(section.title).arg(members), {}});
        for (const DroppedFileItem& file : files) {
            if (!section.holds(file.quickScanStatus))
                continue;
            FileRowContent row = rowFor(file, selection);
            listed.insert(row.pathKey);
            entries.push_back({{}, std::move(row)});
        }
    }
    std::erase_if(thumbnails_, [&](const auto& entry) { return !listed.contains(entry.first); });
    std::erase_if(texts_, [&](const auto& entry) { return !listed.contains(entry.first); });
    return entries;
}

FileRowContent FileListModel::rowFor(const DroppedFileItem& file,
                                     const std::set<PathKey>& selection) {
    const PathKey& key = listedKey(file);
    Texts& texts = texts_[key];
    if (texts.row.pathKey != key || !sameStatus(texts.status, file.quickScanStatus)) {
        FileRowContent& row = texts.row;
        row.pathKey = key;
        row.name = QString::fromStdString(file.url.filename().string());
        row.durationText = QString::fromStdString(file.durationText());
        row.badge = badgeText(file.quickScanStatus);
        row.isScanning = std::holds_alternative<QuickScanScanning>(file.quickScanStatus);
        row.statisticsLine = QString::fromStdString(file.statusText(model_.speedUnit()));
        row.statisticsFigures = row.statisticsLine.split(kFigureSeparator);
        texts.status = file.quickScanStatus;
    }
    FileRowContent row = texts.row;
    row.isIncluded = selection.contains(key);
    row.bestLapLine = bestLapLine(model_.laps(key));
    const QImage picture = model_.thumbnail(key);
    if (!picture.isNull()) {
        Thumbnail& thumbnail = thumbnails_[key];
        if (thumbnail.sourceKey != picture.cacheKey())
            thumbnail = {picture.cacheKey(), roundedThumbnail(picture)};
        row.thumbnail = thumbnail.pixmap;
    }
    return row;
}

void FileListModel::updateInPlace(const std::function<bool(FileRowContent&)>& update) {
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        Entry& entry = entries_[row];
        if (entry.header.isEmpty() && update(entry.file))
            emit dataChanged(index(static_cast<int>(row)), index(static_cast<int>(row)));
    }
}

void FileListModel::selectionChanged() {
    const std::set<PathKey>& selection = model_.selectedFilePathKeys();
    updateInPlace([&](FileRowContent& row) {
        const bool included = selection.contains(row.pathKey);
        if (row.isIncluded == included)
            return false;
        row.isIncluded = included;
        return true;
    });
}

void FileListModel::resultsChanged() {
    updateInPlace([&](FileRowContent& row) {
        bool changed = false;
        const QImage picture = model_.thumbnail(row.pathKey);
        const qint64 source = picture.isNull() ? 0 : picture.cacheKey();
        Thumbnail& thumbnail = thumbnails_[row.pathKey];
        if (thumbnail.sourceKey != source ||
            row.thumbnail.cacheKey() != thumbnail.pixmap.cacheKey()) {
            thumbnail = {source, picture.isNull() ? QPixmap() : roundedThumbnail(picture)};
            row.thumbnail = thumbnail.pixmap;
            changed = true;
        }
        QString bestLap = bestLapLine(model_.laps(row.pathKey));
        if (row.bestLapLine != bestLap) {
            row.bestLapLine = std::move(bestLap);
            changed = true;
        }
        return changed;
    });
}

void FileListModel::speedUnitChanged() {
    // Every statistics line names the top speed: the rows are made again in their places.
    texts_.clear();
    modelChanged();
}

void FileListModel::modelChanged() {
    std::vector<Entry> desired = desiredEntries();
    const bool sameRows = desired.size() == entries_.size() &&
                          std::equal(desired.begin(), desired.end(), entries_.begin(),
                                     [](const Entry& a, const Entry& b) { return a.sameRowAs(b); });
    bool removed = desired.empty() || entries_.empty();
    std::unordered_map<PathKey, const Entry*> desiredByKey;
    for (const Entry& entry : desired) {
        if (entry.header.isEmpty())
            desiredByKey[entry.file.pathKey] = &entry;
    }
    std::unordered_set<PathKey> listed;
    for (const DroppedFileItem& file : model_.droppedFiles())
        listed.insert(listedKey(file));
    for (const Entry& entry : entries_) {
        if (entry.header.isEmpty() && !listed.contains(entry.file.pathKey))
            removed = true;
    }
    if (!sameRows && removed) {
        layOut();
        return;
    }

    // In place: rows keep their place, their contents change (files moving between sections
    // show their new state in the old place for a moment).
    const std::vector<Entry> before = entries_;
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        Entry& entry = entries_[row];
        if (sameRows && !entry.header.isEmpty()) {
            if (entry.header != desired[row].header) {
                entry.header = desired[row].header;
                emit dataChanged(index(static_cast<int>(row)), index(static_cast<int>(row)));
            }
            continue;
        }
        const auto found = desiredByKey.find(entry.file.pathKey);
        if (found == desiredByKey.end() || found->second->file == entry.file)
            continue;
        entry.file = found->second->file;
        emit dataChanged(index(static_cast<int>(row)), index(static_cast<int>(row)));
    }
    reportBadgeChanges(before, entries_);
    if (!sameRows && !layoutTimer_.isActive())
        layoutTimer_.start();
}

void FileListModel::layOut() {
    layoutTimer_.stop();
    const std::vector<Entry> before = entries_;
    beginResetModel();
    entries_ = desiredEntries();
    indexRows();
    endResetModel();
    reportBadgeChanges(before, entries_);
}

void FileListModel::flushPendingLayout() {
    if (layoutTimer_.isActive())
        layOut();
}

void FileListModel::reportBadgeChanges(const std::vector<Entry>& before,
                                       const std::vector<Entry>& after) {
    if (!onBadgeChanged)
        return;
    std::unordered_map<PathKey, QString> badgeBefore;
    for (const Entry& entry : before) {
        if (entry.header.isEmpty())
            badgeBefore[entry.file.pathKey] = entry.file.badge;
    }
    for (const Entry& entry : after) {
        if (!entry.header.isEmpty())
            continue;
        const auto found = badgeBefore.find(entry.file.pathKey);
        const QString old = found == badgeBefore.end() ? QString() : found->second;
        if (old != entry.file.badge)
            onBadgeChanged(entry.file.pathKey, old, entry.file.badge);
    }
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

const FileRowContent* FileListModel::content(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= static_cast<int>(entries_.size()))
        return nullptr;
    const Entry& entry = entries_[static_cast<std::size_t>(index.row())];
    return entry.header.isEmpty() ? &entry.file : nullptr;
}

bool FileListModel::isHeader(const QModelIndex& index) const {
    return index.isValid() && index.row() < static_cast<int>(entries_.size()) &&
           !entries_[static_cast<std::size_t>(index.row())].header.isEmpty();
}

PathKey FileListModel::pathKeyAt(const QModelIndex& index) const {
    const FileRowContent* row = content(index);
    return row ? row->pathKey : PathKey();
}

QModelIndex FileListModel::indexOf(const PathKey& pathKey) const {
    const auto found = rowOfKey_.find(pathKey);
    return found == rowOfKey_.end() ? QModelIndex() : index(static_cast<int>(found->second));
}

QStringList FileListModel::sectionTitles() const {
    QStringList titles;
    for (const Entry& entry : entries_) {
        if (!entry.header.isEmpty())
            titles << entry.header;
    }
    return titles;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(entries_.size()))
        return {};
    const Entry& entry = entries_[static_cast<std::size_t>(index.row())];
    if (!entry.header.isEmpty()) {
        switch (role) {
            case Qt::DisplayRole:
            case Qt::AccessibleTextRole:
                return entry.header;
            case IsHeaderRole:
                return true;
            default:
                return {};
        }
    }
    const FileRowContent& row = entry.file;
    switch (role) {
        case Qt::DisplayRole:
            return row.name;
        case Qt::ToolTipRole:
            if (row.bestLapLine.isEmpty())
                return row.statisticsLine;
            return row.statisticsLine + QLatin1Char('\n') + row.bestLapLine;
        case Qt::AccessibleTextRole: {
            // Everything the row shows, the statistics as the file list states them.
            QStringList parts{row.name, row.durationText};
            if (!row.badge.isEmpty())
                parts << QStringLiteral("Status: ") + row.badge;
            parts << row.statisticsLine;
            return parts.join(QStringLiteral(", "));
        }
        case Qt::CheckStateRole:
            return row.isIncluded ? Qt::Checked : Qt::Unchecked;
        case PathKeyRole:
            return QString::fromStdString(row.pathKey);
        case IsHeaderRole:
            return false;
        default:
            return {};
    }
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    // Assistive technology toggles the inclusion like the row's button does.
    const FileRowContent* row = content(index);
    if (row == nullptr || role != Qt::CheckStateRole)
        return false;
    const bool include = value.value<Qt::CheckState>() == Qt::Checked;
    if (include != row->isIncluded)
        model_.toggleSelection(row->pathKey);
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (content(index) == nullptr)
        return Qt::NoItemFlags;  // a section header: inert
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

}  // namespace skelder::ui
