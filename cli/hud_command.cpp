#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <regex>
#include <string>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "cli/lap_hud_option.hpp"
#include "cli/speed_unit_option.hpp"
#include "core/telemetry_advance.hpp"
#include "laps/lap_analysis.hpp"
#include "laps/lap_clock.hpp"
#include "media/image_generator.hpp"
#include "overlay/overlay_renderer.hpp"
#include "overlay/timeline.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::cli {
namespace {

// Cairo's limit for one image side.
constexpr int kLargestFrameSide = 32767;

struct FrameSize {
    int width = 1920;
    int height = 1080;
};

std::optional<FrameSize> parseFrameSize(const std::string& text) {
    static const std::regex pattern("([0-9]{1,5})x([0-9]{1,5})");
    std::smatch match;
    if (!std::regex_match(text, match, pattern)) {
        return std::nullopt;
    }
    const FrameSize size{std::stoi(match[1]), std::stoi(match[2])};
    if (size.width < 1 || size.height < 1 || size.width > kLargestFrameSide ||
        size.height > kLargestFrameSide) {
        return std::nullopt;
    }
    return size;
}

// The recording's picture at `sourceSeconds` as players show it (turned by its display
// rotation, so the HUD drawn over it stands upright as in an export), or nothing when its
// video cannot be decoded.
std::optional<media::BgraImage> recordingFrameAt(const std::filesystem::path& recording,
                                                 double sourceSeconds) {
    try {
        return media::generateImage(recording, media::MediaTime::fromSeconds(sourceSeconds),
                                    {true, 0, 0});
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The frame the HUD is drawn over: the recording's picture scaled to the frame size, or mid
// grey when there is none.
std::optional<BgraImage> backgroundFrameFor(const std::optional<media::BgraImage>& picture,
                                            FrameSize size) {
    auto frame = BgraImage::create(size.width, size.height);
    if (!frame)
        return frame;
    frame->fill({128, 128, 128, 255});
    if (!picture)
        return frame;
    SurfacePtr source(cairo_image_surface_create_for_data(
        const_cast<std::uint8_t*>(picture->pixels.data()), CAIRO_FORMAT_ARGB32, picture->width,
        picture->height, picture->stride()));
    cairo_t* cr = cairo_create(frame->surface());
    cairo_scale(cr, double(size.width) / picture->width, double(size.height) / picture->height);
    cairo_set_source_surface(cr, source.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(frame->surface());
    return frame;
}

struct HudOptions {
    std::string file;
    std::string output;
    double atSeconds = 0;
    std::string size;  // empty: the recording's own size (1920x1080 without video)
    double offsetMilliseconds = kDefaultTelemetryAdvanceMilliseconds;
    bool debug = false;
    std::string unit = std::string(speedUnitName(kDefaultSpeedUnit));
    std::string lapHud = "none";
};

// Renders the HUD of one instant as a full export would draw it; returns the exit status.
int renderHud(const HudOptions& options) {
    const std::optional<SpeedUnit> unit = chosenSpeedUnit(options.unit);
    const std::optional<LapHudElements> lapHud = chosenLapHud(options.lapHud);
    if (!unit || !lapHud)
        return 1;
    const auto picture = recordingFrameAt(options.file, options.atSeconds);
    const std::string sizeText = !options.size.empty() ? options.size
                                 : picture ? fmt::format("{}x{}", picture->width, picture->height)
                                           : "1920x1080";
    const auto size = parseFrameSize(sizeText);
    if (!size) {
        fmt::print(stderr, "Invalid frame size \"{}\": expected WIDTHxHEIGHT, e.g. 1920x1080\n",
                   sizeText);
        return 1;
    }
    const std::filesystem::path recording = options.file;
    ParsedTelemetryData data;
    try {
        data = BasicTelemetryExtractionService().extractTelemetry(recording, false, false);
    } catch (const std::exception& error) {
        fmt::print(stderr, "{}\n", errorText(error));
        return 1;
    }

    // A full export: one segment over the whole recording, output time = source time.
    const HighlightTimelineSegment wholeRecording{0, std::numeric_limits<double>::infinity(), 0, 0};
    const std::optional<OverlaySampleBounds> bounds =
        makeSampleBounds(data.overlaySamplesByDecisecond);
    const std::string label = recording.filename().string();
    const std::shared_ptr<const laps::LapClock> laps =
        lapHud->any() ? std::make_shared<const laps::LapClock>(
                            laps::analyseLaps(data.overlaySamplesByDecisecond))
                      : nullptr;
    const OverlayTimelineView timeline{
        {&wholeRecording, 1},
        {&data.overlaySamplesByDecisecond, 1},
        {&bounds, 1},
        {&label, 1},
        {options.offsetMilliseconds / 1000.0, options.debug, *unit, *lapHud},
        {},
        {&laps, 1}};

    auto frame = backgroundFrameFor(picture, *size);
    if (!frame) {
        fmt::print(stderr, "Cannot allocate a {}x{} frame\n", size->width, size->height);
        return 1;
    }
    if (const auto content = overlayFrameAt(timeline, options.atSeconds)) {
        OverlayRenderContext context;
        const auto staticHUD =
            OverlayRenderer::makeStaticHUD(context, size->width, size->height, *unit);
        OverlayRenderer::drawOverlay(
            context, frame->frame(), content->sample, content->debugInfo,
            OverlayRenderer::staticLayerFor(staticHUD.get(), size->width, size->height), *unit);
    } else {
        fmt::print("No telemetry at {:.3f} s: the frame has no HUD\n", options.atSeconds);
    }

    const cairo_status_t written =
        cairo_surface_write_to_png(frame->surface(), options.output.c_str());
    if (written != CAIRO_STATUS_SUCCESS) {
        fmt::print(stderr, "Cannot write {}: {}\n", options.output,
                   cairo_status_to_string(written));
        return 1;
    }
    return 0;
}

}  // namespace

void addHudCommand(CLI::App& app, int& exitStatus) {
    auto* command =
        app.add_subcommand("hud", "Render the HUD of one instant of a recording as a PNG image");
    auto options = std::make_shared<HudOptions>();
    command->add_option("FILE", options->file, "Recording (.mp4)")->required();
    command->add_option("--at", options->atSeconds, "Time in the recording, in seconds")
        ->required()
        ->check(CLI::Validator(
            [](const std::string& text) -> std::string {
                // Text that is no number at all is refused by the conversion after this.
                char* end = nullptr;
                const double seconds = std::strtod(text.c_str(), &end);
                if (end == text.c_str() || *end != '\0' || seconds >= 0)
                    return {};
                return "\"" + text + "\" is before the start of the recording";
            },
            "SECONDS"));
    command->add_option("--size", options->size,
                        "Frame size WIDTHxHEIGHT (default: the recording's own, else 1920x1080)");
    command
        ->add_option("--offset-ms", options->offsetMilliseconds,
                     "Telemetry advance against the video, in milliseconds")
        ->capture_default_str();
    command->add_flag("--debug", options->debug, "Draw the timing debug panel");
    addSpeedUnitOption(*command, options->unit);
    addLapHudOption(*command, options->lapHud);
    command->add_option("-o,--output", options->output, "PNG file to write")->required();
    command->callback([options, &exitStatus] { exitStatus = renderHud(*options); });
}

}  // namespace skelder::cli
