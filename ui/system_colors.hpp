#pragma once

// The named colours the desktop views use, with the values the recorder's companion app shows
// in light mode, so screenshots and exports look alike on every desktop.

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace skelder::ui {

inline QColor systemGreen() {
    return QColor(52, 199, 89);
}
inline QColor systemBlue() {
    return QColor(0, 122, 255);
}
inline QColor systemOrange() {
    return QColor(255, 149, 0);
}
inline QColor systemRed() {
    return QColor::fromRgbF(1.0f, 0.23f, 0.19f);
}

// `color` with its alpha multiplied by `opacity`.
inline QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

// The secondary (dimmed) foreground: the palette's text colour at half strength (the window's
// text by default; item views draw with the Text role).
inline QColor secondaryColor(const QPalette& palette,
                             QPalette::ColorRole role = QPalette::WindowText) {
    return withOpacity(palette.color(role), 0.5);
}

// Draws the widget's text in the secondary colour. Both text roles are set: inside an item
// view a widget's text uses the view's Text role rather than WindowText.
inline void useSecondaryForeground(QWidget* widget) {
    QPalette palette = widget->palette();
    const QColor secondary = secondaryColor(widget->palette());
    palette.setColor(QPalette::WindowText, secondary);
    palette.setColor(QPalette::Text, secondary);
    widget->setPalette(palette);
}

}  // namespace skelder::ui
