#pragma once

// The signal the HUD's colours are written in. The HUD is SDR graphics (BT.709 gamma, white at
// full scale); on an HDR picture full scale is the format's peak (10 000 cd/m² in PQ), which
// is blinding on an HDR screen. There the HUD's white goes to the reference white of SDR
// graphics in HDR that ITU-R BT.2408 gives, 203 cd/m²: 58 % of the PQ signal, 75 % of HLG's.

#include "overlay/geometry.hpp"

namespace skelder {

enum class HudSignal { sdr, pq, hlg };

// One colour channel of the HUD (0 to 1, SDR) in the signal.
double hudSignalLevel(HudSignal signal, double sdrLevel);

// A colour of the HUD in the signal; alpha unchanged.
Rgba inHudSignal(HudSignal signal, const Rgba& colour);

}  // namespace skelder
