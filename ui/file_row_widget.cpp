#include "ui/file_row_widget.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "ui/symbols.hpp"
#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

constexpr int kThumbnailWidth = 64;
constexpr int kThumbnailHeight = 40;

// The inclusion mark: a filled circle with a check when included, an empty ring otherwise.
QIcon inclusionIcon(bool included, const QColor& colour) {
    QPixmap pixmap(44, 44);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (included) {
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF(3, 3, 38, 38));
        painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(QPolygonF({QPointF(13, 23), QPointF(19, 29), QPointF(31, 16)}));
    } else {
        painter.setPen(QPen(colour, 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(4, 4, 36, 36));
    }
    return QIcon(pixmap);
}

QPixmap thumbnailPixmap(const QImage& image, const QPalette& palette) {
    QPixmap pixmap(kThumbnailWidth * 2, kThumbnailHeight * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath rounded;
    const QRectF frame(0, 0, kThumbnailWidth, kThumbnailHeight);
    rounded.addRoundedRect(frame, 6, 6);
    painter.setClipPath(rounded);
    if (!image.isNull()) {
        // Fills the frame, cropping what does not fit.
        const QImage scaled =
            image.scaled(kThumbnailWidth * 2, kThumbnailHeight * 2, Qt::KeepAspectRatioByExpanding,
                         Qt::SmoothTransformation);
        const QRectF source((scaled.width() - kThumbnailWidth * 2) / 2.0,
                            (scaled.height() - kThumbnailHeight * 2) / 2.0, kThumbnailWidth * 2,
                            kThumbnailHeight * 2);
        painter.drawImage(frame, scaled, source);
        return pixmap;
    }
    painter.fillRect(frame, withOpacity(secondaryColor(palette), 0.18));
    const QPixmap symbol = symbolPixmap(Symbol::video, secondaryColor(palette), 18);
    painter.drawPixmap(QPointF((kThumbnailWidth - 18) / 2.0, (kThumbnailHeight - 18) / 2.0),
                       symbol);
    return pixmap;
}

QLabel* badge(const QString& text, const QColor& colour) {
    auto* label = new QLabel(text);
    QFont font = styledFont(label->font(), TextStyle::caption);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    QColor background = colour;
    background.setAlphaF(0.14);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: rgba(%2, %3, %4, %5); "
                                        "border-radius: 6px; padding: 2px 7px; }")
                             .arg(colour.name())
                             .arg(background.red())
                             .arg(background.green())
                             .arg(background.blue())
                             .arg(background.alphaF()));
    label->setAccessibleName(QStringLiteral("Status: ") + text);
    return label;
}

}  // namespace

QString FileRowWidget::badgeText(const QuickScanStatus& status) {
    if (std::holds_alternative<QuickScanPending>(status))
        return QStringLiteral("Queued");
    if (std::holds_alternative<QuickScanScanning>(status))
        return QStringLiteral("Scanning");
    return {};
}

FileRowWidget::FileRowWidget(const DroppedFileItem& file, bool included, const QImage& thumbnail,
                             QWidget* parent)
    : QWidget(parent) {
    const QString name = QString::fromStdString(file.url.filename().string());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(10);
    setMinimumHeight(72);

    inclusion_ = new QToolButton;
    inclusion_->setAutoRaise(true);
    inclusion_->setFixedSize(24, 40);
    inclusion_->setIconSize(QSize(22, 22));
    inclusion_->setIcon(inclusionIcon(
        included, included ? palette().color(QPalette::Highlight) : secondaryColor(palette())));
    inclusion_->setAccessibleName(
        (included ? QStringLiteral("Deselect ") : QStringLiteral("Select ")) + name);
    inclusion_->setToolTip(inclusion_->accessibleName());
    connect(inclusion_, &QToolButton::clicked, this, [this] {
        if (onToggleInclusion)
            onToggleInclusion();
    });
    row->addWidget(inclusion_);

    auto* picture = new QLabel;
    picture->setFixedSize(kThumbnailWidth, kThumbnailHeight);
    picture->setPixmap(thumbnailPixmap(thumbnail, palette()));
    row->addWidget(picture);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* title = new QLabel(name);
    title->setFont(styledFont(title->font(), TextStyle::headline));
    title->setTextFormat(Qt::PlainText);
    texts->addWidget(title);

    auto* details = new QHBoxLayout;
    details->setSpacing(8);
    const QColor secondary = secondaryColor(palette());
    const QString secondaryStyle = QStringLiteral("color: rgba(%1, %2, %3, %4);")
                                       .arg(secondary.red())
                                       .arg(secondary.green())
                                       .arg(secondary.blue())
                                       .arg(secondary.alphaF());
    auto* duration = new QLabel(QString::fromStdString(file.durationText()));
    duration->setFont(monospacedDigitsFont(duration->font()));
    duration->setStyleSheet(secondaryStyle);
    details->addWidget(duration);
    const QString badgeLabel = badgeText(file.quickScanStatus);
    if (!badgeLabel.isEmpty()) {
        const bool scanning = std::holds_alternative<QuickScanScanning>(file.quickScanStatus);
        details->addWidget(badge(badgeLabel, scanning ? systemOrange() : secondary));
    }
    auto* statistics = new QLabel(QString::fromStdString(file.statusText()));
    QFont statisticsFont = styledFont(statistics->font(), TextStyle::subheadline);
    statisticsFont.setWeight(QFont::DemiBold);
    statistics->setFont(monospacedDigitsFont(statisticsFont));
    statistics->setStyleSheet(secondaryStyle);
    details->addWidget(statistics);
    details->addStretch(1);
    texts->addLayout(details);
    row->addLayout(texts, 1);
}

}  // namespace skelder::ui
