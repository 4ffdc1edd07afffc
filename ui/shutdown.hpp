#pragma once

#include "app/app_view_model.hpp"

namespace skelder::ui {

// Quitting: stops all of the model's work and returns once a running export has ended (it
// removes its partial file first), processing events meanwhile so its result arrives the
// usual way. The window's thread never blocks on the export itself.
void waitForWorkToStop(AppViewModel& model);

}  // namespace skelder::ui
