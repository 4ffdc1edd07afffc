#include "ui/tri_state_checkbox.hpp"

namespace skelder::ui {

TriStateCheckbox::TriStateCheckbox(QWidget* parent) : QCheckBox(parent) {
    setTristate(true);
}

void TriStateCheckbox::setStateValue(Qt::CheckState state) {
    if (checkState() != state)
        setCheckState(state);
}

void TriStateCheckbox::nextCheckState() {
    const bool on = checkState() != Qt::Checked;
    setCheckState(on ? Qt::Checked : Qt::Unchecked);
    if (onToggle)
        onToggle(on);
}

Qt::CheckState includeAllState(int selected, int eligible) {
    if (selected == 0 || eligible == 0)
        return Qt::Unchecked;
    return selected < eligible ? Qt::PartiallyChecked : Qt::Checked;
}

}  // namespace skelder::ui
