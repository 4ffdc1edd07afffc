#include "ui/file_row_delegate.hpp"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>

#include "ui/file_row_metrics.hpp"
#include "ui/symbols.hpp"
#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

const QString kCompactSeparator = QStringLiteral(" \u00b7 ");
constexpr int kLineSpacing = 2;
constexpr int kHeaderTopPadding = 8;
constexpr int kHeaderBottomPadding = 4;
constexpr int kBadgePaddingX = 7;
constexpr int kBadgePaddingY = 2;
constexpr double kBadgeOpacity = 0.14;
constexpr double kBadgeSmallestScale = 0.00001;

// The fonts of a row, made from the view's font once: a font lookup per row and frame would
// cost more than the drawing.
struct RowFonts {
    QString viewFontKey;
    QFont name;
    QFont duration;
    QFont statistics;
    QFont badge;
    QFont header;
    QFontMetrics nameMetrics{name};
    QFontMetrics durationMetrics{duration};
    QFontMetrics statisticsMetrics{statistics};
};

RowFonts makeRowFonts(const QFont& viewFont) {
    RowFonts fonts;
    fonts.viewFontKey = viewFont.key();
    fonts.name = styledFont(viewFont, TextStyle::headline);
    fonts.duration = monospacedDigitsFont(styledFont(viewFont, TextStyle::subheadline));
    fonts.statistics = styledFont(viewFont, TextStyle::subheadline);
    fonts.statistics.setWeight(QFont::DemiBold);
    fonts.badge = styledFont(viewFont, TextStyle::caption);
    fonts.badge.setWeight(QFont::DemiBold);
    fonts.header = styledFont(viewFont, TextStyle::callout);
    fonts.header.setWeight(QFont::DemiBold);
    fonts.nameMetrics = QFontMetrics(fonts.name);
    fonts.durationMetrics = QFontMetrics(fonts.duration);
    fonts.statisticsMetrics = QFontMetrics(fonts.statistics);
    return fonts;
}

const RowFonts& rowFonts(const QFont& viewFont) {
    // The main thread draws every row, so one cache serves them all.
    static RowFonts fonts = makeRowFonts(viewFont);
    if (fonts.viewFontKey != viewFont.key())
        fonts = makeRowFonts(viewFont);
    return fonts;
}

QRect contentRect(const QRect& rowRect) {
    return rowRect.adjusted(kRowInset, 1, -kRowInset, -1);
}

QRect thumbnailRect(const QRect& rowRect) {
    const QRect inclusion = FileRowDelegate::inclusionRect(rowRect);
    return {inclusion.right() + 1 + kRowSpacing,
            rowRect.top() + (rowRect.height() - kThumbnailHeight) / 2, kThumbnailWidth,
            kThumbnailHeight};
}

// The inclusion mark: a filled circle with a check when included, an empty ring otherwise.
void paintInclusionMark(QPainter* painter, const QRect& area, bool included, const QColor& colour) {
    const QRectF circle(area.center().x() - kInclusionSymbolSize / 2.0 + 0.5,
                        area.center().y() - kInclusionSymbolSize / 2.0 + 0.5, kInclusionSymbolSize,
                        kInclusionSymbolSize);
    painter->save();
    if (included) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(colour);
        painter->drawEllipse(circle);
        const double s = kInclusionSymbolSize / 44.0;
        const QPointF o = circle.topLeft() - QPointF(3 * s, 3 * s);
        painter->setPen(QPen(Qt::white, 4 * s * 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->drawPolyline(QPolygonF({o + QPointF(13 * s, 23 * s), o + QPointF(19 * s, 29 * s),
                                         o + QPointF(31 * s, 16 * s)}));
    } else {
        painter->setPen(QPen(colour, 1.6));
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(circle.adjusted(0.8, 0.8, -0.8, -0.8));
    }
    painter->restore();
}

void paintThumbnail(QPainter* painter, const QRect& frame, const QPixmap& thumbnail,
                    const QColor& secondary) {
    if (!thumbnail.isNull()) {
        painter->drawPixmap(frame, thumbnail);
        return;
    }
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(withOpacity(secondary, 0.18));
    painter->drawRoundedRect(QRectF(frame), kThumbnailCornerRadius, kThumbnailCornerRadius);
    constexpr int kSymbol = 18;
    painter->drawPixmap(frame.center().x() - kSymbol / 2 + 1, frame.center().y() - kSymbol / 2 + 1,
                        symbolPixmap(Symbol::video, secondary, kSymbol));
    painter->restore();
}

void paintBadge(QPainter* painter, const QFont& font, const QPoint& leftCentre,
                const BadgeFades::Frame& frame, const QColor& colour) {
    if (frame.text.isEmpty() || frame.opacity <= 0)
        return;
    const QFontMetrics metrics(font);
    const QSizeF size(metrics.horizontalAdvance(frame.text) + 2 * kBadgePaddingX,
                      metrics.height() + 2 * kBadgePaddingY);
    const QRectF pill(QPointF(leftCentre.x(), leftCentre.y() - size.height() / 2), size);
    painter->save();
    painter->setOpacity(painter->opacity() * frame.opacity);
    painter->translate(pill.center());
    painter->scale(frame.scale, frame.scale);
    painter->translate(-pill.center());
    painter->setPen(Qt::NoPen);
    painter->setBrush(withOpacity(colour, kBadgeOpacity));
    painter->drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    painter->setFont(font);
    painter->setPen(colour);
    painter->drawText(pill, Qt::AlignCenter, frame.text);
    painter->restore();
}

}  // namespace

