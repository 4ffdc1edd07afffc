#pragma once

#include <QFont>

namespace skelder::ui {

// The text styles of the desktop views, sized relative to the application font the way the
// recorder's companion app sizes them against its 13-point body text.
enum class TextStyle { title2, title3, headline, body, callout, subheadline, footnote, caption };

QFont styledFont(const QFont& base, TextStyle style);

// `base` with digits of equal width (the system's fixed-pitch font at the same size).
QFont monospacedDigitsFont(const QFont& base);

}  // namespace skelder::ui
