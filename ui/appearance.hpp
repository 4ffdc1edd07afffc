#pragma once

#include <optional>
#include <string>

namespace skelder::ui {

// The look of the windows: the desktop's own (the default), or Qt's Fusion style with a light
// or a dark palette, the same on every desktop (pictures for the README, a dark desktop
// without a dark Qt theme).
enum class Appearance { system, light, dark };

// "light", "dark" or "system"; nothing for another text.
std::optional<Appearance> appearanceNamed(const std::string& name);

// Applies it to the running application; call before the windows are made.
void applyAppearance(Appearance appearance);

}  // namespace skelder::ui
