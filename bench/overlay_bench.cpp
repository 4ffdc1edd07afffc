// Cost of drawing the HUD into one decoded frame, as a render worker does it: the static
// layer is made once, every frame draws the live elements straight into the frame's pixels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "laps/lap_clock.hpp"
#include "overlay/overlay_renderer.hpp"
#include "samples/drive_simulation.hpp"

namespace {

using skelder::BgraImage;
using skelder::OverlayRenderContext;
using skelder::OverlayRenderer;
using skelder::OverlayRenderSample;

// A changing sample, so every frame prints new digits and moves the meter.
OverlayRenderSample sampleFor(int frame) {
    OverlayRenderSample sample;
    const double t = frame / 30.0;
    sample.telemetry.speedMps = 20 + 25 * (1 + std::sin(t));
    sample.telemetry.throttle = 0.5 + 0.5 * std::sin(t * 1.3);
    sample.telemetry.brake = 0.5 + 0.5 * std::cos(t * 0.7);
    sample.telemetry.rpm = 3500 + 3000 * std::sin(t * 2.1);
    sample.telemetry.gear = 1 + frame / 40 % 6;
    sample.telemetry.latG = 0.9 * std::sin(t * 0.9);
    sample.telemetry.lonG = 0.7 * std::cos(t * 1.1);
    sample.telemetry.steeringDeg = 120 * std::sin(t * 0.5);
    for (int k = 16; k >= 0; --k) {
        sample.gHistory.push_back(
            {0.9 * std::sin((t - k * 0.1) * 0.9), 0.7 * std::cos((t - k * 0.1) * 1.1)});
    }
    sample.currentTotalG = std::hypot(sample.telemetry.latG, sample.telemetry.lonG);
    sample.heldPeakG = sample.currentTotalG + 0.05;
    return sample;
}

// The laps of five minutes of the sample car on the club circuit, read from its signals at the
// recorder's decisecond grid.
std::shared_ptr<const skelder::laps::LapClock> clubLaps() {
    const skelder::samples::DriveSimulation drive(
        {.durationSeconds = 300, .circuit = skelder::samples::SampleCircuit::club});
    std::vector<skelder::OverlayTelemetrySample> grid;
    for (int decisecond = 0; decisecond <= 3000; ++decisecond) {
        const auto state = drive.stateAt(decisecond / 10.0);
        skelder::OverlayTelemetrySample sample;
        sample.speedMps = state.speedMps;
        sample.throttle = state.throttle;
        sample.latG = state.lateralAccelerationMps2 / 9.80665;
        grid.push_back(sample);
    }
    return std::make_shared<const skelder::laps::LapClock>(
        skelder::laps::analyseLaps(skelder::DecisecondGrid(0, std::move(grid))));
}

void drawOverlay(benchmark::State& state, bool debugPanel, bool lapElements = false) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    auto frame = BgraImage::create(width, height);
    frame->fill({90, 110, 120, 255});
    OverlayRenderContext context;
    const auto staticHUD = OverlayRenderer::makeStaticHUD(context, width, height);
    std::vector<OverlayRenderSample> samples;
    const auto laps = lapElements ? clubLaps() : nullptr;
    for (int i = 0; i < 300; ++i) {
        samples.push_back(sampleFor(i));
        if (laps) {
            // Frames of the second lap, one every 0.13 s: the timer, the gap and the dot move.
            const double seconds = laps->analysis().laps.at(1).startSeconds + i * 0.13;
            samples.back().lap =
                skelder::LapHudContent{{true, true, true}, *laps->at(seconds), laps};
        }
    }
    std::optional<skelder::OverlayFrameDebugInfo> debug;
    if (debugPanel) {
        debug = skelder::OverlayFrameDebugInfo{12.345, 40.5, 41.15, 0.65, 0, "lap1.mp4"};
    }
    std::size_t i = 0;
    for (auto _ : state) {
        OverlayRenderer::drawOverlay(context, frame->frame(), samples[i++ % samples.size()], debug,
                                     staticHUD.get());
        benchmark::ClobberMemory();
    }
}

void BM_DrawOverlay(benchmark::State& state) {
    drawOverlay(state, false);
}
void BM_DrawOverlayWithDebugPanel(benchmark::State& state) {
    drawOverlay(state, true);
}
void BM_DrawOverlayWithLapElements(benchmark::State& state) {
    drawOverlay(state, false, true);
}

// Once per job.
void BM_MakeStaticHUD(benchmark::State& state) {
    OverlayRenderContext context;
    for (auto _ : state) {
        benchmark::DoNotOptimize(OverlayRenderer::makeStaticHUD(
            context, static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    }
}

}  // namespace

BENCHMARK(BM_DrawOverlay)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawOverlayWithDebugPanel)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawOverlayWithLapElements)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeStaticHUD)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
