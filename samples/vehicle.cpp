#include "samples/vehicle.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace skelder::samples {

double VehicleModel::engineRpmAt(double speedMps, int gear) const {
    const int index = std::clamp(gear, 1, topGear()) - 1;
    const double wheelRadiansPerSecond = speedMps / wheelRadiusMetres;
    const double engineRadiansPerSecond =
        wheelRadiansPerSecond * gearRatios[static_cast<std::size_t>(index)] * finalDriveRatio;
    return engineRadiansPerSecond * 60.0 / (2 * std::numbers::pi);
}

double VehicleModel::lateralGripAt(double speedMps) const {
    return lateralGripMps2 + downforceGripPerSpeedSquared * speedMps * speedMps;
}

double VehicleModel::brakingGripAt(double speedMps) const {
    return brakingGripMps2 + downforceGripPerSpeedSquared * speedMps * speedMps;
}

double VehicleModel::resistanceNewtons(double speedMps) const {
    return dragNewtonsPerSpeedSquared * speedMps * speedMps + rollingResistanceNewtons;
}

double VehicleModel::maximumDriveNewtons(double speedMps) const {
    return peakPowerWatts / std::max(speedMps, fullTorqueBelowSpeedMps);
}

double VehicleModel::steeringWheelRadians(double curvaturePerMetre) const {
    return std::atan(wheelbaseMetres * curvaturePerMetre) * steeringRatio;
}

}  // namespace skelder::samples