// --- BadgeFades -----------------------------------------------------------------------------

BadgeFades::BadgeFades() {
    clock_.start();
}

void BadgeFades::start(const PathKey& pathKey, const QString& from, const QString& to) {
    fades_[pathKey] = {from, to, clock_.elapsed()};
}

BadgeFades::Frame BadgeFades::frame(const PathKey& pathKey, const QString& current) const {
    const auto found = fades_.find(pathKey);
    if (found == fades_.end() || found->second.to != current)
        return {current, 1, 1};
    const Fade& fade = found->second;
    const double t = std::clamp(
        static_cast<double>(clock_.elapsed() - fade.startMilliseconds) / kMilliseconds, 0.0, 1.0);
    // From one badge to another: the old one goes in the first half, the new one comes in the
    // second; to or from none: one fade over the whole time.
    const bool both = !fade.from.isEmpty() && !fade.to.isEmpty();
    const bool showingNew = fade.from.isEmpty() || (both && t >= 0.5);
    double amount = both ? (showingNew ? (t - 0.5) * 2 : 1 - t * 2) : (showingNew ? t : 1 - t);
    amount = std::clamp(amount, 0.0, 1.0);
    const double eased = amount * amount * (3 - 2 * amount);
    return {showingNew ? fade.to : fade.from, eased,
            kBadgeSmallestScale + (1 - kBadgeSmallestScale) * eased};
}

bool BadgeFades::prune() {
    const qint64 now = clock_.elapsed();
    std::erase_if(fades_, [&](const auto& entry) {
        return now - entry.second.startMilliseconds > kMilliseconds;
    });
    return !fades_.empty();
}

// --- FileRowDelegate ------------------------------------------------------------------------

FileRowDelegate::FileRowDelegate(const FileListModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QRect FileRowDelegate::inclusionRect(const QRect& rowRect) {
    const QRect content = contentRect(rowRect);
    return {content.left() + kRowPadding, rowRect.top() + (rowRect.height() - kInclusionHeight) / 2,
            kInclusionWidth, kInclusionHeight};
}

int FileRowDelegate::textWidth(const QRect& rowRect) {
    const QRect content = contentRect(rowRect);
    return content.right() - kRowPadding - (thumbnailRect(rowRect).right() + kRowSpacing);
}

QStringList FileRowDelegate::statisticsLines(const FileRowContent& row, const QFont& viewFont,
                                             int textWidth) const {
    const QFontMetrics& metrics = rowFonts(viewFont).statisticsMetrics;
    const auto fitted = [&](const QString& text) {
        return metrics.elidedText(text, Qt::ElideRight, std::max(textWidth, 0));
    };
    const QString oneLine = row.statisticsFigures.join(kCompactSeparator);
    if (metrics.horizontalAdvance(oneLine) <= textWidth || row.statisticsFigures.size() < 4)
        return {fitted(oneLine)};
    return {fitted(row.statisticsFigures.mid(0, 2).join(kCompactSeparator)),
            fitted(row.statisticsFigures.mid(2).join(kCompactSeparator))};
}

QSize FileRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const RowFonts& fonts = rowFonts(option.font);
    if (model_.isHeader(index))
        return {0, QFontMetrics(fonts.header).height() + kHeaderTopPadding + kHeaderBottomPadding};
    // Room for the name, the duration and two lines of statistics.
    const int text = fonts.nameMetrics.height() + fonts.durationMetrics.height() +
                     2 * fonts.statisticsMetrics.height() + 3 * kLineSpacing;
    return {0, std::max(kFileRowMinimumHeight, text + 2 * kRowPadding + 2)};
}

void FileRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (const FileRowContent* row = model_.content(index)) {
        paintFile(painter, option, *row);
    } else {
        paintHeader(painter, option, index.data(Qt::DisplayRole).toString());
    }
    painter->restore();
}

void FileRowDelegate::paintHeader(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QString& title) const {
    const QFont& font = rowFonts(option.font).header;
    painter->setFont(font);
    // A header is an inert item, drawn by the view with the disabled colours: take the
    // normal text colour, dimmed as secondary text is.
    QPalette normal = option.palette;
    normal.setCurrentColorGroup(QPalette::Normal);
    painter->setPen(secondaryColor(normal, QPalette::Text));
    const QRect text = contentRect(option.rect)
                           .adjusted(kRowPadding + 2, kHeaderTopPadding, 0, -kHeaderBottomPadding);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, title);
}

void FileRowDelegate::paintFile(QPainter* painter, const QStyleOptionViewItem& option,
                                const FileRowContent& row) const {
    const QPalette& palette = option.palette;
    const QColor text = palette.color(QPalette::Text);
    const QColor secondary = secondaryColor(palette, QPalette::Text);
    const QColor accent = palette.color(QPalette::Highlight);
    const QRect content = contentRect(option.rect);

    // Selected rows take a tint of the accent colour, hovered ones a faint grey.
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool hovered = option.state.testFlag(QStyle::State_MouseOver);
    if (selected || hovered) {
        const bool active = option.state.testFlag(QStyle::State_Active) &&
                            option.state.testFlag(QStyle::State_HasFocus);
        painter->setPen(Qt::NoPen);
        painter->setBrush(selected ? withOpacity(accent, active ? 0.32 : 0.22)
                                   : withOpacity(secondary, 0.1));
        painter->drawRoundedRect(QRectF(content), kRowCornerRadius, kRowCornerRadius);
    }

    paintInclusionMark(painter, inclusionRect(option.rect), row.isIncluded,
                       row.isIncluded ? accent : secondary);
    paintThumbnail(painter, thumbnailRect(option.rect), row.thumbnail, secondary);

    const RowFonts& fonts = rowFonts(option.font);
    const QFontMetrics& nameMetrics = fonts.nameMetrics;
    const QFontMetrics& durationMetrics = fonts.durationMetrics;
    const QFontMetrics& statisticsMetrics = fonts.statisticsMetrics;
    const int width = textWidth(option.rect);
    const int left = thumbnailRect(option.rect).right() + 1 + kRowSpacing;
    const QStringList statistics = statisticsLines(row, option.font, width);
    const int blockHeight = nameMetrics.height() + durationMetrics.height() +
                            static_cast<int>(statistics.size()) * statisticsMetrics.height() +
                            (1 + static_cast<int>(statistics.size())) * kLineSpacing;
    int y = option.rect.top() + (option.rect.height() - blockHeight) / 2;

    painter->setFont(fonts.name);
    painter->setPen(text);
    painter->drawText(QRect(left, y, width, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(row.name, Qt::ElideMiddle, width));
    y += nameMetrics.height() + kLineSpacing;

    painter->setFont(fonts.duration);
    painter->setPen(secondary);
    const QString duration = durationMetrics.elidedText(row.durationText, Qt::ElideRight, width);
    painter->drawText(QRect(left, y, width, durationMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, duration);
    const BadgeFades::Frame badge = fades_.frame(row.pathKey, row.badge);
    paintBadge(painter, fonts.badge,
               QPoint(left + durationMetrics.horizontalAdvance(duration) + 8,
                      y + durationMetrics.height() / 2),
               badge, badge.text == QStringLiteral("Scanning") ? systemOrange() : secondary);
    y += durationMetrics.height() + kLineSpacing;

    painter->setFont(fonts.statistics);
    painter->setPen(secondary);
    for (const QString& line : statistics) {
        painter->drawText(QRect(left, y, width, statisticsMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, line);
        y += statisticsMetrics.height() + kLineSpacing;
    }
}

bool FileRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    const FileRowContent* row = model_.content(index);
    if (event->type() != QEvent::ToolTip || row == nullptr)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // Over the mark: what it does; anywhere else: the statistics line in full.
    const QString tip = inclusionRect(option.rect).contains(event->pos())
                            ? inclusionActionText(*row)
                            : row->statisticsLine;
    QToolTip::showText(event->globalPos(), tip, view);
    return true;
}

QString inclusionActionText(const FileRowContent& row) {
    return (row.isIncluded ? QStringLiteral("Deselect ") : QStringLiteral("Select ")) + row.name;
}

}  // namespace skelder::ui
