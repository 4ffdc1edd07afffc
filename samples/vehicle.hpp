#pragma once

#include <array>

namespace skelder::samples {

inline constexpr double kStandardGravity = 9.80665;

// A 1350 kg, 230 kW rear-wheel-drive track car on semi-slicks with a little downforce: the
// numbers the lap simulation uses for grip, power, drag, gearing and steering.
struct VehicleModel {
    double massKg = 1350;
    double peakPowerWatts = 230'000;
    double dragNewtonsPerSpeedSquared = 0.45;  // 0.5 * air density * drag area
    double rollingResistanceNewtons = 200;
    double lateralGripMps2 = 11.0;                 // mechanical grip
    double downforceGripPerSpeedSquared = 0.0008;  // extra grip per (m/s)^2 of speed
    double tractionLimitMps2 = 8.0;                // driven wheels
    double brakingGripMps2 = 12.3;
    double fullPedalBrakeMps2 = 15.0;    // deceleration of the brakes alone at full pedal
    double engineBrakingNewtons = 1500;  // lift-off deceleration without brake pedal
    double fullTorqueBelowSpeedMps = 8;  // below this speed the drive force stops rising
    std::array<double, 6> gearRatios = {3.3, 2.2, 1.6, 1.25, 1.0, 0.82};
    double finalDriveRatio = 3.9;
    double wheelRadiusMetres = 0.32;
    double wheelbaseMetres = 2.6;
    double steeringRatio = 14;
    double idleRpm = 850;
    double clutchSlipRpm = 1200;  // lowest engine speed while pulling away in first
    double upshiftRpm = 7000;
    double downshiftRpm = 3800;

    int topGear() const { return static_cast<int>(gearRatios.size()); }
    // Engine speed in revolutions per minute at a road speed in a gear (1-based), wheels gripping.
    double engineRpmAt(double speedMps, int gear) const;
    // Cornering grip at a speed: mechanical grip plus downforce.
    double lateralGripAt(double speedMps) const;
    double brakingGripAt(double speedMps) const;
    // Aerodynamic drag plus rolling resistance, newtons.
    double resistanceNewtons(double speedMps) const;
    // Largest drive force the engine can give at a speed, newtons.
    double maximumDriveNewtons(double speedMps) const;
    // Steering wheel angle in radians for a path curvature (1/m), same sign as the curvature.
    double steeringWheelRadians(double curvaturePerMetre) const;
};

}  // namespace skelder::samples
