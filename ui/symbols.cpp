#include "ui/symbols.hpp"

#include <QPainter>
#include <QPainterPath>

namespace skelder::ui {
namespace {

// Draws in a 24 × 24 box.
void draw(QPainter& painter, Symbol symbol, const QColor& colour) {
    QPen pen(colour, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (symbol) {
        case Symbol::plus:
            pen.setWidthF(2.2);
            painter.setPen(pen);
            painter.drawLine(QPointF(12, 5), QPointF(12, 19));
            painter.drawLine(QPointF(5, 12), QPointF(19, 12));
            break;
        case Symbol::filmStack:
            painter.drawRoundedRect(QRectF(3, 8, 18, 13), 2, 2);
            painter.drawLine(QPointF(5, 5.5), QPointF(19, 5.5));
            painter.drawLine(QPointF(7, 3), QPointF(17, 3));
            painter.drawLine(QPointF(7, 8), QPointF(7, 21));
            painter.drawLine(QPointF(17, 8), QPointF(17, 21));
            break;
        case Symbol::playRectangle: {
            painter.drawRoundedRect(QRectF(2.5, 5, 19, 14), 2.5, 2.5);
            QPainterPath triangle;
            triangle.moveTo(10, 9);
            triangle.lineTo(15.5, 12);
            triangle.lineTo(10, 15);
            triangle.closeSubpath();
            painter.fillPath(triangle, colour);
            break;
        }
        case Symbol::video: {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawRoundedRect(QRectF(2, 7, 14, 10), 2.5, 2.5);
            QPainterPath lens;
            lens.moveTo(17, 11);
            lens.lineTo(22, 7.5);
            lens.lineTo(22, 16.5);
            lens.lineTo(17, 13);
            lens.closeSubpath();
            painter.drawPath(lens);
            break;
        }
        case Symbol::warning: {
            QPainterPath triangle;
            triangle.moveTo(12, 3.5);
            triangle.lineTo(21.5, 20);
            triangle.lineTo(2.5, 20);
            triangle.closeSubpath();
            painter.drawPath(triangle);
            painter.drawLine(QPointF(12, 9.5), QPointF(12, 14));
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawEllipse(QPointF(12, 17), 1.2, 1.2);
            break;
        }
        case Symbol::play: {
            QPainterPath triangle;
            triangle.moveTo(7, 4.5);
            triangle.lineTo(19.5, 12);
            triangle.lineTo(7, 19.5);
            triangle.closeSubpath();
            painter.fillPath(triangle, colour);
            break;
        }
        case Symbol::pause:
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawRoundedRect(QRectF(6, 5, 4, 14), 1, 1);
            painter.drawRoundedRect(QRectF(14, 5, 4, 14), 1, 1);
            break;
        case Symbol::speaker:
        case Symbol::speakerMuted: {
            QPainterPath cone;
            cone.moveTo(3, 9);
            cone.lineTo(7, 9);
            cone.lineTo(12, 4.5);
            cone.lineTo(12, 19.5);
            cone.lineTo(7, 15);
            cone.lineTo(3, 15);
            cone.closeSubpath();
            painter.fillPath(cone, colour);
            if (symbol == Symbol::speaker) {
                painter.drawArc(QRectF(9, 8, 8, 8), -50 * 16, 100 * 16);
                painter.drawArc(QRectF(8, 4.5, 13, 15), -50 * 16, 100 * 16);
            } else {
                painter.drawLine(QPointF(15, 9), QPointF(21, 15));
                painter.drawLine(QPointF(21, 9), QPointF(15, 15));
            }
            break;
        }
    }
}

}  // namespace

QPixmap symbolPixmap(Symbol symbol, const QColor& colour, int size) {
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    draw(painter, symbol, colour);
    return pixmap;
}

QIcon symbolIcon(Symbol symbol, const QColor& colour, int size) {
    return QIcon(symbolPixmap(symbol, colour, size));
}

}  // namespace skelder::ui
