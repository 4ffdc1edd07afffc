#include "samples/drive_events.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace skelder::samples {

namespace {

// Spans of consecutive samples for which `inside` holds, as [first, last] index pairs.
template <typename Predicate>
std::vector<std::pair<std::size_t, std::size_t>> spans(std::size_t count, Predicate inside) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    for (std::size_t k = 0; k < count; ++k) {
        if (!inside(k)) {
            continue;
        }
        const std::size_t first = k;
        while (k + 1 < count && inside(k + 1)) {
            ++k;
        }
        found.emplace_back(first, k);
    }
    return found;
}

}  // namespace

std::vector<CornerPass> findCornerPasses(const std::vector<DriveState>& signals,
                                         const std::vector<PathPiece>& pieces) {
    std::vector<CornerPass> passes;
    std::size_t entry = 0;
    for (const PathPiece& piece : pieces) {
        while (entry < signals.size() && signals[entry].distanceMetres < piece.startMetres) {
            ++entry;
        }
        if (!piece.segment.isCorner()) {
            continue;
        }
        std::size_t exit = entry;
        while (exit < signals.size() && signals[exit].distanceMetres < piece.endMetres()) {
            ++exit;
        }
        if (exit >= signals.size()) {
            break;  // the drive ends before or inside this corner
        }
        CornerPass pass{.name = piece.segment.name,
                        .lap = piece.lap,
                        .direction = piece.segment.direction,
                        .radiusMetres = piece.segment.radiusMetres,
                        .entrySeconds = signals[entry].seconds,
                        .exitSeconds = signals[exit].seconds};
        std::size_t apex = entry;
        for (std::size_t k = entry; k <= exit; ++k) {
            if (signals[k].speedMps < signals[apex].speedMps) {
                apex = k;
            }
            const double lateralG = std::abs(signals[k].lateralAccelerationMps2) / kStandardGravity;
            if (lateralG > pass.peakLateralG) {
                pass.peakLateralG = lateralG;
                pass.peakLateralSeconds = signals[k].seconds;
            }
        }
        pass.apexSeconds = signals[apex].seconds;
        pass.apexSpeedMps = signals[apex].speedMps;
        passes.push_back(pass);
    }
    return passes;
}

std::vector<FullThrottleRun> findFullThrottleRuns(const std::vector<DriveState>& signals) {
    std::vector<FullThrottleRun> runs;
    for (const auto& [first, last] :
         spans(signals.size(), [&](std::size_t k) { return signals[k].throttle == 1.0; })) {
        const DriveState& start = signals[first];
        const DriveState& end = signals[last];
        if (end.seconds - start.seconds >= 0.5) {
            runs.push_back({start.seconds, end.seconds, start.speedMps, end.speedMps});
        }
    }
    return runs;
}

std::vector<BrakingZone> findBrakingZones(const std::vector<DriveState>& signals) {
    std::vector<BrakingZone> zones;
    for (const auto& [first, last] : spans(signals.size(), [&](std::size_t k) {
             return signals[k].brake >= 0.05 && signals[k].speedMps > 1.0;
         })) {
        const DriveState& start = signals[first];
        const DriveState& end = signals[last];
        if (end.seconds - start.seconds < 0.2) {
            continue;
        }
        BrakingZone zone{start.seconds, end.seconds, start.speedMps, end.speedMps};
        for (std::size_t k = first; k <= last; ++k) {
            zone.peakDecelerationG =
                std::max(zone.peakDecelerationG,
                         -signals[k].longitudinalAccelerationMps2 / kStandardGravity);
        }
        zones.push_back(zone);
    }
    return zones;
}

}  // namespace skelder::samples
