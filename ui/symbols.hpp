#pragma once

// Small line symbols drawn with QPainter, so the views look the same on every desktop whatever
// its icon theme holds.

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace skelder::ui {

enum class Symbol {
    plus,           // the "Add Files" button
    filmStack,      // the empty file list
    playRectangle,  // the empty preview
    video,          // a row without thumbnail
    warning,        // files that were skipped
    play,           // the preview's controls
    pause,
    speaker,
    speakerMuted,
};

// The symbol in `colour`, `size` points square, at twice the pixel density for sharp edges.
QPixmap symbolPixmap(Symbol symbol, const QColor& colour, int size);
QIcon symbolIcon(Symbol symbol, const QColor& colour, int size = 16);

}  // namespace skelder::ui
