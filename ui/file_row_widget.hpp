#pragma once

#include <QImage>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <functional>

#include "telemetry/quick_scan.hpp"

namespace skelder::ui {

class StatusBadge;

// One file of the list: inclusion button, thumbnail, name, duration, status badge and
// statistics. The list keeps a row while its file stays in the same place and updates it in
// place.
class FileRowWidget : public QWidget {
    Q_OBJECT
  public:
    explicit FileRowWidget(QWidget* parent = nullptr);

    // Shows the file; only what changed is redrawn.
    void setContents(const DroppedFileItem& file, bool included, const QImage& thumbnail);

    std::function<void()> onToggleInclusion;
    QToolButton* inclusionButton() const { return inclusion_; }
    QString badge() const;

    // The badge of a scan state: "Queued", "Scanning", or none.
    static QString badgeText(const QuickScanStatus& status);

  private:
    QToolButton* inclusion_;
    QLabel* picture_;
    QLabel* title_;
    QLabel* duration_;
    StatusBadge* badge_;
    QLabel* statistics_;
    std::optional<bool> shownIncluded_;
    std::optional<qint64> shownThumbnail_;  // QImage::cacheKey, 0 for the placeholder
};

}  // namespace skelder::ui
