#include "ui/text_styles.hpp"

#include <QFontDatabase>

namespace skelder::ui {
namespace {

constexpr double kBodyPoints = 13;

struct StyleMetrics {
    double points;
    QFont::Weight weight;
};

StyleMetrics metricsOf(TextStyle style) {
    switch (style) {
        case TextStyle::title2:
            return {17, QFont::Normal};
        case TextStyle::title3:
            return {15, QFont::Normal};
        case TextStyle::headline:
            return {13, QFont::DemiBold};
        case TextStyle::body:
            return {13, QFont::Normal};
        case TextStyle::callout:
            return {12, QFont::Normal};
        case TextStyle::subheadline:
            return {11, QFont::Normal};
        case TextStyle::footnote:
            return {10, QFont::Normal};
        case TextStyle::caption:
            return {10, QFont::Normal};
    }
    return {kBodyPoints, QFont::Normal};
}

}  // namespace

QFont styledFont(const QFont& base, TextStyle style) {
    const StyleMetrics metrics = metricsOf(style);
    QFont font = base;
    const double basePoints = base.pointSizeF() > 0 ? base.pointSizeF() : kBodyPoints;
    font.setPointSizeF(basePoints * metrics.points / kBodyPoints);
    font.setWeight(metrics.weight);
    return font;
}

QFont monospacedDigitsFont(const QFont& base) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (base.pointSizeF() > 0) {
        font.setPointSizeF(base.pointSizeF());
    }
    font.setWeight(base.weight());
    return font;
}

}  // namespace skelder::ui
