#include "overlay/hud_signal.hpp"

#include <algorithm>
#include <cmath>

namespace skelder {
namespace {

constexpr double kReferenceWhiteNits = 203;
constexpr double kPqPeakNits = 10'000;
constexpr double kHlgPeakNits = 1'000;  // the nominal display of BT.2100's HLG system
constexpr double kHlgSystemGamma = 1.2;
constexpr double kSdrDisplayGamma = 2.4;  // BT.1886

// Display light of the SDR level, with the SDR white at the reference white, in cd/m².
double displayNits(double sdrLevel) {
    return kReferenceWhiteNits * std::pow(std::clamp(sdrLevel, 0.0, 1.0), kSdrDisplayGamma);
}

// SMPTE ST 2084's inverse EOTF.
double pqSignal(double nits) {
    constexpr double m1 = 2610.0 / 16384;
    constexpr double m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096;
    constexpr double c2 = 2413.0 / 4096 * 32;
    constexpr double c3 = 2392.0 / 4096 * 32;
    const double y = std::pow(nits / kPqPeakNits, m1);
    return std::pow((c1 + c2 * y) / (1 + c3 * y), m2);
}

// BT.2100's HLG: display light back to scene light through the system gamma (per channel, as
// for grey), then the OETF.
double hlgSignal(double nits) {
    const double scene = std::pow(nits / kHlgPeakNits, 1 / kHlgSystemGamma);
    constexpr double a = 0.17883277;
    constexpr double b = 1 - 4 * a;
    const double c = 0.5 - a * std::log(4 * a);
    return scene <= 1.0 / 12 ? std::sqrt(3 * scene) : a * std::log(12 * scene - b) + c;
}

}  // namespace

double hudSignalLevel(HudSignal signal, double sdrLevel) {
    switch (signal) {
        case HudSignal::pq:
            return pqSignal(displayNits(sdrLevel));
        case HudSignal::hlg:
            return hlgSignal(displayNits(sdrLevel));
        case HudSignal::sdr:
            break;
    }
    return sdrLevel;
}

Rgba inHudSignal(HudSignal signal, const Rgba& colour) {
    if (signal == HudSignal::sdr)
        return colour;
    return {hudSignalLevel(signal, colour.r), hudSignalLevel(signal, colour.g),
            hudSignalLevel(signal, colour.b), colour.a};
}

}  // namespace skelder
