#include <fmt/format.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "cli/interrupt.hpp"
#include "cli/progress_display.hpp"
#include "core/cancellation.hpp"
#include "samples/sample_recording.hpp"

namespace skelder::cli {
namespace {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

template <typename Number>
std::optional<Number> parseWhole(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

double parseSeconds(const std::string& text) {
    std::size_t used = 0;
    try {
        const double seconds = std::stod(text, &used);
        if (used == text.size()) {
            return seconds;
        }
    } catch (const std::logic_error&) {
    }
    throw UsageError(fmt::format("--seconds: \"{}\" is not a number of seconds", text));
}

void parseSize(const std::string& text, samples::SampleOptions& options) {
    const auto cross = text.find('x');
    if (cross != std::string::npos) {
        const auto width = parseWhole<int>(text.substr(0, cross));
        const auto height = parseWhole<int>(text.substr(cross + 1));
        if (width && height) {
            options.width = *width;
            options.height = *height;
            return;
        }
    }
    throw UsageError(fmt::format("--size: \"{}\" is not WIDTHxHEIGHT, e.g. 1920x1080", text));
}

struct SampleArguments {
    std::string output;
    std::optional<std::string> seconds;
    std::optional<std::string> size;
    std::optional<std::string> fps;
    std::optional<std::string> rotation;
    std::optional<std::string> seed;
    std::optional<std::string> circuit;
    bool noAudio = false;
};

samples::SampleOptions optionsFrom(const SampleArguments& arguments) {
    samples::SampleOptions options;
    if (arguments.seconds) {
        options.seconds = parseSeconds(*arguments.seconds);
    }
    if (arguments.size) {
        parseSize(*arguments.size, options);
    }
    if (arguments.fps) {
        const auto rate = samples::parseFrameRate(*arguments.fps);
        if (!rate) {
            throw UsageError(fmt::format(
                "--fps: \"{}\" is not a frame rate, e.g. 30, 29.97 or 30000/1001", *arguments.fps));
        }
        options.frameRate = *rate;
    }
    if (arguments.rotation) {
        const auto degrees = parseWhole<int>(*arguments.rotation);
        if (!degrees) {
            throw UsageError(
                fmt::format("--rotate: \"{}\" is not 0, 90, 180 or 270", *arguments.rotation));
        }
        options.rotationDegrees = *degrees;
    }
    if (arguments.seed) {
        const auto seed = parseWhole<std::uint64_t>(*arguments.seed);
        if (!seed) {
            throw UsageError(fmt::format("--seed: \"{}\" is not a whole number", *arguments.seed));
        }
        options.seed = *seed;
    }
    if (arguments.circuit) {
        const auto circuit = samples::sampleCircuitNamed(*arguments.circuit);
        if (!circuit) {
            throw UsageError(
                fmt::format("--circuit: \"{}\" is not national or club", *arguments.circuit));
        }
        options.circuit = *circuit;
    }
    options.audio = !arguments.noAudio;
    samples::validateSampleOptions(options);
    return options;
}

void runSample(const SampleArguments& arguments) {
    samples::SampleOptions options = optionsFrom(arguments);
    const std::filesystem::path output(arguments.output);
    const InterruptToStop interrupt;
    options.stopToken = interrupt.token();
    ProgressDisplay progress;
    const std::string label = "Writing " + output.filename().string();
    options.onProgress = [&](double fraction) { progress.update(label, fraction); };
    try {
        samples::writeSampleRecording(output, options);
    } catch (...) {
        progress.finish();
        throw;
    }
    progress.finish();
    fmt::print("Wrote {}\n", std::filesystem::absolute(output).lexically_normal().string());
}

}  // namespace

void addSampleCommand(CLI::App& app, int& exitStatus) {
    auto* command = app.add_subcommand(
        "sample",
        "Write a sample recording: video, engine sound and telemetry of a simulated drive");
    auto arguments = std::make_shared<SampleArguments>();
    command
        ->add_option("OUT", arguments->output, "Output file (.mp4); an existing file is replaced")
        ->required()
        ->type_name("FILE");
    command->add_option("--seconds", arguments->seconds, "Duration in seconds (default 60)")
        ->type_name("SECONDS");
    command->add_option("--size", arguments->size, "Picture size WIDTHxHEIGHT (default 1920x1080)")
        ->type_name("WxH");
    command
        ->add_option("--fps", arguments->fps,
                     "Frame rate, e.g. 30, 29.97 or 30000/1001 (default 30)")
        ->type_name("FPS");
    command
        ->add_option("--rotate", arguments->rotation,
                     "Display rotation in degrees clockwise: 0, 90, 180 or 270 (default 0)")
        ->type_name("DEGREES");
    command->add_flag("--no-audio", arguments->noAudio, "Leave out the engine sound");
    command->add_option("--seed", arguments->seed, "Seed of the sensor noise (default 1)")
        ->type_name("SEED");
    command
        ->add_option("--circuit", arguments->circuit,
                     "The circuit lapped: national (2.5 km) or club (1.4 km) (default national)")
        ->type_name("NAME");
    command->callback([arguments, &exitStatus] {
        try {
            runSample(*arguments);
        } catch (const CancellationError& cancelled) {
            fmt::print(stderr, "{}\n", cancelled.what());
            exitStatus = 130;
        } catch (const std::exception& error) {
            fmt::print(stderr, "{}\n", errorText(error));
            exitStatus = 1;
        }
    });
}

}  // namespace skelder::cli
