#pragma once

#include <QAbstractListModel>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <set>
#include <unordered_map>
#include <vector>

#include "app/app_view_model.hpp"

namespace skelder::ui {

// What one file row shows.
struct FileRowContent {
    PathKey pathKey;
    QString name;
    QString durationText;
    QString badge;  // "Queued", "Scanning" or empty
    bool isScanning = false;
    // The statistics line as the file list states it ("98 mph  |  6679 rpm  |  WOT 42.5s  |
    // G 1.53"), and its figures one by one for a narrow row.
    QString statisticsLine;
    QStringList statisticsFigures;
    // "Best lap 3: 1:28.840 of 5 laps" once the laps are found; empty otherwise.
    QString bestLapLine;
    bool isIncluded = false;
    QPixmap thumbnail;  // rounded, ready to draw; null for the placeholder

    friend bool operator==(const FileRowContent& a, const FileRowContent& b) {
        return a.pathKey == b.pathKey && a.name == b.name && a.durationText == b.durationText &&
               a.badge == b.badge && a.isScanning == b.isScanning &&
               a.statisticsLine == b.statisticsLine && a.bestLapLine == b.bestLapLine &&
               a.isIncluded == b.isIncluded && a.thumbnail.cacheKey() == b.thumbnail.cacheKey();
    }
};

// The file list of the sidebar as an item model: up to three sections ("Processed (2)",
// "Processing (1)", "Pending (3)"), each a header row followed by its files in list order;
// skipped files are in none. Rows are built once per change of the application model, so
// drawing and scrolling read prepared values only.
//
// A file that only changes (a new badge, thumbnail, best lap or inclusion) is updated in place.
// Files moving between sections are gathered for a moment and laid out in one step, so a folder of
// files scanning one after another does not lay the list out again for every file; removed
// files go at once.
// The tooltip's line of a file's best lap: "Best lap 3: 1:28.840 of 5 laps"; empty without laps.
QString bestLapLine(const FileLaps* found);

class FileListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    enum Role {
        PathKeyRole = Qt::UserRole + 1,  // QString; empty for a header
        IsHeaderRole,                    // bool
    };

    explicit FileListModel(AppViewModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The row of a file; null when it is in no section (skipped, or not listed).
    const FileRowContent* content(const QModelIndex& index) const;
    QModelIndex indexOf(const PathKey& pathKey) const;
    PathKey pathKeyAt(const QModelIndex& index) const;
    bool isHeader(const QModelIndex& index) const;
    QStringList sectionTitles() const;

    // Lays out a gathered change now (tests and pictures of the window).
    void flushPendingLayout();

    // Called with the row's key, the old badge and the new one, whenever a badge changes.
    std::function<void(const PathKey&, const QString&, const QString&)> onBadgeChanged;

  private:
    struct Entry {
        QString header;  // empty for a file
        FileRowContent file;
        bool sameRowAs(const Entry& other) const {
            return header.isEmpty() == other.header.isEmpty() &&
                   (header.isEmpty() ? file.pathKey == other.file.pathKey
                                     : header.section(QLatin1Char(' '), 0, 0) ==
                                           other.header.section(QLatin1Char(' '), 0, 0));
        }
    };

    std::vector<Entry> desiredEntries();
    // The row of a listed file, its texts made again only when its scan status changed.
    FileRowContent rowFor(const DroppedFileItem& file, const std::set<PathKey>& selection);
    void modelChanged();
    // Changes that only touch what rows show, not where they are.
    void selectionChanged();
    // Thumbnails and laps.
    void resultsChanged();
    void speedUnitChanged();
    void updateInPlace(const std::function<bool(FileRowContent&)>& update);
    void layOut();
    void indexRows();
    void reportBadgeChanges(const std::vector<Entry>& before, const std::vector<Entry>& after);

    AppViewModel& model_;
    std::vector<Entry> entries_;
    std::unordered_map<PathKey, std::size_t> rowOfKey_;
    // Rounded thumbnails by key, with the picture they were made from.
    struct Thumbnail {
        qint64 sourceKey = 0;
        QPixmap pixmap;
    };
    std::unordered_map<PathKey, Thumbnail> thumbnails_;
    // A row's texts with the scan status they were made from (dropped when the speed unit
    // changes).
    struct Texts {
        QuickScanStatus status;
        FileRowContent row;
    };
    std::unordered_map<PathKey, Texts> texts_;
    QTimer layoutTimer_;
};

}  // namespace skelder::ui
