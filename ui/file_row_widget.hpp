#pragma once

#include <QImage>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <functional>

#include "telemetry/quick_scan.hpp"

namespace skelder::ui {

// One file of the list: inclusion button, thumbnail, name, duration, status badge and
// statistics.
class FileRowWidget : public QWidget {
    Q_OBJECT
  public:
    FileRowWidget(const DroppedFileItem& file, bool included, const QImage& thumbnail,
                  QWidget* parent = nullptr);

    std::function<void()> onToggleInclusion;
    QToolButton* inclusionButton() const { return inclusion_; }

    // The badge of a scan state: "Queued", "Scanning", or none.
    static QString badgeText(const QuickScanStatus& status);

  private:
    QToolButton* inclusion_;
};

}  // namespace skelder::ui
