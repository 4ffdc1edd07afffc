#pragma once

#include <QCheckBox>
#include <functional>

namespace skelder::ui {

// The "include in export" checkbox of the file list: off, on or mixed. A click on an off or
// mixed box turns it on, a click on an on box turns it off; onToggle reports whether the new
// state is on.
class TriStateCheckbox : public QCheckBox {
    Q_OBJECT
  public:
    explicit TriStateCheckbox(QWidget* parent = nullptr);

    // Sets the shown state (only when it differs) without reporting a toggle.
    void setStateValue(Qt::CheckState state);
    std::function<void(bool)> onToggle;

  protected:
    void nextCheckState() override;
};

// off when either count is 0, mixed while fewer than all eligible files are selected, else on.
Qt::CheckState includeAllState(int selected, int eligible);

}  // namespace skelder::ui
