#include "ui/file_row_widget.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "ui/symbols.hpp"
#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {

// The scan state as a small rounded label in its colour; hidden without text.
class StatusBadge : public QLabel {
  public:
    StatusBadge() {
        QFont badgeFont = styledFont(font(), TextStyle::caption);
        badgeFont.setWeight(QFont::DemiBold);
        setFont(badgeFont);
        setContentsMargins(7, 2, 7, 2);
        hide();
    }

    void showText(const QString& text, const QColor& colour) {
        if (text.isEmpty()) {
            hide();
            return;
        }
        colour_ = colour;
        QPalette textPalette = palette();
        textPalette.setColor(QPalette::WindowText, colour);
        textPalette.setColor(QPalette::Text, colour);
        setPalette(textPalette);
        setText(text);
        setAccessibleName(QStringLiteral("Status: ") + text);
        QLabel::show();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(colour_, 0.14));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
        painter.end();
        QLabel::paintEvent(event);
    }

  private:
    QColor colour_;
};

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

}  // namespace

QString FileRowWidget::badgeText(const QuickScanStatus& status) {
    if (std::holds_alternative<QuickScanPending>(status))
        return QStringLiteral("Queued");
    if (std::holds_alternative<QuickScanScanning>(status))
        return QStringLiteral("Scanning");
    return {};
}

FileRowWidget::FileRowWidget(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(10);
    setMinimumHeight(72);

    inclusion_ = new QToolButton;
    inclusion_->setAutoRaise(true);
    inclusion_->setFixedSize(24, 40);
    inclusion_->setIconSize(QSize(22, 22));
    connect(inclusion_, &QToolButton::clicked, this, [this] {
        if (onToggleInclusion)
            onToggleInclusion();
    });
    row->addWidget(inclusion_);

    picture_ = new QLabel;
    picture_->setFixedSize(kThumbnailWidth, kThumbnailHeight);
    row->addWidget(picture_);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title_ = new QLabel;
    title_->setFont(styledFont(title_->font(), TextStyle::headline));
    title_->setTextFormat(Qt::PlainText);
    texts->addWidget(title_);

    auto* details = new QHBoxLayout;
    details->setSpacing(8);
    duration_ = new QLabel;
    duration_->setFont(monospacedDigitsFont(duration_->font()));
    duration_->setTextFormat(Qt::PlainText);
    useSecondaryForeground(duration_);
    details->addWidget(duration_);
    badge_ = new StatusBadge;
    details->addWidget(badge_);
    statistics_ = new QLabel;
    QFont statisticsFont = styledFont(statistics_->font(), TextStyle::subheadline);
    statisticsFont.setWeight(QFont::DemiBold);
    statistics_->setFont(monospacedDigitsFont(statisticsFont));
    statistics_->setTextFormat(Qt::PlainText);
    useSecondaryForeground(statistics_);
    details->addWidget(statistics_);
    details->addStretch(1);
    texts->addLayout(details);
    row->addLayout(texts, 1);
}

void FileRowWidget::setContents(const DroppedFileItem& file, bool included,
                                const QImage& thumbnail) {
    const QString name = QString::fromStdString(file.url.filename().string());
    if (title_->text() != name)
        title_->setText(name);
    if (shownIncluded_ != included) {
        shownIncluded_ = included;
        inclusion_->setIcon(inclusionIcon(
            included, included ? palette().color(QPalette::Highlight) : secondaryColor(palette())));
        inclusion_->setAccessibleName(
            (included ? QStringLiteral("Deselect ") : QStringLiteral("Select ")) + name);
        inclusion_->setToolTip(inclusion_->accessibleName());
    }
    const qint64 thumbnailKey = thumbnail.isNull() ? 0 : thumbnail.cacheKey();
    if (shownThumbnail_ != thumbnailKey) {
        shownThumbnail_ = thumbnailKey;
        picture_->setPixmap(thumbnailPixmap(thumbnail, palette()));
    }
    const QString duration = QString::fromStdString(file.durationText());
    if (duration_->text() != duration)
        duration_->setText(duration);
    const QString badgeLabel = badgeText(file.quickScanStatus);
    if (badge() != badgeLabel) {
        const bool scanning = std::holds_alternative<QuickScanScanning>(file.quickScanStatus);
        badge_->showText(badgeLabel, scanning ? systemOrange() : secondaryColor(palette()));
    }
    const QString statistics = QString::fromStdString(file.statusText());
    if (statistics_->text() != statistics)
        statistics_->setText(statistics);
}

QString FileRowWidget::badge() const {
    return badge_->isHidden() ? QString() : badge_->text();
}

}  // namespace skelder::ui
