#include "ui/empty_state_panel.hpp"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/system_colors.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {

EmptyStatePanel::EmptyStatePanel(const QString& title, Symbol symbol, const QString& description,
                                 QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(6);
    layout->addStretch(1);
    const QColor secondary = secondaryColor(palette());

    auto* picture = new QLabel;
    picture->setPixmap(symbolPixmap(symbol, secondary, 40));
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);

    auto* titleLabel = new QLabel(title);
    QFont titleFont = styledFont(titleLabel->font(), TextStyle::title2);
    titleFont.setWeight(QFont::DemiBold);
    titleLabel->setFont(titleFont);
    titleLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(titleLabel);

    auto* descriptionLabel = new QLabel(description);
    descriptionLabel->setAlignment(Qt::AlignCenter);
    descriptionLabel->setWordWrap(true);
    useSecondaryForeground(descriptionLabel);
    layout->addWidget(descriptionLabel);
    layout->addStretch(1);
}

}  // namespace skelder::ui
