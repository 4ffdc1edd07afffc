#pragma once

#include <QWidget>

#include "ui/symbols.hpp"

namespace skelder::ui {

// A centred placeholder: a large symbol, a title and a description in the secondary colour.
class EmptyStatePanel : public QWidget {
    Q_OBJECT
  public:
    EmptyStatePanel(const QString& title, Symbol symbol, const QString& description,
                    QWidget* parent = nullptr);
};

}  // namespace skelder::ui
