#include "tests/sync/engine_tone_recording.hpp"

#include <fmt/format.h>

#include <cmath>
#include <numbers>

#include "kovra_writer/mp4_merge.hpp"
#include "tests/support/ffmpeg_tools.hpp"

namespace skelder::testing {
namespace {

// The engine's revolutions from 0 to `u` seconds as an ffmpeg expression of u: the integral of
// the curve. Within a gear (position p from the gear's start) the saw tooth rises for
// T - D seconds and falls back over the shift's D seconds.
std::string revolutionsExpression(const EngineToneSpec& s, const std::string& u) {
    const double rise = s.gearSeconds - s.shiftSeconds;
    const std::string gears = fmt::format("floor({}/{})", u, s.gearSeconds);
    const std::string p = fmt::format("({}-{}*{})", u, gears, s.gearSeconds);
    const std::string q = fmt::format("({}-{})", p, rise);
    const std::string withinGear = fmt::format(
        "if(lt({p},{rise}),{g}*{p}*{p}/(2*{rise}),{g}*{rise}/2+{g}*({q}-{q}*{q}/(2*{D})))",
        fmt::arg("p", p), fmt::arg("rise", rise), fmt::arg("g", s.gearRpm), fmt::arg("q", q),
        fmt::arg("D", s.shiftSeconds));
    return fmt::format(
        "(({base}*{u}+{g}*{T}/2*{n}+{within}-{swell}*{P}/(2*PI)*cos(2*PI*{u}/{P}))/60)",
        fmt::arg("base", s.baseRpm), fmt::arg("u", u), fmt::arg("g", s.gearRpm),
        fmt::arg("T", s.gearSeconds), fmt::arg("n", gears), fmt::arg("within", withinGear),
        fmt::arg("swell", s.swellRpm), fmt::arg("P", s.swellSeconds));
}

}  // namespace

double engineToneRpm(const EngineToneSpec& s, double seconds) {
    const double p = seconds - std::floor(seconds / s.gearSeconds) * s.gearSeconds;
    const double rise = s.gearSeconds - s.shiftSeconds;
    const double gear = p < rise ? p / rise : 1 - (p - rise) / s.shiftSeconds;
    return s.baseRpm + s.gearRpm * gear +
           s.swellRpm * std::sin(2 * std::numbers::pi * seconds / s.swellSeconds);
}

double hudAdvanceMilliseconds(const EngineToneSpec& spec) {
    return (spec.telemetryLagSeconds - spec.soundDelaySeconds - 0.08) * 1000;
}

void makeEngineToneRecording(const std::filesystem::path& file, const EngineToneSpec& spec) {
    const auto camera = file.parent_path() / (file.stem().string() + ".camera.mp4");
    const std::string duration = fmt::format("{}", spec.seconds);
    std::vector<std::string> arguments{"-f", "lavfi", "-i", "testsrc2=s=64x48:r=30:d=" + duration};
    if (spec.audio) {
        const std::string firing =
            fmt::format("(2*PI*{}*{})", spec.cylinders / 2.0,
                        revolutionsExpression(spec, fmt::format("(t-{})", spec.soundDelaySeconds)));
        const std::string tone = fmt::format("{}*(sin({f})+0.5*sin(2*{f}+0.5)+0.3*sin(3*{f}+1.1))",
                                             spec.toneAmplitude, fmt::arg("f", firing));
        arguments.insert(arguments.end(),
                         {"-f", "lavfi", "-i",
                          fmt::format("aevalsrc='{}':s={}:d={}", tone, spec.sampleRate, duration)});
        if (spec.noiseAmplitude > 0) {
            arguments.insert(arguments.end(), {"-f", "lavfi", "-i",
                                               fmt::format("anoisesrc=c={}:a={}:r={}:d={}:seed={}",
                                                           spec.noiseColour, spec.noiseAmplitude,
                                                           spec.sampleRate, duration, spec.seed)});
            arguments.insert(arguments.end(),
                             {"-filter_complex", "[1:a][2:a]amix=inputs=2:normalize=0[sound]",
                              "-map", "0:v", "-map", "[sound]"});
        }
        arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", "96k"});
    }
    arguments.insert(arguments.end(),
                     {"-c:v", "libx264", "-preset", "ultrafast", "-g", "30", camera.string()});
    ffmpeg(arguments);

    kovra::RecordingOptions telemetry;
    telemetry.durationSeconds = spec.seconds;
    telemetry.valueAt = [spec](const kovra::ChannelDefinition& channel, double seconds) {
        if (channel.id == kovra::kEngineSpeedChannel) {
            return engineToneRpm(spec, seconds - spec.telemetryLagSeconds) * 2 * std::numbers::pi /
                   60;
        }
        return kovra::syntheticValue(channel, seconds);
    };
    kovra::appendTelemetryTrack(camera, file, telemetry);
    std::filesystem::remove(camera);
}

}  // namespace skelder::testing
