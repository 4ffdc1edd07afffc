#pragma once

#include <QElapsedTimer>
#include <QStyledItemDelegate>

#include <unordered_map>

#include "ui/file_list_model.hpp"

namespace skelder::ui {

// Short fades of the rows' status badges: a badge that appears fades in while it grows from
// almost nothing about its centre, one that goes fades out the same way.
class BadgeFades {
  public:
    static constexpr int kMilliseconds = 160;

    struct Frame {
        QString text;
        double opacity = 1;
        double scale = 1;
    };

    BadgeFades();
    void start(const PathKey& pathKey, const QString& from, const QString& to);
    // The badge of a row as drawn now.
    Frame frame(const PathKey& pathKey, const QString& current) const;
    // Whether a fade still runs (drop the finished ones).
    bool prune();

  private:
    struct Fade {
        QString from;
        QString to;
        qint64 startMilliseconds = 0;
    };
    QElapsedTimer clock_;
    std::unordered_map<PathKey, Fade> fades_;
};

// Draws every row of the sidebar's file list: the section headers in the secondary colour,
// and each file with its inclusion mark, thumbnail, name, duration, status badge and
// statistics, on a rounded background when it is hovered or selected. One painter for all
// rows, from the prepared values of the FileListModel, so a long list scrolls smoothly.
class FileRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    explicit FileRowDelegate(const FileListModel& model, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Where a file row's inclusion mark can be clicked.
    static QRect inclusionRect(const QRect& rowRect);
    // The statistics as a row of this text width shows them: the figures on one line when
    // they fit, else two figures a line; a line that still does not fit ends in "…".
    QStringList statisticsLines(const FileRowContent& row, const QFont& viewFont,
                                int textWidth) const;
    // The width of a row's text column.
    static int textWidth(const QRect& rowRect);

    BadgeFades& fades() { return fades_; }

  private:
    void paintHeader(QPainter* painter, const QStyleOptionViewItem& option,
                     const QString& title) const;
    void paintFile(QPainter* painter, const QStyleOptionViewItem& option,
                   const FileRowContent& row) const;

    const FileListModel& model_;
    BadgeFades fades_;
};

// "Select lap.mp4" or "Deselect lap.mp4": what the inclusion mark does.
QString inclusionActionText(const FileRowContent& row);

}  // namespace skelder::ui
