#include "ui/appearance.hpp"

#include <QApplication>
#include <QPalette>
#include <QStyle>

namespace skelder::ui {
namespace {

QPalette darkPalette() {
    QPalette palette;
    const QColor window(38, 39, 42);
    const QColor base(30, 31, 34);
    const QColor text(232, 232, 235);
    const QColor disabledText(128, 128, 134);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(44, 45, 49));
    palette.setColor(QPalette::ToolTipBase, QColor(56, 57, 61));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 156));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(54, 55, 59));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(255, 105, 97));
    palette.setColor(QPalette::Light, QColor(70, 71, 76));
    palette.setColor(QPalette::Midlight, QColor(60, 61, 66));
    palette.setColor(QPalette::Mid, QColor(48, 49, 53));
    palette.setColor(QPalette::Dark, QColor(22, 22, 24));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(10, 132, 255));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(64, 156, 255));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabledText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 71, 76));
    return palette;
}

QPalette lightPalette() {
    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Highlight, QColor(0, 122, 255));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

}  // namespace

std::optional<Appearance> appearanceNamed(const std::string& name) {
    if (name == "system")
        return Appearance::system;
    if (name == "light")
        return Appearance::light;
    if (name == "dark")
        return Appearance::dark;
    return std::nullopt;
}

void applyAppearance(Appearance appearance) {
    if (appearance == Appearance::system)
        return;
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(appearance == Appearance::dark ? darkPalette() : lightPalette());
}

}  // namespace skelder::ui
